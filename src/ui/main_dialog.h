// COprex_AppDlg, the main window "XOprex": target sequence and site
// collection (chosen or pasted), the options file with the sixteen options
// kept as text, the output folder, the Extra group (a p-value cut-off,
// count-matrix files, more site collections, every GenBank record, the
// topology, skipping ambiguous letters, an HTML report, a regulon: the command line's
// flags), and the operations (Search, Merge, Save Options, Reset Controls,
// Help, About, Exit). A search runs on a worker thread; its run-log lines
// and progress show in the window, and the results window opens when it
// ends, beside the main window; the Results menu opens the results of the
// session's last searches again. Problems are reported in "Error" boxes
// through UiServices; the window always stays usable.
#pragma once

#include <QDialog>
#include <QPointer>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "options/options_file.h"
#include "pipeline/guidance.h"
#include "ui/form_logic.h"
#include "ui/guidance_runner.h"
#include "ui/help_viewer.h"
#include "ui/result_dialog.h"
#include "ui/search_runner.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;
class QWidget;

namespace xoprex::ui {
class UiServices;
}

class COprex_AppDlg : public QDialog {
    Q_OBJECT
  public:
    // `services` answers message boxes and choosers (the real ones when
    // null); `search` runs one search (runSearch when empty).
    explicit COprex_AppDlg(QWidget* parent = nullptr, xoprex::ui::UiServices* services = nullptr,
                           xoprex::ui::SearchRunner::SearchFunction search = {});
    ~COprex_AppDlg() override;

    // What the Browse buttons do once a file has been chosen.
    void chooseSequenceFile(const QString& path);
    void chooseCollectionFile(const QString& path);

    QString startFolder() const { return startFolder_; }
    bool searching() const;
    // The results window of the last search, while it is open.
    CResultDialog* resultsWindow() const { return resultsWindow_; }
    // The results of the session's last searches, newest first (at most
    // kRecentResults), and a results window opened on one of them.
    static constexpr std::size_t kRecentResults = 8;
    const std::vector<xoprex::ui::ResultsSources>& recentResults() const { return recent_; }
    void reopenResults(std::size_t index);
    // What the form's threshold gives for the chosen collection file, as
    // shown beside the threshold (computed in the background); none
    // without one (or when it cannot be read).
    const std::optional<xoprex::ThresholdGuidance>& guidance() const { return guidance_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    // All the form's values as text (options included).
    struct Values {
        xoprex::ui::SearchForm files;
        std::string methodText;
        xoprex::OptionTexts options;
    };

    // Layout (main_dialog_layout.cpp).
    void buildControls();
    QWidget* buildInputColumn();
    QWidget* buildOptionsColumn();
    QWidget* buildExtraGroup();
    QWidget* buildProgressArea();
    QWidget* buildOperations();
    void buildMenu();
    void setTooltips();
    void connectSignals();

    // Values <-> controls.
    void bindOptionControls();
    void readControls();
    void showValues();

    // Options.
    void loadOptions(bool atStartup);
    void applyFactoryDefaults();
    void saveOptions();
    void optionChanged();
    void setIntegrativeControlsEnabled(bool on);

    // Threshold guidance: recomputed after any change of the form, on a
    // worker thread.
    void scheduleGuidance();
    void updateGuidance();
    void showGuidance(const std::optional<xoprex::ThresholdGuidance>& guidance,
                      const QString& problem);

    // Buttons.
    void browseSequence();
    void browseCollection();
    void browseOptions();
    void browseOutputFolder();
    void merge();
    void resetControls();
    void showHelp();
    void showAbout();
    void browseMatrices();
    void browseMoreCollections();
    void browseReport();
    void fillResultsMenu();
    xoprex::ui::ExtraForm extraForm() const;

    // Search.
    void search();
    bool writePasteFiles(const xoprex::ui::SearchPlan& plan);
    void removePasteFiles();
    void setSearching(bool on);
    void searchFinished(xoprex::ui::SearchEnd end, const QString& text);
    void openResults(const QString& path);
    void showResultsWindow(const xoprex::ui::ResultsSources& sources);
    bool mayClose();

    void showError(const QString& message, const QString& detail = {});

    xoprex::ui::UiServices* services_;
    std::unique_ptr<xoprex::ui::SearchRunner> runner_;
    QString startFolder_;
    Values values_;
    Values beforeSearch_;
    xoprex::SearchInputs searched_;  // of the last search
    std::vector<std::string> pasteFiles_;
    bool defaultsUntouched_ = false;
    bool loadingAtStartup_ = true;
    bool updating_ = false;  // controls being filled by the program
    bool closeRequested_ = false;
    QPointer<CResultDialog> resultsWindow_;
    std::vector<xoprex::ui::ResultsSources> recent_;
    QPointer<HelpViewer> helpViewer_;

    // The controls of options 1 and 3 to 16 (option 2 is the method list,
    // shown by its label): a pair of radio buttons for a switch, a box or an
    // editable list for the others.
    struct OptionControl {
        int number = 0;
        QRadioButton* on = nullptr;
        QRadioButton* off = nullptr;
        QLineEdit* edit = nullptr;
        QComboBox* list = nullptr;
    };
    std::vector<OptionControl> optionControls_;

    // Target Genome/Sequence.
    QGroupBox* sequenceGroup_ = nullptr;
    QLineEdit* sequencePathEdit_ = nullptr;
    QPushButton* sequenceBrowse_ = nullptr;
    QPushButton* mergeButton_ = nullptr;
    QPlainTextEdit* sequencePaste_ = nullptr;
    // Site Collection.
    QGroupBox* collectionGroup_ = nullptr;
    QLineEdit* collectionPathEdit_ = nullptr;
    QPushButton* collectionBrowse_ = nullptr;
    QPlainTextEdit* collectionPaste_ = nullptr;
    // Output Files.
    QGroupBox* outputGroup_ = nullptr;
    QLineEdit* optionsPathEdit_ = nullptr;
    QPushButton* optionsBrowse_ = nullptr;
    QPushButton* factoryDefaults_ = nullptr;
    QLineEdit* outputFolderEdit_ = nullptr;
    QPushButton* outputBrowse_ = nullptr;
    // Advanced Options.
    QGroupBox* advancedGroup_ = nullptr;
    QRadioButton* logYes_ = nullptr;
    QRadioButton* logNo_ = nullptr;
    QComboBox* methodCombo_ = nullptr;
    QRadioButton* backgroundYes_ = nullptr;
    QRadioButton* backgroundNo_ = nullptr;
    QComboBox* thresholdCombo_ = nullptr;
    QRadioButton* percentCutOff_ = nullptr;
    QRadioButton* literalCutOff_ = nullptr;
    QLineEdit* promoterEdit_ = nullptr;
    QLineEdit* inGeneEdit_ = nullptr;
    QRadioButton* sortScore_ = nullptr;
    QRadioButton* sortPosition_ = nullptr;
    QRadioButton* redundantYes_ = nullptr;
    QRadioButton* redundantNo_ = nullptr;
    QRadioButton* integrativeYes_ = nullptr;
    QRadioButton* integrativeNo_ = nullptr;
    QLineEdit* upLeftEdit_ = nullptr;
    QLineEdit* upRightEdit_ = nullptr;
    QLineEdit* downLeftEdit_ = nullptr;
    QLineEdit* downRightEdit_ = nullptr;
    QLineEdit* relaxationEdit_ = nullptr;
    QComboBox* rescoringCombo_ = nullptr;
    QLabel* guidanceLabel_ = nullptr;
    QTimer* guidanceTimer_ = nullptr;
    xoprex::ui::GuidanceRunner* guidanceRunner_ = nullptr;
    std::optional<xoprex::ThresholdGuidance> guidance_;
    // Extra.
    QGroupBox* extraGroup_ = nullptr;
    QLineEdit* pValueEdit_ = nullptr;
    QComboBox* topologyCombo_ = nullptr;
    QLineEdit* matrixFilesEdit_ = nullptr;
    QPushButton* matrixBrowse_ = nullptr;
    QLineEdit* moreCollectionsEdit_ = nullptr;
    QPushButton* moreCollectionsBrowse_ = nullptr;
    QCheckBox* allRecordsCheck_ = nullptr;
    QCheckBox* skipAmbiguousCheck_ = nullptr;
    QCheckBox* regulonCheck_ = nullptr;
    QLineEdit* reportPathEdit_ = nullptr;
    QPushButton* reportBrowse_ = nullptr;
    QMenu* resultsMenu_ = nullptr;
    // Progress.
    QPlainTextEdit* progressLog_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QLabel* progressLabel_ = nullptr;
    // Operations.
    QPushButton* aboutButton_ = nullptr;
    QPushButton* helpButton_ = nullptr;
    QPushButton* resetButton_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QPushButton* searchButton_ = nullptr;
    QPushButton* exitButton_ = nullptr;
};
