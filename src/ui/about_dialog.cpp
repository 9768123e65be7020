#include "ui/about_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "base/version.h"
#include "ui/app_icon.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About XOprex"));
    setWindowIcon(xoprex::ui::appIcon());

    auto* icon = new QLabel(this);
    icon->setPixmap(xoprex::ui::appIcon().pixmap(64, 64));
    icon->setAlignment(Qt::AlignTop);
    auto* text =
        new QLabel(QStringLiteral("<b>XOprex</b> Version %1"
                                  "<br><br>Finds the binding sites of one transcription factor<br>"
                                  "in genomes and sequence sets.")
                       .arg(QString::fromLatin1(xoprex::version())),
                   this);
    text->setObjectName(QStringLiteral("aboutText"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addSpacing(12);
    row->addWidget(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
