#include "ui/app.h"

#include "base/version.h"
#include "ui/app_icon.h"
#include "ui/help_viewer.h"
#include "ui/main_dialog.h"

COprex_AppApp::COprex_AppApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("XOprex"));
    setApplicationVersion(QString::fromLatin1(xoprex::version()));
    // The program keeps no settings of its own; this only names its place.
    setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    setWindowIcon(xoprex::ui::appIcon());
    xoprex::ui::initUiResources();
}

int COprex_AppApp::run() {
    COprex_AppDlg dialog;
    dialog.exec();
    return 0;
}
