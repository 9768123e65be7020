// Builds the controls of the main window and lays them out: the inputs on
// the left, the advanced options on the right, progress and operations
// underneath.
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "options/options.h"
#include "ui/app_icon.h"
#include "ui/main_dialog.h"

namespace {

QGroupBox* makeGroup(const QString& title, const char* name) {
    auto* group = new QGroupBox(title);
    group->setObjectName(QString::fromLatin1(name));
    QFont bold = group->font();
    bold.setBold(true);
    bold.setPixelSize(15);
    group->setFont(bold);
    return group;
}

template <typename Widget>
Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QPushButton* makeButton(const QString& text, const char* name) {
    auto* button = named(new QPushButton(text), name);
    button->setAutoDefault(false);
    return button;
}

QLineEdit* makeNumberEdit(const char* name) {
    auto* edit = named(new QLineEdit, name);
    edit->setMaximumWidth(90);
    return edit;
}

// A Yes/No style pair with its own exclusive group, so that pairs sharing a
// parent do not switch each other off.
QWidget* radioPair(QRadioButton* first, QRadioButton* second) {
    auto* holder = new QWidget;
    auto* row = new QHBoxLayout(holder);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(first);
    row->addWidget(second);
    row->addStretch(1);
    auto* group = new QButtonGroup(holder);
    group->addButton(first);
    group->addButton(second);
    return holder;
}

// Row of a form grid: label in the first column, the field spanning the rest.
void addRow(QGridLayout* grid, int row, const QString& label, QWidget* field, int span = 1) {
    grid->addWidget(new QLabel(label), row, 0);
    grid->addWidget(field, row, 1, 1, span);
}

}  // namespace

void COprex_AppDlg::buildControls() {
    setWindowTitle(QStringLiteral("XOprex"));
    setWindowIcon(xoprex::ui::appIcon());
    setSizeGripEnabled(true);

    auto* columns = new QHBoxLayout;
    columns->addWidget(buildInputColumn(), 6);
    auto* right = new QVBoxLayout;
    right->addWidget(buildOptionsColumn(), 1);
    right->addWidget(buildExtraGroup());
    columns->addLayout(right, 5);

    auto* main = new QVBoxLayout(this);
    main->addLayout(columns, 1);
    main->addWidget(buildProgressArea());
    main->addWidget(buildOperations());
    buildMenu();

    // Group captions are bold; everything inside them keeps the normal font.
    // Every attribute is set explicitly so that none is inherited from the
    // bold group font.
    QFont normal = QApplication::font();
    normal.setWeight(QFont::Normal);
    normal.setPointSizeF(QApplication::font().pointSizeF());
    for (QWidget* child : findChildren<QWidget*>()) {
        if (qobject_cast<QGroupBox*>(child) == nullptr) {
            child->setFont(normal);
        }
    }
    progressLog_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    bindOptionControls();
    resize(1140, 900);
}

void COprex_AppDlg::bindOptionControls() {
    const auto pair = [](int number, QRadioButton* on, QRadioButton* off) {
        return OptionControl{number, on, off, nullptr, nullptr};
    };
    const auto box = [](int number, QLineEdit* edit) {
        return OptionControl{number, nullptr, nullptr, edit, nullptr};
    };
    const auto list = [](int number, QComboBox* combo) {
        return OptionControl{number, nullptr, nullptr, nullptr, combo};
    };
    optionControls_ = {
        pair(1, logYes_, logNo_),
        pair(3, backgroundYes_, backgroundNo_),
        list(4, thresholdCombo_),
        box(5, promoterEdit_),
        box(6, inGeneEdit_),
        pair(7, sortScore_, sortPosition_),
        pair(8, redundantYes_, redundantNo_),
        pair(9, literalCutOff_, percentCutOff_),
        pair(10, integrativeYes_, integrativeNo_),
        box(11, upLeftEdit_),
        box(12, upRightEdit_),
        box(13, downLeftEdit_),
        box(14, downRightEdit_),
        box(15, relaxationEdit_),
        list(16, rescoringCombo_),
    };
}

QWidget* COprex_AppDlg::buildInputColumn() {
    sequenceGroup_ = makeGroup(QStringLiteral("Target Genome/Sequence"), "sequenceGroup");
    sequencePathEdit_ = named(new QLineEdit, "sequencePath");
    sequenceBrowse_ = makeButton(QStringLiteral("Browse..."), "sequenceBrowse");
    mergeButton_ = makeButton(QStringLiteral("Merge"), "mergeButton");
    sequencePaste_ = named(new QPlainTextEdit, "sequencePaste");
    auto* sequenceGrid = new QGridLayout(sequenceGroup_);
    addRow(sequenceGrid, 0, QStringLiteral("Choose File:"), sequencePathEdit_);
    sequenceGrid->addWidget(sequenceBrowse_, 0, 2);
    sequenceGrid->addWidget(mergeButton_, 0, 3);
    sequenceGrid->addWidget(new QLabel(QStringLiteral("Paste Sequence(s)(FASTA only):")), 1, 0, 1,
                            4);
    sequenceGrid->addWidget(sequencePaste_, 2, 0, 1, 4);

    collectionGroup_ = makeGroup(QStringLiteral("Site Collection"), "collectionGroup");
    collectionPathEdit_ = named(new QLineEdit, "collectionPath");
    collectionBrowse_ = makeButton(QStringLiteral("Browse..."), "collectionBrowse");
    collectionPaste_ = named(new QPlainTextEdit, "collectionPaste");
    auto* collectionGrid = new QGridLayout(collectionGroup_);
    addRow(collectionGrid, 0, QStringLiteral("Choose File:"), collectionPathEdit_);
    collectionGrid->addWidget(collectionBrowse_, 0, 2);
    collectionGrid->addWidget(new QLabel(QStringLiteral("Paste Sequence(s):")), 1, 0, 1, 3);
    collectionGrid->addWidget(collectionPaste_, 2, 0, 1, 3);

    outputGroup_ = makeGroup(QStringLiteral("Output  Files"), "outputGroup");
    optionsPathEdit_ = named(new QLineEdit, "optionsPath");
    optionsBrowse_ = makeButton(QStringLiteral("Browse..."), "optionsBrowse");
    factoryDefaults_ = makeButton(QStringLiteral("Set Factory Defaults"), "factoryDefaults");
    outputFolderEdit_ = named(new QLineEdit, "outputFolder");
    outputFolderEdit_->setReadOnly(true);
    outputBrowse_ = makeButton(QStringLiteral("Browse..."), "outputBrowse");
    auto* outputGrid = new QGridLayout(outputGroup_);
    addRow(outputGrid, 0, QStringLiteral("Options File:"), optionsPathEdit_);
    outputGrid->addWidget(optionsBrowse_, 0, 2);
    addRow(outputGrid, 1, QStringLiteral("Output FilePath:"), outputFolderEdit_);
    outputGrid->addWidget(outputBrowse_, 1, 2);
    outputGrid->addWidget(factoryDefaults_, 2, 1, 1, 2, Qt::AlignRight);

    auto* column = new QWidget;
    // Wide enough for a full path beside the Browse and Merge buttons.
    column->setMinimumWidth(520);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(sequenceGroup_, 3);
    layout->addWidget(collectionGroup_, 2);
    layout->addWidget(outputGroup_, 0);
    return column;
}

QWidget* COprex_AppDlg::buildOptionsColumn() {
    advancedGroup_ = makeGroup(QStringLiteral("Advanced Options"), "advancedGroup");
    logYes_ = named(new QRadioButton(QStringLiteral("Yes")), "logYes");
    logNo_ = named(new QRadioButton(QStringLiteral("No")), "logNo");
    auto* logRow = new QGridLayout;
    addRow(logRow, 0, QStringLiteral("Generate Log Files:"), radioPair(logYes_, logNo_));
    logRow->setColumnStretch(1, 1);

    auto* searchGroup = makeGroup(QStringLiteral("Search"), "searchGroup");
    methodCombo_ = named(new QComboBox, "methodCombo");
    methodCombo_->setPlaceholderText(QStringLiteral("???"));
    backgroundYes_ = named(new QRadioButton(QStringLiteral("Yes")), "backgroundYes");
    backgroundNo_ = named(new QRadioButton(QStringLiteral("No")), "backgroundNo");
    thresholdCombo_ = named(new QComboBox, "thresholdCombo");
    thresholdCombo_->setEditable(true);
    thresholdCombo_->setInsertPolicy(QComboBox::NoInsert);
    percentCutOff_ = named(new QRadioButton(QStringLiteral("% of Collection")), "percentCutOff");
    literalCutOff_ = named(new QRadioButton(QStringLiteral("Literal cut off")), "literalCutOff");
    auto* searchGrid = new QGridLayout(searchGroup);
    addRow(searchGrid, 0, QStringLiteral("Search Method:"), methodCombo_);
    addRow(searchGrid, 1, QStringLiteral("Compute Background Entropy:"),
           radioPair(backgroundYes_, backgroundNo_));
    addRow(searchGrid, 2, QStringLiteral("Threshold:"), thresholdCombo_);
    searchGrid->addWidget(radioPair(percentCutOff_, literalCutOff_), 3, 1);
    guidanceLabel_ = named(new QLabel, "thresholdGuidance");
    guidanceLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    searchGrid->addWidget(guidanceLabel_, 4, 0, 1, 2);
    searchGrid->setColumnStretch(1, 1);

    auto* regionGroup = makeGroup(QStringLiteral("Operator Region Settings"), "regionGroup");
    promoterEdit_ = makeNumberEdit("promoterDistance");
    inGeneEdit_ = makeNumberEdit("inGeneDistance");
    auto* regionGrid = new QGridLayout(regionGroup);
    addRow(regionGrid, 0, QStringLiteral("Distance to Promoter:"), promoterEdit_);
    addRow(regionGrid, 1, QStringLiteral("Distance in-gene:"), inGeneEdit_);
    regionGrid->setRowStretch(2, 1);

    auto* sortGroup = makeGroup(QStringLiteral("Sort Options"), "sortGroup");
    sortScore_ = named(new QRadioButton(QStringLiteral("Score")), "sortScore");
    sortPosition_ = named(new QRadioButton(QStringLiteral("Position")), "sortPosition");
    redundantYes_ = named(new QRadioButton(QStringLiteral("Yes")), "redundantYes");
    redundantNo_ = named(new QRadioButton(QStringLiteral("No")), "redundantNo");
    auto* sortGrid = new QGridLayout(sortGroup);
    addRow(sortGrid, 0, QStringLiteral("Sort Results By:"), radioPair(sortScore_, sortPosition_));
    addRow(sortGrid, 1, QStringLiteral("Remove redundant matches:"),
           radioPair(redundantYes_, redundantNo_));
    sortGrid->setRowStretch(2, 1);

    auto* integrativeGroup =
        makeGroup(QStringLiteral("Additional advanced options"), "integrativeGroup");
    integrativeYes_ = named(new QRadioButton(QStringLiteral("Yes")), "integrativeYes");
    integrativeNo_ = named(new QRadioButton(QStringLiteral("No")), "integrativeNo");
    upLeftEdit_ = makeNumberEdit("upLeftDistance");
    upRightEdit_ = makeNumberEdit("upRightDistance");
    downLeftEdit_ = makeNumberEdit("downLeftDistance");
    downRightEdit_ = makeNumberEdit("downRightDistance");
    relaxationEdit_ = makeNumberEdit("relaxation");
    rescoringCombo_ = named(new QComboBox, "rescoringCombo");
    rescoringCombo_->setEditable(true);
    rescoringCombo_->setInsertPolicy(QComboBox::NoInsert);
    rescoringCombo_->setMaximumWidth(90);
    auto* integrativeGrid = new QGridLayout(integrativeGroup);
    addRow(integrativeGrid, 0, QStringLiteral("Use Integrative factor:"),
           radioPair(integrativeYes_, integrativeNo_), 3);
    addRow(integrativeGrid, 1, QStringLiteral("UpLeftDistance:"), upLeftEdit_);
    integrativeGrid->addWidget(new QLabel(QStringLiteral("UpRightDistance:")), 1, 2);
    integrativeGrid->addWidget(upRightEdit_, 1, 3);
    addRow(integrativeGrid, 2, QStringLiteral("DwLeftDistance:"), downLeftEdit_);
    integrativeGrid->addWidget(new QLabel(QStringLiteral("DwRightDistance:")), 2, 2);
    integrativeGrid->addWidget(downRightEdit_, 2, 3);
    addRow(integrativeGrid, 3, QStringLiteral("Relaxation constant:"), relaxationEdit_);
    integrativeGrid->addWidget(new QLabel(QStringLiteral("Rescoring method:")), 3, 2);
    integrativeGrid->addWidget(rescoringCombo_, 3, 3);
    integrativeGrid->setColumnStretch(1, 1);
    integrativeGrid->setColumnStretch(3, 1);

    auto* regionAndSort = new QHBoxLayout;
    regionAndSort->addWidget(regionGroup, 1);
    regionAndSort->addWidget(sortGroup, 1);

    auto* layout = new QVBoxLayout(advancedGroup_);
    layout->addLayout(logRow);
    layout->addWidget(searchGroup);
    layout->addLayout(regionAndSort);
    layout->addWidget(integrativeGroup);
    layout->addStretch(1);

    for (int method = 1; method <= xoprex::kMethodCount; ++method) {
        methodCombo_->addItem(QString::fromLatin1(xoprex::scoringMethods()[method - 1].formLabel));
    }
    for (const std::string& choice : xoprex::ui::thresholdChoices()) {
        thresholdCombo_->addItem(QString::fromStdString(choice));
    }
    rescoringCombo_->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    return advancedGroup_;
}

// The command line's settings beyond the options file; they map to the same
// search settings as its flags (form_logic.h: applyExtraForm).
QWidget* COprex_AppDlg::buildExtraGroup() {
    extraGroup_ = makeGroup(QStringLiteral("Extra"), "extraGroup");
    pValueEdit_ = makeNumberEdit("pValueCutOff");
    pValueEdit_->setPlaceholderText(QStringLiteral("none"));
    topologyCombo_ = named(new QComboBox, "topologyCombo");
    topologyCombo_->addItems(
        {QStringLiteral("circular"), QStringLiteral("linear"), QStringLiteral("auto")});
    matrixFilesEdit_ = named(new QLineEdit, "matrixFiles");
    matrixFilesEdit_->setPlaceholderText(QStringLiteral("JASPAR, MEME or TRANSFAC files; ..."));
    matrixBrowse_ = makeButton(QStringLiteral("Add..."), "matrixBrowse");
    moreCollectionsEdit_ = named(new QLineEdit, "moreCollections");
    moreCollectionsEdit_->setPlaceholderText(QStringLiteral("site collection files; ..."));
    moreCollectionsBrowse_ = makeButton(QStringLiteral("Add..."), "moreCollectionsBrowse");
    allRecordsCheck_ = named(new QCheckBox(QStringLiteral("Every GenBank record")), "allRecords");
    skipAmbiguousCheck_ =
        named(new QCheckBox(QStringLiteral("Skip windows with letters other than ACGT")),
              "skipAmbiguous");
    regulonCheck_ = named(new QCheckBox(QStringLiteral("Regulon")), "regulon");
    reportPathEdit_ = named(new QLineEdit, "reportPath");
    reportPathEdit_->setPlaceholderText(QStringLiteral("none"));
    reportBrowse_ = makeButton(QStringLiteral("Browse..."), "reportBrowse");

    auto* grid = new QGridLayout(extraGroup_);
    grid->addWidget(new QLabel(QStringLiteral("p-value cut-off:")), 0, 0);
    auto* firstRow = new QHBoxLayout;
    firstRow->addWidget(pValueEdit_);
    firstRow->addSpacing(16);
    firstRow->addWidget(new QLabel(QStringLiteral("Topology:")));
    firstRow->addWidget(topologyCombo_);
    firstRow->addStretch(1);
    grid->addLayout(firstRow, 0, 1, 1, 2);
    addRow(grid, 1, QStringLiteral("Count matrices:"), matrixFilesEdit_);
    grid->addWidget(matrixBrowse_, 1, 2);
    addRow(grid, 2, QStringLiteral("More collections:"), moreCollectionsEdit_);
    grid->addWidget(moreCollectionsBrowse_, 2, 2);
    auto* checks = new QHBoxLayout;
    checks->addWidget(allRecordsCheck_);
    checks->addWidget(skipAmbiguousCheck_);
    checks->addWidget(regulonCheck_);
    checks->addStretch(1);
    grid->addLayout(checks, 3, 0, 1, 3);
    addRow(grid, 4, QStringLiteral("HTML report:"), reportPathEdit_);
    grid->addWidget(reportBrowse_, 4, 2);
    grid->setColumnStretch(1, 1);
    return extraGroup_;
}

QWidget* COprex_AppDlg::buildProgressArea() {
    auto* group = makeGroup(QStringLiteral("Progress"), "progressGroup");
    progressLog_ = named(new QPlainTextEdit, "progressLog");
    progressLog_->setReadOnly(true);
    progressLog_->setMaximumBlockCount(5000);
    progressLog_->setFixedHeight(96);
    progressBar_ = named(new QProgressBar, "progressBar");
    progressBar_->setRange(0, 1000);
    progressBar_->setValue(0);
    progressBar_->setFormat(QStringLiteral("%p%"));
    progressLabel_ = named(new QLabel(QStringLiteral("Ready.")), "progressLabel");
    auto* status = new QHBoxLayout;
    status->addWidget(progressLabel_, 1);
    status->addWidget(progressBar_, 2);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(progressLog_);
    layout->addLayout(status);
    return group;
}

QWidget* COprex_AppDlg::buildOperations() {
    auto* group = makeGroup(QStringLiteral("Operations"), "operationsGroup");
    aboutButton_ = makeButton(QStringLiteral("About"), "aboutButton");
    helpButton_ = makeButton(QStringLiteral("Help"), "helpButton");
    resetButton_ = makeButton(QStringLiteral("Reset Controls"), "resetButton");
    saveButton_ = makeButton(QStringLiteral("Save Options"), "saveButton");
    searchButton_ = makeButton(QStringLiteral("Search"), "searchButton");
    exitButton_ = makeButton(QStringLiteral("Exit"), "exitButton");
    searchButton_->setMinimumWidth(
        searchButton_->fontMetrics().horizontalAdvance(QStringLiteral("Searching...")) + 32);
    auto* row = new QHBoxLayout(group);
    row->addWidget(aboutButton_);
    row->addWidget(helpButton_);
    row->addWidget(resetButton_);
    row->addStretch(1);
    row->addWidget(saveButton_);
    row->addWidget(searchButton_);
    row->addWidget(exitButton_);
    return group;
}

void COprex_AppDlg::buildMenu() {
    auto* bar = new QMenuBar(this);
    resultsMenu_ = bar->addMenu(QStringLiteral("&Results"));
    resultsMenu_->setObjectName(QStringLiteral("resultsMenu"));
    connect(resultsMenu_, &QMenu::aboutToShow, this, &COprex_AppDlg::fillResultsMenu);
    fillResultsMenu();
    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("User &Manual"), this, &COprex_AppDlg::showHelp);
    help->addSeparator();
    help->addAction(QStringLiteral("&About Oprex_App..."), this, &COprex_AppDlg::showAbout);
    layout()->setMenuBar(bar);
}

void COprex_AppDlg::setTooltips() {
    const std::pair<QWidget*, const char*> tips[] = {
        {sequencePathEdit_, "File containing the sequence or sequences the user wants to scan"},
        {sequenceBrowse_, "Browse sequence file"},
        {collectionPathEdit_, "File containing the collection of known binding sites"},
        {collectionBrowse_, "Browse Collection file"},
        {optionsPathEdit_, "Text file containing all the advanced options"},
        {optionsBrowse_, "Load from Option File"},
        {factoryDefaults_, "Set Factory Default Options"},
        {logYes_, "The program should log results during operation"},
        {logNo_, "The program will not log results during operation"},
        {methodCombo_, "Select different Search methods"},
        {backgroundYes_, "Derive Background entropy from Genome composition"},
        {backgroundNo_, "Use a fixed 2 bits Background entropy"},
        {guidanceLabel_,
         "What the threshold gives for the chosen collection: the cut-off score, its p-value "
         "(how often a window of random sequence scores at least as well) and the windows of "
         "random sequence expected to pass per megabase of both strands"},
        {thresholdCombo_,
         "Set threshold either as percentage of sites or literal cut-off(type in for cut-off "
         "values larger than 1)"},
        {promoterEdit_, "Maximum distance a site can be upstream to tag it as operator"},
        {inGeneEdit_, "Maximum distance a site can be downstream to tag it as operator"},
        {sortScore_, "Sort results by Ranking"},
        {sortPosition_, "Sort results by genomic position"},
        {redundantYes_, "Remove Redundant sites matches"},
        {redundantNo_, "Do not Remove Redundant sites matches"},
        {literalCutOff_, "Use set threshold value as a literal cut-off"},
        {percentCutOff_, "Derive cut-off value as percentage of collection sites"},
        {integrativeYes_, "Operates in integrative mode"},
        {integrativeNo_, "Operates in normal mode"},
        {upLeftEdit_, "Further distance of current site to compute upstream mean"},
        {upRightEdit_, "Closer distance of current site to compute upstream mean"},
        {downLeftEdit_, "Closer distance of current site to compute downstream mean"},
        {downRightEdit_, "Further distance of current site to compute downstream mean"},
        {relaxationEdit_,
         "controls the degree to which the normal threshold is relaxed in integrative mode"},
        {rescoringCombo_, "Method to rescore candidate sites"},
        {saveButton_, "Save Options File"},
        {searchButton_, "Detect binding sites in provided sequence"},
        {exitButton_, "Exit Application"},
        {helpButton_, "Help User Manual"},
        {outputFolderEdit_, "Output File Path"},
        {outputBrowse_, "Select Output File Path"},
        {mergeButton_, "Merge multi gbk file in single gbk"},
        {pValueEdit_,
         "Cut at this p-value instead of the threshold (as --pvalue): keep the windows at most "
         "this likely in random sequence"},
        {topologyCombo_,
         "circular: windows run across each record's end; linear: only within each record; "
         "auto: as each GenBank record's LOCUS line says (as --topology)"},
        {matrixFilesEdit_,
         "Count-matrix files searched too, each matrix a collection titled by its ID (as "
         "--motifs); they need a literal cut-off or a p-value"},
        {moreCollectionsEdit_,
         "More site collection files searched in the same pass (as --collection)"},
        {allRecordsCheck_,
         "Search every record of a GenBank file, not only the first (as --all-records)"},
        {skipAmbiguousCheck_,
         "Leave out windows holding letters other than A, C, G, T (as --skip-ambiguous)"},
        {reportPathEdit_,
         "Also write a report of the run as one HTML page with its pictures (as --report)"},
        {regulonCheck_,
         "Also rank the genes' operons by the posterior probability that the factor regulates "
         "them, shown in the results' Regulon tab (as xoprex regulon; GenBank targets)"},
    };
    for (const auto& [widget, tip] : tips) {
        widget->setToolTip(QString::fromLatin1(tip));
    }
}
