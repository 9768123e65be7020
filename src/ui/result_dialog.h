// CResultDialog, "XOprex Results": the results of one search in tabs, in a
// window of its own (not modal; Enter in a filter box filters, it never
// closes the window).
//   Hits           the TSV results beside the table (HitsView), shown first.
//   Results table  the results table read back as a grid in a fixed-width
//                  font, one column per title of the table's third line.
//                  Columns sort on a click of their title (numbers as
//                  numbers); Ctrl+C, the context menu or "Copy Rows" put the
//                  selected rows on the clipboard as comma-separated lines. A
//                  table that cannot be opened is reported with "CSV File
//                  Cannot be Opened" and leaves the grid empty. The grid is
//                  filled when it is first shown or asked for.
//   Logo, Scores, Genome map
//                  pictures of the run's inputs (read again when one of them
//                  is first shown, or at once when asked to: pasted inputs
//                  are removed after the search). The map starts with
//                  only the records with hits when there are more than 50.
//   Regulon        for a regulon search, the operons with their posteriors
//                  (RegulonView); choosing one selects its best window in
//                  Hits and on the map when that window is a hit.
#pragma once

#include <QDialog>
#include <QString>
#include <memory>
#include <optional>

class QCheckBox;
class QLabel;
class QStackedWidget;
class QTabWidget;
class QTableWidget;

namespace xoprex::ui {
class GenomeMap;
class HitsView;
class LogoView;
class PictureView;
class RegulonView;
class ScoreView;
class UiServices;
struct RunPictures;

// What a results window shows: the results table (the TSV is beside it) and
// the inputs of the run, when known.
struct ResultsSources {
    QString resultsPath;
    QString sequencePath;
    QString collectionPath;
    QString optionsPath;
    // Read the inputs while the window opens instead of when a picture is
    // first shown.
    bool readInputsNow = false;
    // The regulon table of the results' collection (report/regulon_table.h),
    // for a regulon search; empty otherwise.
    QString regulonPath;
};
}  // namespace xoprex::ui

class CResultDialog : public QDialog {
    Q_OBJECT
  public:
    // Opens `resultsPath` at once; `services` reports a missing file (the
    // real message box when null).
    CResultDialog(const QString& resultsPath, xoprex::ui::UiServices* services = nullptr,
                  QWidget* parent = nullptr);
    CResultDialog(const xoprex::ui::ResultsSources& sources,
                  xoprex::ui::UiServices* services = nullptr, QWidget* parent = nullptr);
    ~CResultDialog() override;

    // The grid, filled.
    QTableWidget* grid() const;
    QString resultsPath() const { return sources_.resultsPath; }
    // The selected rows in display order, joined with commas.
    QString selectedRowsText() const;
    void copySelectedRows() const;

    QTabWidget* tabs() const { return tabs_; }
    xoprex::ui::HitsView* hitsView() const { return hits_; }
    xoprex::ui::LogoView* logoView() const { return logo_; }
    xoprex::ui::ScoreView* scoreView() const { return scores_; }
    xoprex::ui::GenomeMap* genomeMap() const { return map_; }
    // Null unless the sources name a regulon table.
    xoprex::ui::RegulonView* regulonView() const { return regulon_; }
    // Reads the run's inputs for the pictures, once; false when they are
    // unknown or could not be read (reported).
    bool loadPictures();
    // Writes the selected hits to `path` (.tsv, .bed or .gff3); reports
    // problems.
    void exportHits(const QString& path);
    // Saves the picture `view` to `path` (.png or .svg); reports problems.
    void savePicture(const xoprex::ui::PictureView& view, const QString& path);

  private:
    void buildControls();
    QWidget* buildTableTab();
    // `body` holds the view (the view itself when null); `extra` goes
    // beside the Save button.
    QWidget* buildPictureTab(xoprex::ui::PictureView* view, QLabel*& note, QWidget* body = nullptr,
                             QWidget* extra = nullptr);
    QWidget* buildMapTab();
    void load();
    void fillGrid();
    void loadHits();
    void loadRegulon();
    void operonChosen(int row);
    void tabShown(int index);
    void askExportPath();
    void askPicturePath(const xoprex::ui::PictureView& view, const QString& name);

    xoprex::ui::ResultsSources sources_;
    xoprex::ui::UiServices& services_;
    QTabWidget* tabs_ = nullptr;
    QTableWidget* grid_ = nullptr;
    QLabel* summary_ = nullptr;
    bool gridFilled_ = false;
    xoprex::ui::HitsView* hits_ = nullptr;
    xoprex::ui::LogoView* logo_ = nullptr;
    xoprex::ui::ScoreView* scores_ = nullptr;
    xoprex::ui::GenomeMap* map_ = nullptr;
    xoprex::ui::RegulonView* regulon_ = nullptr;
    QLabel* logoNote_ = nullptr;
    QLabel* scoresNote_ = nullptr;
    QLabel* mapNote_ = nullptr;
    QLabel* mapHit_ = nullptr;
    QCheckBox* withHits_ = nullptr;
    std::unique_ptr<xoprex::ui::RunPictures> pictures_;
    bool picturesTried_ = false;
    std::optional<double> tableCutOff_;  // as the results table states it
};
