// The Hits tab's models: HitsModel shows a HitTable (one row per hit,
// cells made only when the view asks for them, so a hundred thousand hits
// cost no more than their table), HitsFilter narrows and sorts it (a text
// found in the record, site, class, gene or product; score and p-value
// ranges; one record) and sorts numbers as numbers.
#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <limits>

#include "ui/hit_table.h"

namespace xoprex::ui {

class HitsModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column {
        Record,
        Start,
        End,
        Strand,
        Score,
        PValue,
        QValue,
        Site,
        Class,
        NearestGene,
        Distance,
        Product,
        kColumnCount
    };

    explicit HitsModel(QObject* parent = nullptr);

    void setTable(HitTable table);
    const HitTable& table() const { return table_; }
    const HitRow& hit(int row) const { return table_.rows[static_cast<std::size_t>(row)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // True when row `a` sorts before row `b` in `column`.
    bool lessThan(int column, int a, int b) const;

  private:
    HitTable table_;
};

class HitsFilter : public QSortFilterProxyModel {
    Q_OBJECT
  public:
    explicit HitsFilter(HitsModel* hits, QObject* parent = nullptr);

    void setText(const QString& text);
    void setScoreRange(double low, double high);
    // Rows without a p-value pass only the full range.
    void setPValueRange(double low, double high);
    // -1: every record.
    void setRecord(int record);
    // Clears every condition.
    void clear();

  protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

  private:
    static constexpr double kInfinity = std::numeric_limits<double>::infinity();
    bool matchesText(const HitRow& hit) const;

    HitsModel* hits_;
    std::string text_;  // lower case
    double scoreLow_ = -kInfinity, scoreHigh_ = kInfinity;
    double pLow_ = -kInfinity, pHigh_ = kInfinity;
    int record_ = -1;
};

}  // namespace xoprex::ui
