// The run's HTML report (report/html_report.h), filled from the searches of
// a run once their results are written: the settings, and per collection its
// model, self-scores, cut-off and what it means, the hits of the records
// with hits (with their genes) and the top hits by p-value; with a regulon,
// the operons of every collection ranked by posterior. writeRunReport
// writes SearchInputs::reportPath whole or not at all (OutputError when it
// cannot); it does nothing without a report path.
#pragma once

#include "pipeline/collection_search.h"
#include "report/html_report.h"
#include "report/regulon_table.h"

namespace xoprex {

// Keeps what the report shows of a record the search passed: the record
// and its genes when it has hits, with the hits in the order of the rows.
void keepForReport(CollectionSearch& search, const RecordInfo& info, const SequenceRecord& record,
                   const RecordHits& found);

// The operons shown at most: those of highest posterior, over every
// collection.
inline constexpr size_t kReportTopOperons = 200;

RunReport runReportOf(const SearchInputs& inputs, const Searches& searches,
                      const std::vector<const RegulonTable*>& regulon = {});
void writeRunReport(const SearchInputs& inputs, const Searches& searches,
                    const std::vector<const RegulonTable*>& regulon = {});

}  // namespace xoprex
