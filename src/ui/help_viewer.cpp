#include "ui/help_viewer.h"

#include <QDialogButtonBox>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/app_icon.h"

// Resources of a static library must be registered by name from outside
// any namespace.
static void registerUiResources() {
    Q_INIT_RESOURCE(ui_resources);
}

namespace xoprex::ui {
void initUiResources() {
    static const bool done = (registerUiResources(), true);
    (void)done;
}
}  // namespace xoprex::ui

HelpViewer::HelpViewer(QWidget* parent) : QDialog(parent) {
    xoprex::ui::initUiResources();
    setWindowTitle(QStringLiteral("XOprex Help"));
    setWindowIcon(xoprex::ui::appIcon());
    setSizeGripEnabled(true);

    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("manual"));
    browser_->setOpenExternalLinks(true);
    browser_->setSource(QUrl(QStringLiteral("qrc:/xoprex/manual.html")));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browser_, 1);
    layout->addWidget(buttons);
    resize(820, 680);
}
