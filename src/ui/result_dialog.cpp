#include "ui/result_dialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <fstream>

#include "ui/app_icon.h"
#include "ui/results_table.h"
#include "ui/ui_services.h"

namespace {

constexpr int kColumnWidth = 120;
constexpr int kMaxColumnWidth = 360;

// Sorts numbers by value and everything else as text; a number sorts
// before a text so that summary lines gather at one end.
class GridItem : public QTableWidgetItem {
  public:
    explicit GridItem(const QString& text) : QTableWidgetItem(text) {
        value_ = text.toDouble(&isNumber_);
    }
    bool operator<(const QTableWidgetItem& other) const override {
        const auto* item = dynamic_cast<const GridItem*>(&other);
        if (item == nullptr) {
            return QTableWidgetItem::operator<(other);
        }
        if (isNumber_ && item->isNumber_) {
            return value_ < item->value_;
        }
        if (isNumber_ != item->isNumber_) {
            return isNumber_;
        }
        return text() < item->text();
    }

  private:
    double value_ = 0.0;
    bool isNumber_ = false;
};

QFont gridFont() {
    QFont font(QStringLiteral("Courier New"), 10);
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    return font;
}

}  // namespace

CResultDialog::CResultDialog(const QString& resultsPath, xoprex::ui::UiServices* services,
                             QWidget* parent)
    : QDialog(parent), resultsPath_(resultsPath) {
    buildControls();
    load(services != nullptr ? *services : xoprex::ui::defaultUiServices());
}

void CResultDialog::buildControls() {
    setWindowTitle(QStringLiteral("XOprex Results"));
    setWindowIcon(xoprex::ui::appIcon());
    setSizeGripEnabled(true);

    grid_ = new QTableWidget(this);
    grid_->setObjectName(QStringLiteral("resultsGrid"));
    grid_->setFont(gridFont());
    grid_->setShowGrid(true);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grid_->setAlternatingRowColors(true);
    grid_->horizontalHeader()->setDefaultSectionSize(kColumnWidth);
    grid_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
    grid_->verticalHeader()->setVisible(false);
    grid_->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* copy = new QAction(QStringLiteral("&Copy Rows"), grid_);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copy, &QAction::triggered, this, &CResultDialog::copySelectedRows);
    grid_->addAction(copy);

    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("resultsSummary"));
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* frame = new QGroupBox(this);
    auto* inner = new QVBoxLayout(frame);
    inner->addWidget(summary_);
    inner->addWidget(grid_, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    QPushButton* copyButton =
        buttons->addButton(QStringLiteral("Copy Rows"), QDialogButtonBox::ActionRole);
    copyButton->setObjectName(QStringLiteral("copyRows"));
    connect(copyButton, &QPushButton::clicked, this, &CResultDialog::copySelectedRows);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Results:"), this));
    layout->addWidget(frame, 1);
    layout->addWidget(buttons);
    resize(1000, 560);
}

void CResultDialog::load(xoprex::ui::UiServices& services) {
    std::ifstream in(resultsPath_.toStdString(), std::ios::binary);
    if (!in) {
        summary_->setText(resultsPath_);
        services.showError(this, QStringLiteral("CSV File Cannot be Opened"), resultsPath_);
        return;
    }
    fill(xoprex::ui::parseResultsTable(in));
}

void CResultDialog::fill(const xoprex::ui::ResultsGrid& table) {
    grid_->setSortingEnabled(false);
    grid_->setColumnCount(static_cast<int>(table.columns.size()));
    QStringList titles;
    for (const std::string& title : table.columns) {
        titles << QString::fromStdString(title);
    }
    grid_->setHorizontalHeaderLabels(titles);
    grid_->setRowCount(static_cast<int>(table.rows.size()));
    for (int row = 0; row < grid_->rowCount(); ++row) {
        const auto& fields = table.rows[static_cast<std::size_t>(row)];
        // Fields beyond the titled columns have nowhere to go and are dropped.
        const int count = std::min(static_cast<int>(fields.size()), grid_->columnCount());
        for (int column = 0; column < count; ++column) {
            grid_->setItem(
                row, column,
                new GridItem(QString::fromStdString(fields[static_cast<std::size_t>(column)])));
        }
    }
    grid_->setSortingEnabled(true);
    grid_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    // Columns start 120 pixels wide and grow to show long numbers and
    // names whole, up to a limit; the user can still resize them.
    grid_->resizeColumnsToContents();
    for (int column = 0; column < grid_->columnCount(); ++column) {
        grid_->setColumnWidth(
            column, std::clamp(grid_->columnWidth(column), kColumnWidth, kMaxColumnWidth));
    }
    summary_->setText(QStringLiteral("%1  (%2 rows)").arg(resultsPath_).arg(grid_->rowCount()));
}

QString CResultDialog::selectedRowsText() const {
    std::vector<int> rows;
    for (const QModelIndex& index : grid_->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    std::vector<std::vector<std::string>> texts;
    for (int row : rows) {
        // Cells the table never filled (short lines) are not copied.
        int used = grid_->columnCount();
        while (used > 0 && grid_->item(row, used - 1) == nullptr) {
            --used;
        }
        std::vector<std::string> fields;
        for (int column = 0; column < used; ++column) {
            const QTableWidgetItem* item = grid_->item(row, column);
            fields.push_back(item != nullptr ? item->text().toStdString() : std::string());
        }
        texts.push_back(std::move(fields));
    }
    return QString::fromStdString(xoprex::ui::joinRows(texts));
}

void CResultDialog::copySelectedRows() const {
    QApplication::clipboard()->setText(selectedRowsText());
}
