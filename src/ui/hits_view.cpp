#include "ui/hits_view.h"

#include <QComboBox>
#include <QDoubleValidator>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringListModel>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

namespace xoprex::ui {
namespace {

QLineEdit* boundEdit(const char* name, const QString& placeholder) {
    auto* edit = new QLineEdit;
    edit->setObjectName(QString::fromLatin1(name));
    edit->setPlaceholderText(placeholder);
    edit->setValidator(new QDoubleValidator(edit));
    edit->setMaximumWidth(90);
    edit->setClearButtonEnabled(true);
    return edit;
}

// The bound a box holds, or `otherwise` when it is empty or unfinished.
double boundOf(const QLineEdit* edit, double otherwise) {
    bool ok = false;
    const double value = edit->text().toDouble(&ok);
    return ok ? value : otherwise;
}

}  // namespace

HitsView::HitsView(QWidget* parent)
    : QWidget(parent),
      model_(new HitsModel(this)),
      filter_(new HitsFilter(model_, this)),
      view_(new QTableView),
      summary_(new QLabel),
      count_(new QLabel),
      text_(new QLineEdit),
      scoreLow_(boundEdit("scoreLow", QStringLiteral("lowest"))),
      scoreHigh_(boundEdit("scoreHigh", QStringLiteral("highest"))),
      pLow_(boundEdit("pLow", QStringLiteral("lowest"))),
      pHigh_(boundEdit("pHigh", QStringLiteral("highest"))),
      record_(new QComboBox),
      export_(new QPushButton(QStringLiteral("Export Selected Rows..."))) {
    summary_->setObjectName(QStringLiteral("hitsSummary"));
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    summary_->setTextFormat(Qt::RichText);
    summary_->setStyleSheet(
        QStringLiteral("QLabel { background: #eef3f8; border: 1px solid #c8d4e0; padding: 6px; }"));
    count_->setObjectName(QStringLiteral("hitsCount"));
    text_->setObjectName(QStringLiteral("hitsText"));
    text_->setPlaceholderText(QStringLiteral("record, site, class, gene or product"));
    text_->setClearButtonEnabled(true);
    record_->setObjectName(QStringLiteral("hitsRecord"));
    record_->setMinimumContentsLength(16);
    record_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    export_->setObjectName(QStringLiteral("exportHits"));
    export_->setAutoDefault(false);

    view_->setObjectName(QStringLiteral("hitsView"));
    view_->setModel(filter_);
    view_->setSortingEnabled(true);
    view_->sortByColumn(-1, Qt::AscendingOrder);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setAlternatingRowColors(true);
    view_->setWordWrap(false);
    view_->verticalHeader()->setVisible(false);
    // Fixed row heights: the view never measures a hundred thousand rows.
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 6);
    view_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    view_->horizontalHeader()->setStretchLastSection(true);
    const int widths[HitsModel::kColumnCount] = {120, 65, 65, 50, 65, 70, 70, 160, 80, 95, 65, 200};
    for (int column = 0; column < HitsModel::kColumnCount; ++column) {
        view_->setColumnWidth(column, widths[column]);
    }

    auto* filters = new QHBoxLayout;
    filters->addWidget(new QLabel(QStringLiteral("Filter:")));
    filters->addWidget(text_, 2);
    filters->addWidget(new QLabel(QStringLiteral("Score from")));
    filters->addWidget(scoreLow_);
    filters->addWidget(new QLabel(QStringLiteral("to")));
    filters->addWidget(scoreHigh_);
    filters->addWidget(new QLabel(QStringLiteral("p-value from")));
    filters->addWidget(pLow_);
    filters->addWidget(new QLabel(QStringLiteral("to")));
    filters->addWidget(pHigh_);
    filters->addWidget(new QLabel(QStringLiteral("Record:")));
    filters->addWidget(record_, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(count_, 1);
    bottom->addWidget(export_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addLayout(filters);
    layout->addWidget(view_, 1);
    layout->addLayout(bottom);

    for (QLineEdit* edit : {text_, scoreLow_, scoreHigh_, pLow_, pHigh_}) {
        connect(edit, &QLineEdit::textChanged, this, &HitsView::applyFilters);
        connect(edit, &QLineEdit::returnPressed, this, &HitsView::applyFilters);
    }
    connect(record_, &QComboBox::currentIndexChanged, this, &HitsView::applyFilters);
    connect(export_, &QPushButton::clicked, this, &HitsView::exportRequested);
    connect(view_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) {
                    emit hitChosen(filter_->mapToSource(current).row());
                }
            });
}

void HitsView::setTable(HitTable table, const ResultsSummary& summary) {
    {
        // One model set at once: tens of thousands of records fill it quickly.
        QStringList names{QStringLiteral("All records")};
        names.reserve(static_cast<qsizetype>(table.records.size()) + 1);
        for (const std::string& name : table.records) {
            names << QString::fromStdString(name);
        }
        const QSignalBlocker block(record_);
        record_->setModel(new QStringListModel(names, record_));
    }
    const auto figure = [](const std::string& text) {
        return text.empty() ? QStringLiteral("-") : QString::fromStdString(text).toHtmlEscaped();
    };
    // The table words the cut-off "+12.385; - Computed": shown "12.385 (computed)".
    const auto cutOff = [&figure](const std::string& text) {
        const std::string::size_type how = text.find("; - ");
        std::string value = text.substr(0, how);
        if (!value.empty() && value[0] == '+') {
            value.erase(0, 1);
        }
        if (how == std::string::npos) {
            return figure(value);
        }
        return figure(value) + QStringLiteral(" (") + figure(text.substr(how + 4)).toLower() +
               QLatin1Char(')');
    };
    summary_->setText(QStringLiteral("<b>Records</b> %1 &nbsp;&nbsp; <b>Sites</b> %2 &nbsp;&nbsp; "
                                     "<b>A priori H</b> %3 &nbsp;&nbsp; <b>Method</b> %4 "
                                     "&nbsp;&nbsp; <b>Cut-off</b> %5")
                          .arg(figure(summary.sequences), figure(summary.sites),
                               figure(summary.entropy), figure(summary.method),
                               cutOff(summary.cutOff)));
    const bool pValues = table.hasPValues;
    model_->setTable(std::move(table));
    pLow_->setEnabled(pValues);
    pHigh_->setEnabled(pValues);
    showCount();
}

void HitsView::setNote(const QString& note) {
    count_->setText(note);
    export_->setEnabled(false);
}

void HitsView::applyFilters() {
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    filter_->setText(text_->text());
    filter_->setScoreRange(boundOf(scoreLow_, -kInfinity), boundOf(scoreHigh_, kInfinity));
    filter_->setPValueRange(boundOf(pLow_, -kInfinity), boundOf(pHigh_, kInfinity));
    filter_->setRecord(record_->currentIndex() - 1);
    showCount();
}

void HitsView::showCount() {
    count_->setText(
        QStringLiteral("%L1 of %L2 hits shown").arg(filter_->rowCount()).arg(model_->rowCount()));
}

void HitsView::selectHit(int row) {
    QModelIndex shown = filter_->mapFromSource(model_->index(row, 0));
    if (!shown.isValid()) {
        for (QLineEdit* edit : {text_, scoreLow_, scoreHigh_, pLow_, pHigh_}) {
            const QSignalBlocker block(edit);
            edit->clear();
        }
        {
            const QSignalBlocker block(record_);
            record_->setCurrentIndex(0);
        }
        applyFilters();
        shown = filter_->mapFromSource(model_->index(row, 0));
    }
    if (!shown.isValid()) {
        return;
    }
    const QSignalBlocker block(view_->selectionModel());
    view_->selectionModel()->setCurrentIndex(
        shown, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view_->scrollTo(shown, QAbstractItemView::PositionAtCenter);
}

std::vector<int> HitsView::selectedHits() const {
    std::vector<int> shownRows;
    for (const QModelIndex& index : view_->selectionModel()->selectedRows()) {
        shownRows.push_back(index.row());
    }
    std::sort(shownRows.begin(), shownRows.end());
    std::vector<int> rows;
    rows.reserve(shownRows.size());
    for (const int shown : shownRows) {
        rows.push_back(filter_->mapToSource(filter_->index(shown, 0)).row());
    }
    return rows;
}

}  // namespace xoprex::ui
