#include "report/html_report.h"

#include <algorithm>
#include <cmath>

#include "base/number_format.h"
#include "report/pictures.h"
#include "report/svg_writer.h"

namespace xoprex {
namespace {

constexpr double kPictureWidth = 1100;

const char* const kStyle = R"(<style>
body { font-family: "DejaVu Sans", Verdana, Arial, sans-serif; margin: 24px; color: #303030; max-width: 1160px; }
h1 { font-size: 24px; margin-bottom: 4px; }
h2 { font-size: 19px; border-bottom: 2px solid #c8d4e0; padding-bottom: 3px; margin-top: 32px; }
h3 { font-size: 15px; margin: 18px 0 6px; }
table { border-collapse: collapse; font-size: 13px; }
th, td { border: 1px solid #d6dde5; padding: 3px 8px; text-align: left; }
th { background: #eef3f8; }
table.sortable th { cursor: pointer; }
td.n { text-align: right; font-variant-numeric: tabular-nums; }
td.site { font-family: "DejaVu Sans Mono", monospace; }
.figures { background: #eef3f8; border: 1px solid #c8d4e0; padding: 8px 12px; font-size: 14px; }
.figures b { margin-left: 14px; }
.figures b:first-child { margin-left: 0; }
.note { color: #606060; font-size: 13px; }
code { font-size: 12px; word-break: break-all; }
svg { display: block; margin: 4px 0; }
</style>
)";

// Sorts a table on a click of a column's title, numbers as numbers; a
// second click reverses the order.
const char* const kScript = R"(<script>
document.querySelectorAll("table.sortable th").forEach(function (th, column) {
  th.addEventListener("click", function () {
    var body = th.closest("table").tBodies[0], rows = Array.from(body.rows), i = th.cellIndex;
    var up = th.dataset.order !== "up"; th.dataset.order = up ? "up" : "down";
    var key = function (r) { var t = r.cells[i].textContent, n = parseFloat(t); return isNaN(n) ? t : n; };
    rows.sort(function (a, b) { var x = key(a), y = key(b); return (x < y ? -1 : x > y ? 1 : 0) * (up ? 1 : -1); });
    rows.forEach(function (r) { body.appendChild(r); });
  });
});
</script>
)";

std::string escaped(std::string_view text) {
    std::string out;
    appendEscaped(out, text);
    return out;
}

std::string pText(double value) {
    return std::isnan(value) ? std::string("-") : formatGeneralC(value, 3);
}

std::string whole(double value) {
    return formatGeneralC(value, 12);
}

void cell(std::string& out, const std::string& text, const char* cls = nullptr) {
    out += cls != nullptr ? std::string("<td class=\"") + cls + "\">" : std::string("<td>");
    appendEscaped(out, text);
    out += "</td>";
}

void writeTable(std::string& out, const ReportTable& table) {
    out += "<table class=\"sortable\"><thead><tr>";
    for (const std::string& column : table.columns) {
        out += "<th>" + escaped(column) + "</th>";
    }
    out += "</tr></thead><tbody>\n";
    for (const auto& row : table.rows) {
        out += "<tr>";
        for (const std::string& field : row) {
            cell(out, field);
        }
        out += "</tr>\n";
    }
    out += "</tbody></table>\n";
}

void writeFigures(std::string& out, const ReportCollection& c) {
    out += "<p class=\"figures\"><b>Method</b> " + escaped(c.method) + " <b>Cut-off</b> " +
           formatFixed(c.cutOff, 3) + " <b>p-value</b> " + pText(c.cutOffPValue) +
           " <b>Windows tested</b> " + whole(c.windows) + " <b>Expected by chance</b> " +
           (std::isnan(c.expected) ? std::string("-") : formatGeneralC(c.expected, 3)) +
           " <b>Found</b> " + std::to_string(c.found);
    if (c.passed != c.found) {
        out += " (" + std::to_string(c.passed) + " passed the cut-off before the both-strand rule)";
    }
    out += " <b>Records</b> " + std::to_string(c.records) + " <b>with hits</b> " +
           std::to_string(c.recordsWithHits.size()) + "</p>\n";
}

void writeMap(std::string& out, const ReportCollection& c) {
    if (c.recordsWithHits.empty()) {
        out += "<p class=\"note\">No record has hits.</p>\n";
        return;
    }
    std::vector<MapRecord> records;
    const size_t shown = std::min(c.recordsWithHits.size(), kReportMapTracks);
    records.reserve(shown);
    for (size_t r = 0; r < shown; ++r) {
        const ReportRecord& record = c.recordsWithHits[r];
        MapRecord track{record.name, record.length, record.genes, {}};
        track.hits.reserve(record.hits.size());
        for (const ReportHit& hit : record.hits) {
            track.hits.push_back({hit.start, hit.end, hit.forward});
        }
        std::sort(track.hits.begin(), track.hits.end(),
                  [](const MapHit& a, const MapHit& b) { return a.start < b.start; });
        records.push_back(std::move(track));
    }
    std::vector<const MapRecord*> tracks;
    for (const MapRecord& record : records) {
        tracks.push_back(&record);
    }
    MapView view;
    view.width = kPictureWidth;
    view.height = static_cast<double>(shown) * MapGeometry::kTrackHeight + MapGeometry::kFooter;
    view.basesPerPixel = fittedBasesPerPixel(tracks, view.width);
    std::string caption = "+ strand above, - strand below";
    if (shown < c.recordsWithHits.size()) {
        caption = "the first " + std::to_string(shown) + " of " +
                  std::to_string(c.recordsWithHits.size()) + " records with hits;   " + caption;
    }
    appendSvg(out, genomeMapPicture(tracks, view, caption), false);
}

void writeTopHits(std::string& out, const ReportCollection& c) {
    if (c.topHits.empty()) {
        return;
    }
    const bool pValues = !std::isnan(c.topHits.front().pValue);
    out += "<h3>Top hits</h3>\n<p class=\"note\">The " + std::to_string(c.topHits.size()) +
           " best of " + std::to_string(c.found) + " hits by " + (pValues ? "p-value" : "score") +
           "; click a column's title to sort." +
           (pValues ? ""
                    : " Their p- and q-values are computed when the run writes TSV or GFF3 "
                      "results or cuts at a p-value (--format tsv, --pvalue).") +
           "</p>\n";
    out +=
        "<table class=\"sortable\"><thead><tr><th>rank</th><th>record</th><th>start</th>"
        "<th>end</th><th>strand</th><th>score</th><th>p-value</th><th>q-value</th>"
        "<th>site</th></tr></thead><tbody>\n";
    size_t rank = 0;
    for (const ReportHit& hit : c.topHits) {
        out += "<tr>";
        cell(out, std::to_string(++rank), "n");
        cell(out, hit.record);
        cell(out, std::to_string(hit.start), "n");
        cell(out, std::to_string(hit.end), "n");
        cell(out, hit.forward ? "+" : "-");
        cell(out, formatFixed(hit.score, 3), "n");
        cell(out, pText(hit.pValue), "n");
        cell(out, pText(hit.qValue), "n");
        cell(out, hit.site, "site");
        out += "</tr>\n";
    }
    out += "</tbody></table>\n";
}

void writeCollection(std::string& out, const ReportCollection& c) {
    out += "<section>\n<h2>" + escaped(c.title);
    if (c.motifId != c.title || !c.motifAltId.empty()) {
        out += " <span class=\"note\">(" + escaped(c.motifId);
        if (!c.motifAltId.empty()) {
            out += ", " + escaped(c.motifAltId);
        }
        out += ")</span>";
    }
    out += "</h2>\n";
    writeFigures(out, c);
    if (!c.outputs.empty()) {
        out += "<p class=\"note\">Results: ";
        for (size_t i = 0; i < c.outputs.size(); ++i) {
            out += (i > 0 ? ", " : "") + escaped(c.outputs[i]);
        }
        out += "</p>\n";
    }
    out += "<h3>Logo</h3>\n";
    appendSvg(
        out,
        logoPicture(
            logoColumns(c.model, false), logoColumns(c.model, true), c.title,
            std::max(480.0, std::min(kPictureWidth,
                                     160 + 40.0 * static_cast<double>(c.model.positions.size()))),
            420),
        false);
    out += "<h3>Scores</h3>\n";
    std::vector<double> hitScores;
    for (const ReportRecord& record : c.recordsWithHits) {
        for (const ReportHit& hit : record.hits) {
            hitScores.push_back(hit.score);
        }
    }
    if (c.selfScores.empty()) {
        out += "<p class=\"note\">A count matrix has no sites of its own to score.</p>\n";
    } else {
        out += "<p class=\"note\">Normal fit of the collection's " +
               std::to_string(c.selfScores.size()) + " self-scores: mean " +
               formatFixed(c.fitMean, 3) + ", standard deviation " +
               formatFixed(c.fitDeviation, 3) + ".</p>\n";
    }
    appendSvg(out, scorePicture(scorePlot(c.selfScores, hitScores, c.cutOff, c.method), 900, 380),
              false);
    out += "<h3>Genome map</h3>\n";
    writeMap(out, c);
    writeTopHits(out, c);
    out += "</section>\n";
}

}  // namespace

void writeHtmlReport(const RunReport& report, TextSink& sink) {
    std::string out;
    out +=
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>XOprex "
        "report: " +
        escaped(report.targetPath) + "</title>\n";
    out += kStyle;
    out += "</head>\n<body>\n<h1>XOprex report</h1>\n<p class=\"note\">" +
           escaped(report.targetPath) + " &middot; XOprex " + escaped(report.version) + "</p>\n";
    out += "<h2>Run</h2>\n<table>\n";
    if (!report.commandLine.empty()) {
        out += "<tr><th>Command line</th><td><code>" + escaped(report.commandLine) +
               "</code></td></tr>\n";
    }
    for (const auto& [label, value] : report.settings) {
        out += "<tr><th>" + escaped(label) + "</th><td>" + escaped(value) + "</td></tr>\n";
    }
    out += "</table>\n";
    sink.write(out);
    for (const ReportCollection& collection : report.collections) {
        out.clear();
        writeCollection(out, collection);
        sink.write(out);
    }
    out.clear();
    if (!report.operons.columns.empty()) {
        out += "<h2>Ranked operons</h2>\n";
        writeTable(out, report.operons);
    }
    out += kScript;
    out += "</body>\n</html>\n";
    sink.write(out);
}

}  // namespace xoprex
