#include "TrafficLogModel.h"

#include <QDateTime>
#include <QStringList>
#include <iterator>
#include <numeric>

#include "EscapedText.h"
#include "MessageSyntax.h"
#include "SettingMessage.h"

namespace panel {

namespace {

// The instrument's texts are 8-bit characters, as the main window shows them;
// escaped, they are plain ASCII.
QString escaped(const std::string& text)
{
    return QString::fromStdString(instrument::escapedText(text));
}

// What a line sets, one setting a line under each of its names; nothing for
// a line that sets nothing of the settings table.
QVariant settingsOf(const std::string& line)
{
    if (!instrument::messageProblem(line).empty())
        return {};
    QStringList settings;
    for (const std::string_view unit : instrument::splitUnits(line)) {
        if (instrument::splitMessage(unit).isQuery)
            continue;
        const instrument::SettingMessage message = instrument::readSettingMessage(unit);
        if (message.setting && message.problem.empty())
            settings << QString::fromStdString(instrument::namedValues(*message.setting, message.value));
    }
    return settings.isEmpty() ? QVariant() : QVariant(settings.join('\n'));
}

} // namespace

TrafficLogModel::TrafficLogModel(int capacity, QObject* parent)
    : QAbstractTableModel(parent)
    , capacity_(static_cast<std::size_t>(capacity))
{
    batch_.setSingleShot(true);
    batch_.setInterval(BatchIntervalMs);
    connect(&batch_, &QTimer::timeout, this, &TrafficLogModel::showPending);
}

void TrafficLogModel::append(Entry entry)
{
    pending_.push_back(std::move(entry));
    if (pending_.size() > capacity_)
        pending_.pop_front();
    if (viewsShown_ && !batch_.isActive())
        batch_.start();
}

void TrafficLogModel::setViewsShown(bool shown)
{
    viewsShown_ = shown;
    if (shown)
        showPending();
    else
        batch_.stop();
}

void TrafficLogModel::showPending()
{
    batch_.stop();
    if (pending_.empty())
        return;
    emit batchAboutToBeShown();
    // Never more pending than the capacity: the oldest to go are all shown.
    const std::size_t total = shown_.size() + pending_.size();
    const std::size_t overflow = total > capacity_ ? total - capacity_ : 0;
    if (overflow > 0) {
        beginRemoveRows({}, 0, static_cast<int>(overflow) - 1);
        shown_.erase(shown_.begin(), shown_.begin() + static_cast<std::ptrdiff_t>(overflow));
        endRemoveRows();
    }
    const int first = static_cast<int>(shown_.size());
    beginInsertRows({}, first, first + static_cast<int>(pending_.size()) - 1);
    std::move(pending_.begin(), pending_.end(), std::back_inserter(shown_));
    pending_.clear();
    endInsertRows();
    emit batchShown(static_cast<int>(overflow));
}

QString TrafficLogModel::text(const std::vector<int>& rows, Times times) const
{
    QString text;
    for (const int row : rows) {
        const Entry& entry = shown_.at(static_cast<std::size_t>(row));
        QStringList fields;
        for (int column = 0; column < ColumnCount; ++column)
            fields << field(entry, column, times);
        text += fields.join('\t') + '\n';
    }
    return text;
}

QString TrafficLogModel::text(Times times) const
{
    std::vector<int> rows(shown_.size());
    std::iota(rows.begin(), rows.end(), 0);
    return text(rows, times);
}

int TrafficLogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int TrafficLogModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TrafficLogModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const Entry& entry = shown_.at(static_cast<std::size_t>(index.row()));
    if (role == Qt::ToolTipRole && index.column() == LineColumn && entry.direction != Direction::Received)
        return settingsOf(entry.line);
    if (role != Qt::DisplayRole)
        return {};
    return field(entry, index.column());
}

QVariant TrafficLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    static const char* const Headers[ColumnCount] = { "Time", "Direction", "Caused by", "Line" };
    return QString(Headers[section]);
}

QString TrafficLogModel::field(const Entry& entry, int column, Times times)
{
    switch (column) {
    case TimeColumn: {
        const QDateTime time = QDateTime::fromMSecsSinceEpoch(entry.msecsSinceEpoch);
        return times == Times::Dated ? time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs)
                                     : time.toString("HH:mm:ss.zzz");
    }
    case DirectionColumn:
        switch (entry.direction) {
        case Direction::Sent:
            return "sent";
        case Direction::Received:
            return "received";
        case Direction::Refused:
            return "refused";
        case Direction::Note:
            return "note";
        }
        return {};
    case OriginColumn:
        return escaped(entry.origin);
    default:
        return escaped(entry.line);
    }
}

} // namespace panel

#include "moc_TrafficLogModel.cpp"
