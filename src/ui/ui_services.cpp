#include "ui/ui_services.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace xoprex::ui {

namespace {

// A modal box must show the normal arrow even while a search holds the
// wait cursor.
class ArrowCursor {
  public:
    ArrowCursor() { QApplication::setOverrideCursor(Qt::ArrowCursor); }
    ~ArrowCursor() { QApplication::restoreOverrideCursor(); }
    ArrowCursor(const ArrowCursor&) = delete;
    ArrowCursor& operator=(const ArrowCursor&) = delete;
};

}  // namespace

void QtUiServices::showError(QWidget* parent, const QString& message, const QString& detail) {
    ArrowCursor arrow;
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), message, QMessageBox::Ok,
                    parent);
    if (!detail.isEmpty()) {
        box.setInformativeText(detail);
    }
    box.exec();
}

bool QtUiServices::confirm(QWidget* parent, const QString& title, const QString& question) {
    ArrowCursor arrow;
    return QMessageBox::question(parent, title, question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

QString QtUiServices::openFile(QWidget* parent, const QString& caption, const QString& folder,
                               const QString& filter) {
    return QFileDialog::getOpenFileName(parent, caption, folder, filter);
}

QString QtUiServices::saveFile(QWidget* parent, const QString& caption, const QString& startPath,
                               const QString& filter) {
    QFileDialog chooser(parent, caption, startPath, filter);
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setDefaultSuffix(QStringLiteral("txt"));
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) {
        return {};
    }
    return chooser.selectedFiles().first();
}

QString QtUiServices::chooseFolder(QWidget* parent, const QString& caption, const QString& folder) {
    return QFileDialog::getExistingDirectory(parent, caption, folder);
}

UiServices& defaultUiServices() {
    static QtUiServices services;
    return services;
}

}  // namespace xoprex::ui
