#include "report/collection_logs.h"

#include "base/number_format.h"
#include "base/output_file.h"
#include "report/result_schema.h"

namespace xoprex {

namespace {

std::string frequencyTable(const SiteCollection& collection) {
    const auto& positions = collection.model.positions;
    std::string text = ",";
    for (size_t l = 0; l < positions.size(); ++l) {
        text += std::to_string(l + 1);
        text += ',';
    }
    text += '\n';
    static const char* const kBaseRows[4] = {"A,", "C,", "G,", "T,"};
    for (int b = 0; b < 4; ++b) {
        text += kBaseRows[b];
        for (const PositionRecord& record : positions) {
            appendGeneral(text, record.frequencies[b]);
            text += ',';
        }
        text += '\n';
    }
    text += "Cons.,";
    for (const PositionRecord& record : positions) {
        text += record.consensus;
        text += ',';
    }
    text += '\n';
    text += "RI,";
    for (const PositionRecord& record : positions) {
        appendGeneral(text, record.rsequence);
        text += ',';
    }
    text += '\n';
    text += "RE,";
    for (const PositionRecord& record : positions) {
        appendGeneral(text, record.relativeEntropy);
        text += ',';
    }
    text += '\n';
    text += '\n';
    text += "Motif Rsequence (bits): ";
    appendGeneral(text, collection.model.totalRsequence);
    text += '\n';
    text += "Motif RE (bits): ";
    appendGeneral(text, collection.model.totalRelativeEntropy);
    text += '\n';
    return text;
}

std::string siteList(const SiteCollection& collection) {
    std::string text;
    for (size_t i = 0; i < collection.sites.size(); ++i) {
        text += '>';
        text += collection.baseName;
        text += " collection - Site #";
        text += std::to_string(i);
        text += '\n';
        text += collection.sites[i].site;
        text += '\n';
    }
    return text;
}

}  // namespace

void writeCollectionLogs(const SiteCollection& collection, const std::string& reportPrefix) {
    writeWholeFile(frequencyTableName(reportPrefix), frequencyTable(collection));
    writeWholeFile(siteCollectionLogName(reportPrefix), siteList(collection));
}

void writeMotifScoreLog(const SiteCollection& collection, const Options& options,
                        const std::string& reportPrefix) {
    std::string text = "Motif;Score\n";
    for (const SiteHit& site : collection.sites) {
        text += site.site;
        text += ',';
        appendGeneral(text, site.score);
        text += '\n';
    }
    text += "\nThreshold,";
    appendGeneral(text, options.threshold);
    text += "\n\nCut-off,";
    appendGeneral(text, options.cutOff);
    text += '\n';
    writeWholeFile(motifScoreLogName(reportPrefix), text);
}

}  // namespace xoprex
