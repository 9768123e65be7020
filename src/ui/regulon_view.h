// The Regulon tab: the operons of a regulon search (the regulon table beside
// the results table, report/regulon_table.h) with their posteriors, one row
// each, sortable by any column (numbers as numbers; highest posterior first
// to begin with). Choosing an operon names the hit that is its region's best
// window (regulonBestHit), for the window to select it in Hits and the map.
#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QWidget>
#include <string>
#include <vector>

#include "report/regulon_table.h"
#include "ui/hit_table.h"

class QLabel;
class QTableView;

namespace xoprex::ui {

// The row of `hits` that is the operon's best window (same record, start
// and strand), or -1 when it is not among the hits (below the cut-off).
int regulonBestHit(const RegulonRow& operon, const HitTable& hits);

class RegulonModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column {
        Posterior,
        BayesFactor,
        Operon,
        Record,
        Strand,
        FirstGeneStart,
        Genes,
        Products,
        BestStart,
        BestStrand,
        BestScore,
        BestPValue,
        BestSite,
        Sites,
        Windows,
        kColumnCount
    };

    explicit RegulonModel(QObject* parent = nullptr);

    void setRows(std::vector<ReadRegulonRow> rows);
    const RegulonRow& operon(int row) const { return rows_[static_cast<std::size_t>(row)].row; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // The value a column sorts by: a number, or a text.
    QVariant sortValue(int row, int column) const;

  private:
    std::vector<ReadRegulonRow> rows_;
};

class RegulonView : public QWidget {
    Q_OBJECT
  public:
    explicit RegulonView(QWidget* parent = nullptr);

    // The table as read; `source` names it in the note above the rows.
    void setTable(ReadRegulonTable table, const QString& source);
    void setNote(const QString& note);
    // A line under the table (what choosing an operon selected).
    void setStatus(const QString& status);

    RegulonModel* model() const { return model_; }
    QSortFilterProxyModel* sorter() const { return sorter_; }
    QTableView* view() const { return view_; }
    QLabel* note() const { return note_; }
    QLabel* status() const { return status_; }

  signals:
    // The current operon changed (model row).
    void operonChosen(int row);

  private:
    RegulonModel* model_;
    QSortFilterProxyModel* sorter_;
    QTableView* view_;
    QLabel* note_;
    QLabel* status_;
};

}  // namespace xoprex::ui
