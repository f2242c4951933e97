#pragma once

#include <QDialog>

class QTreeWidget;

// "Keys" (F1): every key of every window of the panel, grouped by window.
// Not modal, so that it can stay open beside the window it explains; Esc
// and Ctrl+W close it.
class frmKeys : public QDialog {
    Q_OBJECT
public:
    explicit frmKeys(QWidget* parent);

    QTreeWidget* lstKeys;
};
