#include "ui/regulon_view.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>
#include <cmath>

namespace xoprex::ui {
namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// The items of a list field joined for the eye.
QString joined(const std::vector<std::string>& items, const QString& separator) {
    QStringList texts;
    for (const std::string& item : items) {
        texts << qs(item);
    }
    return texts.join(separator);
}

// A gene's name, or its locus tag when it has none.
QString geneNames(const RegulonRow& row) {
    QStringList names;
    for (size_t g = 0; g < row.geneNames.size() || g < row.locusTags.size(); ++g) {
        const std::string& name = g < row.geneNames.size() ? row.geneNames[g] : std::string();
        const std::string& tag = g < row.locusTags.size() ? row.locusTags[g] : std::string();
        names << qs(name.empty() ? tag : name);
    }
    return names.join(QStringLiteral(", "));
}

QVariant number(double value) {
    return std::isnan(value) ? QVariant() : QVariant(value);
}

// Sorts numbers as numbers, empty cells last whichever way.
class RegulonSorter : public QSortFilterProxyModel {
  public:
    explicit RegulonSorter(RegulonModel* model, QObject* parent)
        : QSortFilterProxyModel(parent), model_(model) {
        setSourceModel(model);
    }

  protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override {
        const QVariant a = model_->sortValue(left.row(), left.column());
        const QVariant b = model_->sortValue(right.row(), right.column());
        if (!a.isValid() || !b.isValid()) {
            const bool ascending = sortOrder() == Qt::AscendingOrder;
            return ascending ? a.isValid() && !b.isValid() : !a.isValid() && b.isValid();
        }
        if (a.typeId() == QMetaType::Double) {
            return a.toDouble() < b.toDouble();
        }
        return QString::localeAwareCompare(a.toString(), b.toString()) < 0;
    }

  private:
    RegulonModel* model_;
};

}  // namespace

int regulonBestHit(const RegulonRow& operon, const HitTable& hits) {
    if (!operon.hasBest) {
        return -1;
    }
    for (size_t k = 0; k < hits.rows.size(); ++k) {
        const HitRow& hit = hits.rows[k];
        if (hit.start == operon.bestStart && hit.forward == operon.bestForward &&
            hits.records[static_cast<size_t>(hit.record)] == operon.record) {
            return static_cast<int>(k);
        }
    }
    return -1;
}

RegulonModel::RegulonModel(QObject* parent) : QAbstractTableModel(parent) {}

void RegulonModel::setRows(std::vector<ReadRegulonRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int RegulonModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int RegulonModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant RegulonModel::sortValue(int row, int column) const {
    const RegulonRow& r = operon(row);
    switch (column) {
        case Posterior:
            return number(r.posterior);
        case BayesFactor:
            return number(r.log10BayesFactor);
        case Operon:
            return static_cast<double>(r.operon);
        case Record:
            return qs(r.record);
        case Strand:
            return r.forward ? QStringLiteral("+") : QStringLiteral("-");
        case FirstGeneStart:
            return static_cast<double>(r.firstGeneStart);
        case Genes:
            return geneNames(r);
        case Products:
            return joined(r.products, QStringLiteral("; "));
        case BestStart:
            return r.hasBest ? QVariant(static_cast<double>(r.bestStart)) : QVariant();
        case BestStrand:
            return r.hasBest ? QVariant(r.bestForward ? QStringLiteral("+") : QStringLiteral("-"))
                             : QVariant();
        case BestScore:
            return r.hasBest ? number(r.bestScore) : QVariant();
        case BestPValue:
            return r.hasBest ? number(r.bestPValue) : QVariant();
        case BestSite:
            return qs(r.bestSite);
        case Sites:
            return static_cast<double>(r.sites);
        case Windows:
            return static_cast<double>(r.windows);
        default:
            return {};
    }
}

QVariant RegulonModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole) {
        return {};
    }
    const QVariant value = sortValue(index.row(), index.column());
    switch (index.column()) {
        case Posterior:
            return value.isValid() ? QString::number(value.toDouble(), 'f', 4) : QString();
        case BayesFactor:
        case BestScore:
            return value.isValid() ? QString::number(value.toDouble(), 'f', 3) : QString();
        case BestPValue:
            return value.isValid() ? QString::number(value.toDouble(), 'g', 3) : QString();
        case Operon:
        case FirstGeneStart:
        case BestStart:
        case Sites:
        case Windows:
            return value.isValid() ? QString::number(value.toLongLong()) : QString();
        default:
            return value;
    }
}

QVariant RegulonModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const char* const kTitles[kColumnCount] = {
        "Posterior",  "log10 BF",     "Operon",      "Record",  "Strand",
        "Start",      "Genes",        "Products",    "Best at", "Best strand",
        "Best score", "Best p-value", "Best window", "Hits",    "Windows"};
    return section >= 0 && section < kColumnCount ? QString::fromLatin1(kTitles[section])
                                                  : QVariant();
}

RegulonView::RegulonView(QWidget* parent)
    : QWidget(parent),
      model_(new RegulonModel(this)),
      sorter_(new RegulonSorter(model_, this)),
      view_(new QTableView),
      note_(new QLabel),
      status_(new QLabel) {
    view_->setObjectName(QStringLiteral("regulonTable"));
    note_->setObjectName(QStringLiteral("regulonNote"));
    note_->setWordWrap(true);
    note_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_->setObjectName(QStringLiteral("regulonStatus"));
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    view_->setModel(sorter_);
    view_->setSortingEnabled(true);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setAlternatingRowColors(true);
    view_->verticalHeader()->setVisible(false);
    view_->horizontalHeader()->setStretchLastSection(true);
    view_->sortByColumn(RegulonModel::Posterior, Qt::DescendingOrder);
    connect(view_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) {
                    emit operonChosen(sorter_->mapToSource(current).row());
                }
            });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note_);
    layout->addWidget(view_, 1);
    layout->addWidget(status_);
    setStatus(QStringLiteral("Choose an operon to select its best window in Hits and the map."));
}

void RegulonView::setTable(ReadRegulonTable table, const QString& source) {
    size_t above = 0;
    double expected = 0.0;
    for (const ReadRegulonRow& read : table.rows) {
        above += read.row.posterior > 0.5 ? 1 : 0;
        expected += std::isnan(read.row.posterior) ? 0.0 : read.row.posterior;
    }
    note_->setText(QStringLiteral("%1: %2 operons, %3 expected regulated (the sum of the "
                                  "posteriors), %4 with a posterior above 0.5")
                       .arg(source)
                       .arg(table.rows.size())
                       .arg(expected, 0, 'f', 1)
                       .arg(above));
    model_->setRows(std::move(table.rows));
    view_->sortByColumn(RegulonModel::Posterior, Qt::DescendingOrder);
    view_->resizeColumnsToContents();
}

void RegulonView::setNote(const QString& note) {
    note_->setText(note);
    model_->setRows({});
}

void RegulonView::setStatus(const QString& status) {
    status_->setText(status);
}

}  // namespace xoprex::ui
