#pragma once
// The about box: the icon, the program's name and version, and OK.

#include <QDialog>

namespace vellumet {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace vellumet
