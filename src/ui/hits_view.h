// The Hits tab: the run's summary figures in a strip, the filters (text,
// score and p-value ranges, record), the table of hits (HitsModel through
// HitsFilter) and the export of the selected rows.
#pragma once

#include <QWidget>

#include "ui/hits_model.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace xoprex::ui {

struct ResultsSummary;

class HitsView : public QWidget {
    Q_OBJECT
  public:
    explicit HitsView(QWidget* parent = nullptr);

    void setTable(HitTable table, const ResultsSummary& summary);
    // A note in place of the table (no hits file).
    void setNote(const QString& note);

    HitsModel* model() const { return model_; }
    HitsFilter* filter() const { return filter_; }
    QTableView* view() const { return view_; }
    QLabel* summary() const { return summary_; }

    // Selects the hit of table row `row` (clearing the filters when they
    // hide it) and scrolls to it.
    void selectHit(int row);
    // Table rows of the selected hits, in the order shown.
    std::vector<int> selectedHits() const;

  signals:
    void exportRequested();
    // The current hit changed (table row).
    void hitChosen(int row);

  private:
    void applyFilters();
    void showCount();

    HitsModel* model_;
    HitsFilter* filter_;
    QTableView* view_;
    QLabel* summary_;
    QLabel* count_;
    QLineEdit* text_;
    QLineEdit* scoreLow_;
    QLineEdit* scoreHigh_;
    QLineEdit* pLow_;
    QLineEdit* pHigh_;
    QComboBox* record_;
    QPushButton* export_;
};

}  // namespace xoprex::ui
