#include "frmKeys.h"

#include <QHeaderView>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "FocusMark.h"
#include "Twips.h"

namespace {

struct Key {
    const char* keys;
    const char* does;
};

struct KeyGroup {
    const char* window;
    std::initializer_list<Key> keys;
};

const KeyGroup Groups[] = {
    { "Main window",
        {
            { "Tab, Shift+Tab", "Move to the next or previous control" },
            { "Space, Enter", "Press the button that has the focus" },
            { "Up, Down", "Move the slider that has the focus one step" },
            { "Shift+Up, Shift+Down", "Move it 100 counts, or 1 dB on an attenuator" },
            { "Ctrl+Up, Ctrl+Down", "Move it 1000 counts, or 5 dB on an attenuator" },
            { "Page Up, Page Down", "Move it 10 counts, or 1 dB on an attenuator" },
            { "Home, End", "Move it to its top or bottom end" },
            { "A digit, -, or . (attenuators)", "Type the slider's exact value; Enter sets it, Esc cancels" },
            { "Double-click on a value", "Type that slider's exact value" },
            { "Mouse wheel", "Move the slider that has the focus one step a notch; with Shift or Ctrl as above" },
            { "Ctrl+Z, Ctrl+Shift+Z", "Undo the last change sent, redo it" },
            { "F5", "Refresh: read every setting back" },
            { "Ctrl+L", "Open the traffic log" },
            { "Ctrl+S", "Save Setup…: the settings to a file" },
            { "Ctrl+O", "Load Setup…: the settings from a file" },
            { "Ctrl+K", "Calibrate…: null the carrier and balance the image with an analyzer" },
            { "F1", "This list" },
            { "Ctrl+Q", "Quit" },
            { "Right-click", "A menu of these commands; on a slider also Set value… and Zero" },
        } },
    { "Select Device",
        {
            { "Up, Down", "Choose a device" },
            { "Double-click on a row", "Choose that device, as Select and Continue does" },
            { "Tab", "Move to Select and Continue" },
            { "Space, Enter", "Press the button that has the focus" },
        } },
    { "Save / Recall State",
        {
            { "Up, Down", "Choose the user state, 0 to 9" },
            { "Tab, Shift+Tab", "Move to the next or previous control" },
            { "Space, Enter", "Press the button that has the focus" },
        } },
    { "Traffic Log",
        {
            { "Enter in Command", "Send the message; a query's reply is listed" },
            { "Ctrl+C in the list", "Copy the selected lines, or all of them" },
            { "Alt+C, Alt+S, Alt+M", "Copy, Save..., the command line" },
            { "F5, Ctrl+L, F1, Ctrl+Q", "As in the main window" },
            { "Esc, Ctrl+W", "Close the traffic log" },
        } },
    { "Keys",
        {
            { "Esc, Ctrl+W", "Close this list" },
        } },
};

} // namespace

frmKeys::frmKeys(QWidget* parent)
    : QDialog(parent)
{
    setObjectName("frmKeys");
    setWindowTitle("Keys");
    panel::useDialogFont(this);
    new panel::FocusMarkFromTheStart(this);

    lstKeys = new QTreeWidget(this);
    lstKeys->setObjectName("lstKeys");
    lstKeys->setAccessibleName("Keys of every window");
    lstKeys->setColumnCount(2);
    lstKeys->setHeaderLabels({ "Key", "What it does" });
    for (const KeyGroup& group : Groups) {
        auto* window = new QTreeWidgetItem(lstKeys, { group.window });
        for (const Key& key : group.keys)
            new QTreeWidgetItem(window, { key.keys, key.does });
    }
    lstKeys->expandAll();
    lstKeys->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    lstKeys->setCurrentItem(lstKeys->topLevelItem(0));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lstKeys);
    resize(panel::twipsRect(0, 0, 8400, 7200).size());
    new QShortcut(QKeySequence::Close, this, this, &QDialog::reject);
}

#include "moc_frmKeys.cpp"
