// The collection's report files, written when option 1 is on: the frequency
// table and the site list of the model, and the motif score log of the
// self-scoring. Each is written whole or not at all; a file that cannot be
// written raises OutputError.
#pragma once

#include <string>

#include "motif/site_collection.h"
#include "options/options.h"

namespace xoprex {

// reportPrefix + "_freq_table.csv" and + "_site_collection_log.txt".
void writeCollectionLogs(const SiteCollection& collection, const std::string& reportPrefix);

// reportPrefix + "__motif_score_log.csv": every site with its self-score (the
// sites' scores as the self-scoring left them), then the threshold and the
// cut-off of `options`.
void writeMotifScoreLog(const SiteCollection& collection, const Options& options,
                        const std::string& reportPrefix);

}  // namespace xoprex
