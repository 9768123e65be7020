// The built-in user manual, shown when no help file sits in the start
// folder: an HTML page compiled into the program, in a text browser.
#pragma once

#include <QDialog>

class QTextBrowser;

class HelpViewer : public QDialog {
    Q_OBJECT
  public:
    explicit HelpViewer(QWidget* parent = nullptr);
    QTextBrowser* browser() const { return browser_; }

  private:
    QTextBrowser* browser_ = nullptr;
};

namespace xoprex::ui {
// Makes the compiled-in resources (the manual) available; safe to repeat.
void initUiResources();
}  // namespace xoprex::ui
