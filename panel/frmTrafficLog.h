#pragma once

#include <QWidget>
#include <optional>

#include "InstrumentSession.h"
#include "TrafficLogModel.h"

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
// main window; Esc and Ctrl+W close it.
class frmTrafficLog : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* CommandLineOrigin = "command line";

    explicit frmTrafficLog(session::InstrumentSession& session, QWidget* parent = nullptr);
    ~frmTrafficLog() override;

    // Every line kept, as Save writes it.
    QString linesAsText();

    QPushButton* cmdCopy;
    QPushButton* cmdSave;
    QTreeView* lstTraffic;
    QLineEdit* txtCommand;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildList();
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
};
