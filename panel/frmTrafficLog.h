#pragma once

#include <QStringList>
#include <QWidget>
#include <optional>
#include <set>

#include "InstrumentSession.h"
#include "TrafficLogModel.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeView;

// The traffic log: every line sent to and received from the instrument,
// with the time to the millisecond, the direction and who caused it (the
// panel, a remote client by address and port, or the window's own command
// line). It keeps the newest lines, copies them and saves them as text. The
// command line sends a message through the session's queue like any other
// origin; a query's reply then appears in the list. It records for its whole
// life, open or closed, so that opening it shows what led up to now, such
// as a stall that already happened; closed, it only gathers the lines, and
// its list is brought up to date when it opens. It first opens beside the
// main window, narrowed to the room beside it where it would cover it
// otherwise; Esc and Ctrl+W close it. Up and Down in the command line
// recall the lines sent before; the list can be narrowed to one origin and
// to lines holding a text. A saved log starts with a header: the program
// and its version, the instrument's identification and the date.
class frmTrafficLog : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* CommandLineOrigin = "command line";

    explicit frmTrafficLog(session::InstrumentSession& session, QWidget* parent = nullptr);
    ~frmTrafficLog() override;

    // Every line kept, as Copy writes them.
    QString linesAsText();
    // What Save writes: the header, then every line kept with its date.
    QString savedText();
    // The instrument's reply to *IDN?, for the header.
    void setIdentity(const std::string& identity) { identity_ = identity; }

    // Where the log first opens, as a frame: beside the main window's frame
    // on the side with room for it, else narrowed to the wider room beside
    // it when that still leaves a usable list, else as far beside it as the
    // screen allows, covering as little of it as it can.
    static QRect firstPlace(const QRect& main, QSize frame, const QRect& screen);
    static constexpr int NarrowestWidth = 360;

    // The origin the list is narrowed to; AllOrigins for every one.
    static constexpr const char* AllOrigins = "All origins";

    QPushButton* cmdCopy;
    QPushButton* cmdSave;
    QComboBox* cboOrigin;
    QLineEdit* txtFind;
    QTreeView* lstTraffic;
    QLineEdit* txtCommand;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildList();
    void buildFilter();
    void applyFilter(int firstRow);
    bool passes(int row) const;
    void recall(int step);
    void addClosingKeys();
    void placeBesideMainWindow();
    void followTheNewestLines();
    void record(session::InstrumentSession::Direction direction, const std::string& line, const std::string& origin);

    void txtCommand_Return();
    void cmdCopy_Click();
    void cmdSave_Click();

    session::InstrumentSession& session_;
    panel::TrafficLogModel model_;
    session::InstrumentSession::ObserverId observer_;
    // The row at the top of a list scrolled back from its newest line.
    std::optional<int> scrolledBackTo_;
    bool placed_ = false;
    std::string identity_;
    std::set<std::string> origins_; // offered by cboOrigin
    int rowsBeforeBatch_ = 0;
    bool narrowed_ = false; // some rows hidden
    QStringList sentCommands_; // the command lines sent, oldest first
    qsizetype recalled_ = 0; // which one Up and Down show; the count: none
    QString draft_; // what was typed before Up
};
