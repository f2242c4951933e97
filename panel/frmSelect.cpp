#include "frmSelect.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

#include "Buttons.h"
#include "DeviceFilter.h"
#include "MessageBoxes.h"
#include "RoomForText.h"
#include "Twips.h"

using panel::twipsRect;

frmSelect::frmSelect(const usblink::DeviceList& devices, QWidget* parent)
    : PanelDialog(parent, "frmSelect", "Select Device", 4125, 2775)
    , devices_(devices)
{
    Label1 = new QLabel("Select the R6140K to Control in the list box below", this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(twipsRect(120, 240, 3855, 375));
    Label1->setWordWrap(true);
    // The two lines of the caption may need a pixel or two more than drawn:
    // grow the label downwards into the gap above the list.
    Label1->resize(Label1->width(), std::max(Label1->height(), Label1->heightForWidth(Label1->width())));

    lstSelector = new QListWidget(this);
    lstSelector->setObjectName("lstSelector");
    lstSelector->setGeometry(twipsRect(120, 720, 3855, 1230));
    lstSelector->setSelectionMode(QAbstractItemView::SingleSelection);
    lstSelector->setAccessibleName(Label1->text());
    lstSelector->setAccessibleDescription("Attached R6140K devices");
    lstSelector->setToolTip("The attached R6140K devices: Up/Down chooses one, a double click chooses it and goes on as "
                            "Select and Continue does. A row's tool tip holds its whole path.");
    connect(lstSelector, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        lstSelector->setCurrentItem(item);
        cmdSelect_Click();
    });
    // A long device path keeps both of its ends in sight; the tool tip
    // holds it whole.
    lstSelector->setTextElideMode(Qt::ElideMiddle);

    cmdSelect = panel::addButton(this, "cmdSelect", "Select and Continue",
        "Control the selected device. Space or Enter presses it.",
        twipsRect(2520, 2160, 1455, 495), this, &frmSelect::cmdSelect_Click);
    // Wider desktop fonts than the layout was drawn for would clip the
    // caption: grow the button leftwards, keeping its right edge.
    panel::growToWidth(cmdSelect, cmdSelect->sizeHint().width(), Qt::AlignRight);

    setTabOrder(lstSelector, cmdSelect);
}

bool frmSelect::Form_Load()
{
    int row = 0;
    for (std::size_t k = 0; k < devices_.size() && row < Rows; ++k) {
        if (!instrument::isInstrumentEntry(devices_[k]))
            continue;
        auto* item = new QListWidgetItem(QString::fromLatin1(devices_[k]), lstSelector);
        item->setToolTip(item->text());
        ListToDevice[static_cast<std::size_t>(row++)] = static_cast<int16_t>(k);
    }
    if (row == 0) {
        panel::showMessage(parentWidget(), QMessageBox::Critical, "Error",
            "There were no R6140K devices found. Please hook up the R6140K to this computers USB port "
            "and run this program again.");
        return false;
    }
    lstSelector->setCurrentRow(0);
    lstSelector->setFocus();
    centreOverParent();
    return true;
}

void frmSelect::cmdSelect_Click()
{
    const QList<QListWidgetItem*> selected = lstSelector->selectedItems();
    if (selected.isEmpty()) {
        panel::showMessage(
            this, QMessageBox::Information, "No Selection Made", "Please select a 6139 to control from the list box.");
        return;
    }
    const int row = lstSelector->row(selected.first());
    chosen_ = ListToDevice[static_cast<std::size_t>(row)];
    accept();
}

#include "moc_frmSelect.cpp"
