#pragma once

#include <QAbstractTableModel>
#include <QTimer>
#include <deque>
#include <string>
#include <vector>

#include "InstrumentSession.h"

namespace panel {

// The lines exchanged with the instrument, oldest first, up to a capacity
// beyond which the oldest make way. Lines can come faster than a screen
// shows them (a held-down arrow key sends hundreds a second), so they are
// gathered and handed to the views a batch at a time, four times a second:
// a burst then costs one view update per batch instead of one per line.
// While no view is shown, the lines are only gathered, the oldest making way
// as ever, and handed over as one batch when a view is shown again.
class TrafficLogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TimeColumn, DirectionColumn, OriginColumn, LineColumn, ColumnCount };
    using Direction = session::InstrumentSession::Direction;

    // The texts are kept as the 8-bit characters exchanged and made text for
    // the screen only when shown: most are short enough to need no memory of
    // their own, so that recording costs a burst little.
    struct Entry {
        qint64 msecsSinceEpoch; // shown in local time, which is worked out only then
        Direction direction;
        std::string origin;
        std::string line;
    };

    static constexpr int DefaultCapacity = 10000;
    static constexpr int BatchIntervalMs = 250;

    explicit TrafficLogModel(int capacity = DefaultCapacity, QObject* parent = nullptr);

    void append(Entry entry);
    // Hands the lines gathered since the last batch to the views now.
    void showPending();
    // Whether any view shows the lines: from false to true, the lines
    // gathered meanwhile are handed over at once.
    void setViewsShown(bool shown);

    // How a row's time is written: the time of day to the millisecond, as
    // listed, or the date and time in ISO 8601 with the offset from UTC, as
    // saved, so that a file read on another day or in another zone is
    // still unambiguous.
    enum class Times { OfDay, Dated };
    // The rows as text, one line each: time, direction, origin and line,
    // separated by tabs.
    QString text(const std::vector<int>& rows, Times times = Times::OfDay) const;
    QString text(Times times = Times::OfDay) const;
    const Entry& entry(int row) const { return shown_.at(static_cast<std::size_t>(row)); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    // Around each batch handed to the views: the oldest lines make way
    // first (dropped: how many), then the new ones are added.
    void batchAboutToBeShown();
    void batchShown(int dropped);

private:
    static QString field(const Entry& entry, int column, Times times = Times::OfDay);

    std::size_t capacity_;
    std::deque<Entry> shown_;
    std::deque<Entry> pending_;
    QTimer batch_;
    bool viewsShown_ = true;
};

} // namespace panel
