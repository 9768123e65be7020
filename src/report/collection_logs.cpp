#include "report/collection_logs.h"

#include <fstream>

#include "base/number_format.h"

namespace xoprex {

void writeCollectionLogs(const SiteCollection& collection, const std::string& reportPrefix) {
    const auto& positions = collection.model.positions;
    {
        std::ofstream out(reportPrefix + "_freq_table.csv", std::ios::out | std::ios::trunc);
        if (out.is_open()) {
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
            out << text;
        }
    }
    {
        std::ofstream out(reportPrefix + "_site_collection_log.txt",
                          std::ios::out | std::ios::trunc);
        if (out.is_open()) {
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
            out << text;
        }
    }
}

void writeMotifScoreLog(const SiteCollection& collection, const Options& options,
                        const std::string& reportPrefix) {
    std::ofstream log(reportPrefix + "__motif_score_log.csv", std::ios::out | std::ios::trunc);
    if (!log.is_open()) {
        return;
    }
    log << "Motif;Score\n";
    std::string line;
    for (const SiteHit& site : collection.sites) {
        line = site.site;
        line += ',';
        appendGeneral(line, site.score);
        line += '\n';
        log << line;
    }
    log << '\n' << "Threshold," << formatGeneral(options.threshold) << '\n';
    log << '\n' << "Cut-off," << formatGeneral(options.cutOff) << '\n';
}

}  // namespace xoprex
