// CResultDialog, "XOprex Results": reads a results table back and shows it
// as a grid in a fixed-width font, one column per title of the table's third
// line. Columns sort on a click of their title (numbers as numbers); Ctrl+C,
// the context menu or "Copy Rows" put the selected rows on the clipboard as
// comma-separated lines. A table that cannot be opened is reported with
// "CSV File Cannot be Opened" and leaves the grid empty.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QTableWidget;

namespace xoprex::ui {
class UiServices;
struct ResultsGrid;
}  // namespace xoprex::ui

class CResultDialog : public QDialog {
    Q_OBJECT
  public:
    // Loads `resultsPath` at once; `services` reports a missing file (the
    // real message box when null).
    CResultDialog(const QString& resultsPath, xoprex::ui::UiServices* services = nullptr,
                  QWidget* parent = nullptr);

    QTableWidget* grid() const { return grid_; }
    QString resultsPath() const { return resultsPath_; }
    // The selected rows in display order, joined with commas.
    QString selectedRowsText() const;
    void copySelectedRows() const;

  private:
    void buildControls();
    void load(xoprex::ui::UiServices& services);
    void fill(const xoprex::ui::ResultsGrid& table);

    QString resultsPath_;
    QTableWidget* grid_ = nullptr;
    QLabel* summary_ = nullptr;
};
