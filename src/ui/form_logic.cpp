#include "ui/form_logic.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "motif/site_collection.h"
#include "options/option_table.h"
#include "options/options.h"
#include "report/reports.h"
#include "seqio/sequence.h"

namespace xoprex::ui {

bool isSequenceExtension(const std::string& ext) {
    return sequenceFormatOf(ext) != SequenceFormat::Unknown;
}

bool isCollectionExtension(const std::string& ext) {
    return collectionFormatOf(ext) != CollectionFormat::Unknown;
}

std::vector<std::string> thresholdChoices() {
    std::vector<std::string> choices{"0"};
    for (int hundredths = 10; hundredths <= 95; hundredths += 5) {
        std::string digits = std::to_string(hundredths);
        if (digits.back() == '0') {
            digits.pop_back();
        }
        choices.push_back("0." + digits);
    }
    choices.push_back("1.0");
    return choices;
}

std::string fileExtension(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    return path.substr(dot + 1);
}

namespace {

// Sequence half of the checks; returns the refusal message or "".
std::string planSequence(SearchPlan& plan) {
    SearchForm& form = plan.form;
    if (!form.sequencePath.empty()) {
        return isSequenceExtension(form.sequenceExt) ? "" : "Enter the correct Sequence File";
    }
    if (form.pastedSequence.empty()) {
        return "Enter the Sequence File";
    }
    if (form.pastedSequence.size() > kPasteLimit) {
        return kSequenceTooLong;
    }
    if (form.pastedSequence.find('>') != std::string::npos) {
        form.sequenceExt = "fas";
    }
    if (form.sequenceExt != "fas") {
        return "Enter the Correct Sequence";
    }
    form.sequencePath = form.outputFolder + "paste_sequence.fas";
    form.sequenceTitle = "paste_sequence";
    plan.sequencePaste = PasteFile{form.sequencePath, form.pastedSequence};
    return {};
}

std::string planCollection(SearchPlan& plan) {
    SearchForm& form = plan.form;
    if (!form.collectionPath.empty()) {
        return isCollectionExtension(form.collectionExt) ? "" : "Enter the correct Collection File";
    }
    if (form.pastedCollection.empty()) {
        return "Enter the Collection File";
    }
    if (form.pastedCollection.size() > kPasteLimit) {
        return kCollectionTooLong;
    }
    form.collectionExt = form.pastedCollection.find('>') != std::string::npos ? "fas" : "txt";
    form.collectionPath = form.outputFolder + "paste_collection." + form.collectionExt;
    form.collectionTitle = "paste_collection";
    plan.collectionPaste = PasteFile{form.collectionPath, form.pastedCollection};
    return {};
}

}  // namespace

SearchPlan planSearch(const SearchForm& form) {
    SearchPlan plan;
    plan.form = form;
    plan.error = planSequence(plan);
    if (plan.error.empty()) {
        plan.error = planCollection(plan);
    }
    if (plan.error.empty() && plan.form.optionsPath.empty()) {
        plan.form.optionsPath = withTrailingSeparator(form.startFolder) + "Options.txt";
        plan.stopQuietly = true;
    }
    if (!plan.error.empty() || plan.stopQuietly) {
        plan.sequencePaste.reset();
        plan.collectionPaste.reset();
    }
    return plan;
}

std::vector<std::string> splitPaths(const std::string& list) {
    std::vector<std::string> paths;
    std::size_t from = 0;
    while (from <= list.size()) {
        const std::size_t to = std::min(list.find(';', from), list.size());
        const std::size_t first = list.find_first_not_of(" \t", from);
        if (first < to) {
            const std::size_t last = list.find_last_not_of(" \t", to - 1);
            paths.push_back(list.substr(first, last - first + 1));
        }
        from = to + 1;
    }
    return paths;
}

std::string applyExtraForm(const ExtraForm& form, SearchInputs& inputs) {
    if (!form.pValue.empty()) {
        char* end = nullptr;
        const double p = std::strtod(form.pValue.c_str(), &end);
        if (end == form.pValue.c_str() || *end != '\0' || !(p > 0.0 && p <= 1.0)) {
            return "Enter a p-value cut-off above 0 and at most 1 (or leave it empty)";
        }
        inputs.pValue = p;
    }
    for (const std::string& path : splitPaths(form.siteCollections)) {
        inputs.collections.push_back({path, inputTitle(path, NameRule::Wide)});
    }
    for (const std::string& path : splitPaths(form.matrixFiles)) {
        inputs.collections.push_back({path, "", true});
    }
    inputs.rules.allGenBankRecords = form.allRecords;
    inputs.topology = form.topology == "linear" ? TopologyRule::Linear
                      : form.topology == "auto" ? TopologyRule::Auto
                                                : TopologyRule::Circular;
    inputs.skipAmbiguous = form.skipAmbiguous;
    inputs.reportPath = form.reportPath;
    if (form.regulon) {
        inputs.regulon = RegulonSettings{};
    }
    return {};
}

Options formRunOptions(const OptionTexts& texts, const std::string& methodLabel) {
    OptionTexts saved = texts;
    saved.methodNumber = formLabelToNumber(methodLabel, texts.methodNumber);
    Options options;
    for (int number = 1; number <= kOptionCount; ++number) {
        applyRunValue(options, number, formValue(saved, number));
    }
    return options;
}

}  // namespace xoprex::ui
