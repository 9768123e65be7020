// CAboutDlg, "About XOprex": the application icon, the product's name and
// version, and an OK button. No behaviour beyond showing and closing.
#pragma once

#include <QDialog>

class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
