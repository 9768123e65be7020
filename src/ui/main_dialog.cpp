#include "ui/main_dialog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QUrl>
#include <cstdio>

#include "base/errors.h"
#include "base/output_file.h"
#include "merge/merge.h"
#include "options/option_table.h"
#include "options/options.h"
#include "ui/about_dialog.h"
#include "ui/help_viewer.h"
#include "ui/result_dialog.h"
#include "ui/ui_services.h"

using xoprex::ui::SearchEnd;

namespace {

const QString kOptionsFilter = QStringLiteral("Option File (*.txt);;All Files (*)");
const QString kSequenceFilter =
    QStringLiteral("Sequence File (*.gbk);;(*.fna);;(*.fas);;(*.gb);;All Files (*)");
const QString kCollectionFilter =
    QStringLiteral("Collection File (*.txt);;(*.fna);;(*.fas);;All Files (*)");
const QString kMatrixFilter = QStringLiteral(
    "Count Matrices (*.jaspar *.pfm *.meme *.transfac *.dat *.txt *.xml *.sites);;All Files (*)");
const QString kReportFilter = QStringLiteral("HTML Report (*.html);;All Files (*)");

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}
std::string ss(const QString& text) {
    return text.toStdString();
}

void setPair(QRadioButton* yes, QRadioButton* no, bool on) {
    yes->setChecked(on);
    no->setChecked(!on);
}

// Writes `text` exactly as given, whole or not at all; false when the file
// cannot be written.
bool writeTextFile(const std::string& path, const std::string& text) {
    try {
        xoprex::writeWholeFile(path, text);
    } catch (const xoprex::OutputError&) {
        return false;
    }
    return true;
}

}  // namespace

COprex_AppDlg::COprex_AppDlg(QWidget* parent, xoprex::ui::UiServices* services,
                             xoprex::ui::SearchRunner::SearchFunction search)
    : QDialog(parent),
      services_(services != nullptr ? services : &xoprex::ui::defaultUiServices()),
      runner_(std::make_unique<xoprex::ui::SearchRunner>(
          search ? std::move(search)
                 : xoprex::ui::SearchRunner::SearchFunction(xoprex::runSearch))) {
    buildControls();
    guidanceTimer_ = new QTimer(this);
    guidanceTimer_->setSingleShot(true);
    guidanceTimer_->setInterval(0);
    connect(guidanceTimer_, &QTimer::timeout, this, &COprex_AppDlg::updateGuidance);
    guidanceRunner_ = new xoprex::ui::GuidanceRunner(this);
    connect(guidanceRunner_, &xoprex::ui::GuidanceRunner::computed, this,
            &COprex_AppDlg::showGuidance);
    startFolder_ = QDir::currentPath();
    values_.files.startFolder = ss(startFolder_);
    values_.files.optionsPath = ss(startFolder_ + QStringLiteral("/Options.txt"));
    values_.files.outputFolder = xoprex::withTrailingSeparator(ss(startFolder_));
    values_.methodText = xoprex::numberToFormLabel(values_.options.methodNumber);
    showValues();
    loadOptions(true);
    showValues();
    setTooltips();
    connectSignals();
}

COprex_AppDlg::~COprex_AppDlg() {
    // Stop a running search before the controls it reports to go away.
    runner_->disconnect(this);
    const bool wasSearching = runner_->running();
    runner_.reset();
    if (wasSearching) {
        QApplication::restoreOverrideCursor();
        removePasteFiles();
    }
}

bool COprex_AppDlg::searching() const {
    return runner_->running();
}

void COprex_AppDlg::connectSignals() {
    connect(sequenceBrowse_, &QPushButton::clicked, this, &COprex_AppDlg::browseSequence);
    connect(collectionBrowse_, &QPushButton::clicked, this, &COprex_AppDlg::browseCollection);
    connect(optionsBrowse_, &QPushButton::clicked, this, &COprex_AppDlg::browseOptions);
    connect(outputBrowse_, &QPushButton::clicked, this, &COprex_AppDlg::browseOutputFolder);
    connect(factoryDefaults_, &QPushButton::clicked, this, &COprex_AppDlg::applyFactoryDefaults);
    connect(mergeButton_, &QPushButton::clicked, this, &COprex_AppDlg::merge);
    connect(aboutButton_, &QPushButton::clicked, this, &COprex_AppDlg::showAbout);
    connect(helpButton_, &QPushButton::clicked, this, &COprex_AppDlg::showHelp);
    connect(resetButton_, &QPushButton::clicked, this, &COprex_AppDlg::resetControls);
    connect(saveButton_, &QPushButton::clicked, this, &COprex_AppDlg::saveOptions);
    connect(searchButton_, &QPushButton::clicked, this, &COprex_AppDlg::search);
    connect(matrixBrowse_, &QPushButton::clicked, this, &COprex_AppDlg::browseMatrices);
    connect(moreCollectionsBrowse_, &QPushButton::clicked, this,
            &COprex_AppDlg::browseMoreCollections);
    connect(reportBrowse_, &QPushButton::clicked, this, &COprex_AppDlg::browseReport);
    connect(exitButton_, &QPushButton::clicked, this, &COprex_AppDlg::close);

    // Typing in a paste box switches the matching file controls off.
    connect(sequencePaste_, &QPlainTextEdit::textChanged, this, [this] {
        if (!updating_) {
            sequencePathEdit_->setEnabled(false);
            sequenceBrowse_->setEnabled(false);
            mergeButton_->setEnabled(false);
        }
    });
    connect(collectionPaste_, &QPlainTextEdit::textChanged, this, [this] {
        if (!updating_) {
            collectionPathEdit_->setEnabled(false);
            collectionBrowse_->setEnabled(false);
            scheduleGuidance();
        }
    });

    // Any change of an option must be saved before the next search (a typed
    // threshold too: the search reads the saved file, and the results window
    // is named after the threshold the search used).
    connect(methodCombo_, &QComboBox::currentIndexChanged, this, &COprex_AppDlg::optionChanged);
    for (const OptionControl& control : optionControls_) {
        if (control.on != nullptr) {
            for (QRadioButton* radio : {control.on, control.off}) {
                connect(radio, &QRadioButton::toggled, this, &COprex_AppDlg::optionChanged);
            }
        } else if (control.edit != nullptr) {
            connect(control.edit, &QLineEdit::textChanged, this, &COprex_AppDlg::optionChanged);
        } else {
            connect(control.list, &QComboBox::currentTextChanged, this,
                    &COprex_AppDlg::optionChanged);
        }
    }

    connect(runner_.get(), &xoprex::ui::SearchRunner::linesWritten, this,
            [this](const QStringList& lines) {
                progressLog_->appendPlainText(lines.join(QLatin1Char('\n')));
            });
    connect(runner_.get(), &xoprex::ui::SearchRunner::progressed, progressBar_,
            &QProgressBar::setValue);
    connect(runner_.get(), &xoprex::ui::SearchRunner::finished, this,
            &COprex_AppDlg::searchFinished);
}

// ---- values and controls --------------------------------------------------

void COprex_AppDlg::readControls() {
    xoprex::ui::SearchForm& files = values_.files;
    // A path typed over the one chosen keeps nothing of it: the file's title,
    // extension and folder come only with a file chosen (Browse, Merge), so
    // the search refuses a typed path as the form's rules say, rather than
    // writing its results under the previous file's name.
    if (const std::string typed = ss(sequencePathEdit_->text()); typed != files.sequencePath) {
        files.sequencePath = typed;
        files.sequenceTitle.clear();
        files.sequenceExt.clear();
    }
    if (const std::string typed = ss(collectionPathEdit_->text()); typed != files.collectionPath) {
        files.collectionPath = typed;
        files.collectionTitle.clear();
        files.collectionExt.clear();
    }
    files.optionsPath = ss(optionsPathEdit_->text());
    files.pastedSequence = ss(sequencePaste_->toPlainText());
    files.pastedCollection = ss(collectionPaste_->toPlainText());

    values_.methodText =
        methodCombo_->currentIndex() < 0 ? std::string("???") : ss(methodCombo_->currentText());
    for (const OptionControl& control : optionControls_) {
        const xoprex::OptionEntry& entry = xoprex::optionEntry(control.number);
        if (control.on != nullptr) {
            values_.options.*entry.switchText = control.on->isChecked();
        } else {
            values_.options.*entry.text =
                ss(control.edit != nullptr ? control.edit->text() : control.list->currentText());
        }
    }
}

void COprex_AppDlg::showValues() {
    updating_ = true;
    const xoprex::ui::SearchForm& files = values_.files;
    sequencePathEdit_->setText(qs(files.sequencePath));
    collectionPathEdit_->setText(qs(files.collectionPath));
    optionsPathEdit_->setText(qs(files.optionsPath));
    outputFolderEdit_->setText(qs(files.outputFolder));
    // Long paths show their end, where the file name is.
    for (QLineEdit* path :
         {sequencePathEdit_, collectionPathEdit_, optionsPathEdit_, outputFolderEdit_}) {
        path->setCursorPosition(static_cast<int>(path->text().size()));
    }
    if (sequencePaste_->toPlainText() != qs(files.pastedSequence)) {
        sequencePaste_->setPlainText(qs(files.pastedSequence));
    }
    if (collectionPaste_->toPlainText() != qs(files.pastedCollection)) {
        collectionPaste_->setPlainText(qs(files.pastedCollection));
    }

    methodCombo_->setCurrentIndex(methodCombo_->findText(qs(values_.methodText)));
    for (const OptionControl& control : optionControls_) {
        const xoprex::OptionEntry& entry = xoprex::optionEntry(control.number);
        if (control.on != nullptr) {
            setPair(control.on, control.off, values_.options.*entry.switchText);
        } else if (control.edit != nullptr) {
            control.edit->setText(qs(values_.options.*entry.text));
        } else {
            control.list->setCurrentText(qs(values_.options.*entry.text));
        }
    }
    setIntegrativeControlsEnabled(values_.options.integrative);
    updating_ = false;
    scheduleGuidance();
}

void COprex_AppDlg::showError(const QString& message, const QString& detail) {
    services_->showError(this, message, detail);
}

// ---- options ----------------------------------------------------------------

void COprex_AppDlg::loadOptions(bool atStartup) {
    readControls();
    const std::string& path = values_.files.optionsPath;
    xoprex::OptionTexts loaded = values_.options;
    try {
        xoprex::loadOptionTextsFile(path, loaded);
    } catch (const xoprex::InputError& error) {
        if (atStartup && loadingAtStartup_ && QFileInfo::exists(qs(path))) {
            // The user's file, which this program cannot read (its
            // permissions): it is left as it is, and the form starts from
            // the factory defaults, to be saved where the user chooses.
            loadingAtStartup_ = false;
            values_.options = xoprex::factoryDefaults();
            values_.methodText = xoprex::numberToFormLabel(values_.options.methodNumber);
            showValues();
            defaultsUntouched_ = false;
            searchButton_->setEnabled(false);
            showError(QStringLiteral("Cannot open Options file"),
                      qs(path) + QStringLiteral(": ") + qs(error.what()) +
                          QStringLiteral("\nThe file is left as it is; the form shows the factory "
                                         "defaults (Save Options writes them to a file)."));
        } else if (atStartup && loadingAtStartup_) {
            loadingAtStartup_ = false;
            applyFactoryDefaults();
        } else {
            showError(QStringLiteral("Cannot open Options file"), qs(path));
        }
        return;
    }
    loadingAtStartup_ = false;
    values_.options = loaded;
    values_.methodText = xoprex::numberToFormLabel(loaded.methodNumber);
    showValues();
    searchButton_->setEnabled(true);
}

void COprex_AppDlg::applyFactoryDefaults() {
    readControls();
    values_.options = xoprex::factoryDefaults();
    values_.methodText = xoprex::numberToFormLabel(values_.options.methodNumber);
    values_.files.optionsPath = ss(startFolder_ + QStringLiteral("/Options.txt"));
    showValues();
    defaultsUntouched_ = true;
    saveOptions();
}

void COprex_AppDlg::saveOptions() {
    readControls();
    if (!defaultsUntouched_) {
        const QString chosen = services_->saveFile(this, QStringLiteral("Save Option File"),
                                                   qs(values_.files.optionsPath), kOptionsFilter);
        if (chosen.isEmpty()) {
            return;
        }
        values_.files.optionsPath = ss(chosen);
        showValues();
    }
    values_.options.methodNumber =
        xoprex::formLabelToNumber(values_.methodText, values_.options.methodNumber);
    try {
        xoprex::writeOptionsFile(values_.files.optionsPath, values_.options);
    } catch (const xoprex::OutputError&) {
        showError(QStringLiteral("File Cannot be Opened for Saving"),
                  qs(values_.files.optionsPath));
        return;
    }
    searchButton_->setEnabled(true);
}

void COprex_AppDlg::optionChanged() {
    if (updating_) {
        return;
    }
    scheduleGuidance();
    searchButton_->setEnabled(false);
    defaultsUntouched_ = false;
    setIntegrativeControlsEnabled(integrativeYes_->isChecked());
}

void COprex_AppDlg::setIntegrativeControlsEnabled(bool on) {
    for (QWidget* control :
         std::initializer_list<QWidget*>{upLeftEdit_, upRightEdit_, downLeftEdit_, downRightEdit_,
                                         relaxationEdit_, rescoringCombo_}) {
        control->setEnabled(on);
    }
}

// ---- threshold guidance -------------------------------------------------------

void COprex_AppDlg::scheduleGuidance() {
    if (guidanceTimer_ != nullptr && !guidanceTimer_->isActive()) {
        guidanceTimer_->start();
    }
}

void COprex_AppDlg::updateGuidance() {
    if (runner_->running()) {
        return;
    }
    readControls();
    const std::string& collection = values_.files.collectionPath;
    if (collection.empty() || !collectionPathEdit_->isEnabled()) {
        guidance_.reset();
        guidanceLabel_->setText(
            QStringLiteral("Choose a collection file to see what this threshold gives."));
        return;
    }
    xoprex::ui::GuidanceRequest request;
    request.collectionPath = collection;
    request.options = xoprex::ui::formRunOptions(values_.options, values_.methodText);
    request.targetPath = values_.files.sequencePath;
    guidanceRunner_->request(request);
}

void COprex_AppDlg::showGuidance(const std::optional<xoprex::ThresholdGuidance>& guidance,
                                 const QString& problem) {
    if (collectionPathEdit_->text().isEmpty() || !collectionPathEdit_->isEnabled()) {
        return;  // the collection went while the figures were computed
    }
    guidance_ = guidance;
    if (!guidance_) {
        guidanceLabel_->setText(QStringLiteral("The collection cannot be read: %1").arg(problem));
        return;
    }
    guidanceLabel_->setText(
        QStringLiteral("Cut-off %1, p-value %2: %3 chance hits per Mb (both strands)")
            .arg(guidance_->cutOff, 0, 'f', 3)
            .arg(guidance_->pValue, 0, 'g', 3)
            .arg(guidance_->expectedPerMegabase, 0, 'g', 3));
}

// ---- file buttons -----------------------------------------------------------

void COprex_AppDlg::browseSequence() {
    const QString path = services_->openFile(this, QStringLiteral("Open Sequence File"),
                                             startFolder_, kSequenceFilter);
    if (!path.isEmpty()) {
        chooseSequenceFile(path);
    }
}

void COprex_AppDlg::chooseSequenceFile(const QString& path) {
    readControls();
    const QFileInfo info(path);
    sequencePaste_->setEnabled(false);
    values_.files.sequencePath = ss(path);
    values_.files.sequenceTitle = ss(info.completeBaseName());
    values_.files.sequenceExt = xoprex::ui::fileExtension(ss(path));
    values_.files.outputFolder = xoprex::withTrailingSeparator(ss(info.absolutePath()));
    showValues();
}

void COprex_AppDlg::browseCollection() {
    const QString path = services_->openFile(this, QStringLiteral("Open Collection File"),
                                             startFolder_, kCollectionFilter);
    if (!path.isEmpty()) {
        chooseCollectionFile(path);
    }
}

void COprex_AppDlg::chooseCollectionFile(const QString& path) {
    readControls();
    collectionPaste_->setEnabled(false);
    values_.files.collectionPath = ss(path);
    values_.files.collectionTitle = ss(QFileInfo(path).completeBaseName());
    values_.files.collectionExt = xoprex::ui::fileExtension(ss(path));
    showValues();
}

void COprex_AppDlg::browseOptions() {
    const QString path =
        services_->openFile(this, QStringLiteral("Open Option File"), startFolder_, kOptionsFilter);
    if (path.isEmpty()) {
        return;  // Cancel keeps the options as they are, unsaved edits included.
    }
    optionsPathEdit_->setText(path);
    loadOptions(false);
}

void COprex_AppDlg::browseOutputFolder() {
    const QString folder =
        services_->chooseFolder(this, QStringLiteral("Select the Output File Path:"), startFolder_);
    if (folder.isEmpty()) {
        return;
    }
    readControls();
    values_.files.outputFolder = xoprex::withTrailingSeparator(ss(folder));
    showValues();
}

void COprex_AppDlg::merge() {
    readControls();
    const std::string input = values_.files.sequencePath;
    // Named after the file being merged (not an older title), so that a
    // typed path never overwrites the merge of another file.
    const std::string target = xoprex::defaultMergeOutput(input);
    mergeButton_->setText(QStringLiteral("Merging..."));
    mergeButton_->repaint();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::string failure;
    if (input.empty()) {
        failure = "no sequence file chosen";
    } else {
        try {
            xoprex::mergeGenBankFile(input, target);
        } catch (const std::exception& error) {
            failure = error.what();
        }
    }
    QApplication::restoreOverrideCursor();
    mergeButton_->setText(QStringLiteral("Merge"));
    if (!failure.empty()) {
        showError(QStringLiteral("Unable to open input file."),
                  qs(input) + QStringLiteral(": ") + qs(failure));
        return;
    }
    const QFileInfo info(qs(target));
    values_.files.sequencePath = target;
    values_.files.sequenceTitle = ss(info.completeBaseName());
    values_.files.sequenceExt = "gbk";
    values_.files.outputFolder = xoprex::withTrailingSeparator(ss(info.absolutePath()));
    showValues();
}

void COprex_AppDlg::resetControls() {
    for (QWidget* control : std::initializer_list<QWidget*>{
             sequencePathEdit_, sequenceBrowse_, mergeButton_, sequencePaste_, collectionPathEdit_,
             collectionBrowse_, collectionPaste_}) {
        control->setEnabled(true);
    }
    readControls();
    values_.files.sequencePath.clear();
    values_.files.collectionPath.clear();
    values_.files.pastedSequence.clear();
    values_.files.pastedCollection.clear();
    showValues();
}

// ---- extra ------------------------------------------------------------------

namespace {

// Adds `path` to a ';'-separated list of files.
void appendPath(QLineEdit* list, const QString& path) {
    const QString text = list->text().trimmed();
    list->setText(text.isEmpty() ? path : text + QStringLiteral("; ") + path);
}

}  // namespace

void COprex_AppDlg::browseMatrices() {
    const QString path = services_->openFile(this, QStringLiteral("Add Count Matrix File"),
                                             startFolder_, kMatrixFilter);
    if (!path.isEmpty()) {
        appendPath(matrixFilesEdit_, path);
    }
}

void COprex_AppDlg::browseMoreCollections() {
    const QString path = services_->openFile(this, QStringLiteral("Add Collection File"),
                                             startFolder_, kCollectionFilter);
    if (!path.isEmpty()) {
        appendPath(moreCollectionsEdit_, path);
    }
}

void COprex_AppDlg::browseReport() {
    const QString start = reportPathEdit_->text().isEmpty()
                              ? qs(values_.files.outputFolder) + QStringLiteral("report.html")
                              : reportPathEdit_->text();
    const QString path =
        services_->saveFile(this, QStringLiteral("HTML Report"), start, kReportFilter);
    if (!path.isEmpty()) {
        reportPathEdit_->setText(path);
    }
}

xoprex::ui::ExtraForm COprex_AppDlg::extraForm() const {
    xoprex::ui::ExtraForm form;
    form.pValue = ss(pValueEdit_->text().trimmed());
    form.matrixFiles = ss(matrixFilesEdit_->text());
    form.siteCollections = ss(moreCollectionsEdit_->text());
    form.allRecords = allRecordsCheck_->isChecked();
    form.topology = ss(topologyCombo_->currentText());
    form.skipAmbiguous = skipAmbiguousCheck_->isChecked();
    form.reportPath = ss(reportPathEdit_->text().trimmed());
    form.regulon = regulonCheck_->isChecked();
    return form;
}

// ---- help and about -----------------------------------------------------------

void COprex_AppDlg::showHelp() {
    const QString helpFile = startFolder_ + QStringLiteral("/html_help.chm");
    if (QFileInfo::exists(helpFile) && QDesktopServices::openUrl(QUrl::fromLocalFile(helpFile))) {
        return;
    }
    if (helpViewer_ == nullptr) {
        helpViewer_ = new HelpViewer(this);
        helpViewer_->setAttribute(Qt::WA_DeleteOnClose);
    }
    helpViewer_->show();
    helpViewer_->raise();
    helpViewer_->activateWindow();
}

void COprex_AppDlg::showAbout() {
    auto* about = new CAboutDlg(this);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->open();
}

// ---- search -------------------------------------------------------------------

void COprex_AppDlg::search() {
    if (runner_->running()) {
        return;
    }
    readControls();
    const xoprex::ui::SearchPlan plan = xoprex::ui::planSearch(values_.files);
    if (!plan.error.empty()) {
        showError(qs(plan.error));
        return;
    }
    if (plan.stopQuietly) {
        values_.files.optionsPath = plan.form.optionsPath;
        showValues();
        return;
    }
    xoprex::SearchInputs inputs;
    inputs.collections = {{plan.form.collectionPath, plan.form.collectionTitle}};
    const std::string extraProblem = xoprex::ui::applyExtraForm(extraForm(), inputs);
    if (!extraProblem.empty()) {
        showError(qs(extraProblem));
        return;
    }
    if (!writePasteFiles(plan)) {
        return;
    }
    beforeSearch_ = values_;
    values_.files = plan.form;
    showValues();

    inputs.sequencePath = plan.form.sequencePath;
    inputs.optionsPath = plan.form.optionsPath;
    inputs.outputFolder = plan.form.outputFolder;
    inputs.sequenceTitle = plan.form.sequenceTitle;
    // The hits view reads the TSV results.
    inputs.formats = {xoprex::ResultFormat::Csv, xoprex::ResultFormat::Tsv};
    searched_ = inputs;
    setSearching(true);
    runner_->start(inputs);
}

bool COprex_AppDlg::writePasteFiles(const xoprex::ui::SearchPlan& plan) {
    pasteFiles_.clear();
    for (const auto* paste : {&plan.sequencePaste, &plan.collectionPaste}) {
        if (!paste->has_value()) {
            continue;
        }
        if (!writeTextFile((*paste)->path, (*paste)->text)) {
            std::remove((*paste)->path.c_str());
            removePasteFiles();
            showError(QStringLiteral("File Cannot be Opened"), qs((*paste)->path));
            return false;
        }
        pasteFiles_.push_back((*paste)->path);
    }
    return true;
}

void COprex_AppDlg::removePasteFiles() {
    for (const std::string& path : pasteFiles_) {
        std::remove(path.c_str());
    }
    pasteFiles_.clear();
}

void COprex_AppDlg::setSearching(bool on) {
    for (QWidget* control : std::initializer_list<QWidget*>{
             sequenceGroup_, collectionGroup_, outputGroup_, advancedGroup_, extraGroup_,
             resetButton_, saveButton_, searchButton_}) {
        control->setEnabled(!on);
    }
    searchButton_->setText(on ? QStringLiteral("Searching...") : QStringLiteral("Search"));
    if (on) {
        progressLog_->clear();
        progressBar_->setValue(0);
        progressLabel_->setText(QStringLiteral("Searching..."));
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void COprex_AppDlg::searchFinished(SearchEnd end, const QString& text) {
    setSearching(false);
    if (end != SearchEnd::Done) {
        removePasteFiles();
    }
    const Values tried = values_;
    switch (end) {
        case SearchEnd::Done:
            progressBar_->setValue(progressBar_->maximum());
            progressLabel_->setText(QStringLiteral("Search finished."));
            resetControls();
            if (!closeRequested_) {
                // Before the paste files go: the results window reads them.
                openResults(text);
            }
            removePasteFiles();
            break;
        case SearchEnd::Cancelled:
            values_ = beforeSearch_;
            showValues();
            progressLabel_->setText(QStringLiteral("Search cancelled."));
            break;
        case SearchEnd::Fatal:
        case SearchEnd::Failed:
            values_ = beforeSearch_;
            showValues();
            progressLabel_->setText(QStringLiteral("Search stopped."));
            if (!closeRequested_) {
                showError(end == SearchEnd::Fatal ? text : QStringLiteral("The search failed"),
                          end == SearchEnd::Fatal ? QStringLiteral("Sequence: %1\nCollection: %2")
                                                        .arg(qs(tried.files.sequencePath),
                                                             qs(tried.files.collectionPath))
                                                  : text);
            }
            break;
    }
    if (closeRequested_) {
        close();
    }
}

void COprex_AppDlg::openResults(const QString& path) {
    xoprex::ui::ResultsSources sources;
    sources.resultsPath = path;
    sources.sequencePath = qs(searched_.sequencePath);
    sources.collectionPath = qs(searched_.collections.front().path);
    sources.optionsPath = qs(searched_.optionsPath);
    sources.readInputsNow = !pasteFiles_.empty();
    if (searched_.regulon) {
        const xoprex::OutputNaming naming{searched_.outputFolder, searched_.sequenceTitle,
                                          searched_.collections.front().title};
        sources.regulonPath = qs(xoprex::regulonTableName(naming.reportPrefix()));
    }
    // Pasted inputs are removed after the search: reopened results have no
    // inputs to draw their pictures from.
    xoprex::ui::ResultsSources kept = sources;
    if (sources.readInputsNow) {
        kept.sequencePath.clear();
        kept.collectionPath.clear();
        kept.readInputsNow = false;
    }
    recent_.insert(recent_.begin(), kept);
    if (recent_.size() > kRecentResults) {
        recent_.pop_back();
    }
    showResultsWindow(sources);
}

void COprex_AppDlg::showResultsWindow(const xoprex::ui::ResultsSources& sources) {
    auto* results = new CResultDialog(sources, services_, this);
    results->setAttribute(Qt::WA_DeleteOnClose);
    results->setModal(false);
    resultsWindow_ = results;
    results->show();
    results->raise();
}

void COprex_AppDlg::reopenResults(std::size_t index) {
    if (index < recent_.size()) {
        showResultsWindow(recent_[index]);
    }
}

void COprex_AppDlg::fillResultsMenu() {
    resultsMenu_->clear();
    if (recent_.empty()) {
        resultsMenu_->addAction(QStringLiteral("No results yet in this session"))
            ->setEnabled(false);
        return;
    }
    for (std::size_t i = 0; i < recent_.size(); ++i) {
        const QString name = QFileInfo(recent_[i].resultsPath).fileName();
        QAction* action = resultsMenu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(name),
                                                  this, [this, i] { reopenResults(i); });
        action->setToolTip(recent_[i].resultsPath);
    }
}

bool COprex_AppDlg::mayClose() {
    if (!runner_->running()) {
        return true;
    }
    if (!closeRequested_ &&
        services_->confirm(this, QStringLiteral("XOprex"),
                           QStringLiteral("A search is running. Stop it and close XOprex?"))) {
        closeRequested_ = true;
        progressLabel_->setText(QStringLiteral("Stopping the search..."));
        runner_->cancel();
    }
    return false;
}

void COprex_AppDlg::closeEvent(QCloseEvent* event) {
    if (!mayClose()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void COprex_AppDlg::reject() {
    if (mayClose()) {
        QDialog::reject();
    }
}
