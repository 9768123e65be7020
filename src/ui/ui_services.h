// Everything the dialogs ask of the user through modal platform windows:
// error boxes, yes/no questions, file and folder choosers. The dialogs call
// these through one interface so that tests can answer them instead of a
// person. QtUiServices is the real thing.
#pragma once

#include <QString>

class QWidget;

namespace xoprex::ui {

class UiServices {
  public:
    virtual ~UiServices() = default;
    // Message box captioned "Error" with the critical icon; `detail` (the
    // file concerned, the reason) is shown under the message when given.
    virtual void showError(QWidget* parent, const QString& message, const QString& detail = {}) = 0;
    // Yes/No question; true for Yes.
    virtual bool confirm(QWidget* parent, const QString& title, const QString& question) = 0;
    // Choosers return the chosen path, or an empty text on Cancel.
    virtual QString openFile(QWidget* parent, const QString& caption, const QString& folder,
                             const QString& filter) = 0;
    virtual QString saveFile(QWidget* parent, const QString& caption, const QString& startPath,
                             const QString& filter) = 0;
    virtual QString chooseFolder(QWidget* parent, const QString& caption,
                                 const QString& folder) = 0;
};

class QtUiServices : public UiServices {
  public:
    void showError(QWidget* parent, const QString& message, const QString& detail) override;
    bool confirm(QWidget* parent, const QString& title, const QString& question) override;
    QString openFile(QWidget* parent, const QString& caption, const QString& folder,
                     const QString& filter) override;
    QString saveFile(QWidget* parent, const QString& caption, const QString& startPath,
                     const QString& filter) override;
    QString chooseFolder(QWidget* parent, const QString& caption, const QString& folder) override;
};

// The process-wide real services.
UiServices& defaultUiServices();

}  // namespace xoprex::ui
