#include "ui/hits_model.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace xoprex::ui {
namespace {

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString probability(double value) {
    return std::isnan(value) ? QString() : QString::number(value, 'g', 3);
}

// Case-insensitive search of lower-case `needle` in `text`.
bool containsFolded(std::string_view text, const std::string& needle) {
    return std::search(text.begin(), text.end(), needle.begin(), needle.end(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           }) != text.end();
}

// NaN (no value) sorts after every number.
bool numberLess(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) {
        return !std::isnan(a) && std::isnan(b);
    }
    return a < b;
}

}  // namespace

HitsModel::HitsModel(QObject* parent) : QAbstractTableModel(parent) {}

void HitsModel::setTable(HitTable table) {
    beginResetModel();
    table_ = std::move(table);
    endResetModel();
}

int HitsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(table_.rows.size());
}

int HitsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant HitsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const HitRow& row = hit(index.row());
    if (role == Qt::TextAlignmentRole) {
        const bool number = index.column() == Start || index.column() == End ||
                            index.column() == Score || index.column() == PValue ||
                            index.column() == QValue || index.column() == Distance;
        return QVariant::fromValue(number ? Qt::AlignRight | Qt::AlignVCenter
                                          : Qt::AlignLeft | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    switch (index.column()) {
        case Record:
            return qs(table_.records[static_cast<std::size_t>(row.record)]);
        case Start:
            return QString::number(row.start);
        case End:
            return QString::number(row.end);
        case Strand:
            return row.forward ? QStringLiteral("+") : QStringLiteral("-");
        case Score:
            return QString::number(row.score, 'f', 3);
        case PValue:
            return probability(row.pValue);
        case QValue:
            return probability(row.qValue);
        case Site:
            return qs(row.text(row.site));
        case Class:
            return qs(row.text(row.type));
        case NearestGene:
            return qs(row.nearestGene());
        case Distance:
            return QString::number(row.distance);
        case Product:
            return qs(row.text(row.product));
        default:
            return {};
    }
}

QVariant HitsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    static const char* const kTitles[kColumnCount] = {
        "Record",  "Start", "End",   "Strand",       "Score",    "p-value",
        "q-value", "Site",  "Class", "Nearest gene", "Distance", "Product"};
    return section >= 0 && section < kColumnCount ? QString::fromLatin1(kTitles[section])
                                                  : QVariant();
}

bool HitsModel::lessThan(int column, int a, int b) const {
    const HitRow& x = hit(a);
    const HitRow& y = hit(b);
    switch (column) {
        case Record:
            return table_.records[static_cast<std::size_t>(x.record)] <
                   table_.records[static_cast<std::size_t>(y.record)];
        case Start:
            return x.start < y.start;
        case End:
            return x.end < y.end;
        case Strand:
            return x.forward > y.forward;
        case Score:
            return x.score < y.score;
        case PValue:
            return numberLess(x.pValue, y.pValue);
        case QValue:
            return numberLess(x.qValue, y.qValue);
        case Site:
            return x.text(x.site) < y.text(y.site);
        case Class:
            return x.text(x.type) < y.text(y.type);
        case NearestGene:
            return x.nearestGene() < y.nearestGene();
        case Distance:
            return x.distance < y.distance;
        case Product:
            return x.text(x.product) < y.text(y.product);
        default:
            return a < b;
    }
}

HitsFilter::HitsFilter(HitsModel* hits, QObject* parent)
    : QSortFilterProxyModel(parent), hits_(hits) {
    setSourceModel(hits);
}

void HitsFilter::setText(const QString& text) {
    text_ = text.trimmed().toLower().toStdString();
    invalidateRowsFilter();
}

void HitsFilter::setScoreRange(double low, double high) {
    scoreLow_ = low;
    scoreHigh_ = high;
    invalidateRowsFilter();
}

void HitsFilter::setPValueRange(double low, double high) {
    pLow_ = low;
    pHigh_ = high;
    invalidateRowsFilter();
}

void HitsFilter::setRecord(int record) {
    record_ = record;
    invalidateRowsFilter();
}

void HitsFilter::clear() {
    text_.clear();
    scoreLow_ = pLow_ = -kInfinity;
    scoreHigh_ = pHigh_ = kInfinity;
    record_ = -1;
    invalidateRowsFilter();
}

bool HitsFilter::matchesText(const HitRow& hit) const {
    if (text_.empty()) {
        return true;
    }
    const auto& records = hits_->table().records;
    for (const std::string_view field :
         {std::string_view(records[static_cast<std::size_t>(hit.record)]), hit.text(hit.site),
          hit.text(hit.type), hit.text(hit.gene), hit.text(hit.geneTag), hit.text(hit.product)}) {
        if (containsFolded(field, text_)) {
            return true;
        }
    }
    return false;
}

bool HitsFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    const HitRow& hit = hits_->hit(sourceRow);
    if (record_ >= 0 && hit.record != record_) {
        return false;
    }
    if (hit.score < scoreLow_ || hit.score > scoreHigh_) {
        return false;
    }
    const bool fullPRange = pLow_ == -kInfinity && pHigh_ == kInfinity;
    if (!fullPRange && (std::isnan(hit.pValue) || hit.pValue < pLow_ || hit.pValue > pHigh_)) {
        return false;
    }
    return matchesText(hit);
}

bool HitsFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    return hits_->lessThan(left.column(), left.row(), right.row());
}

}  // namespace xoprex::ui
