// Writes chosen rows of the Hits tab in the results' formats. TSV copies the
// rows as the run wrote them, under its comment and header lines; BED and
// GFF3 rebuild the hits of those rows and go through the core's writers
// (report/result_formats.h), which need the run's inputs (record lengths,
// the model's best score, the cut-off).
#pragma once

#include <string>
#include <vector>

#include "base/output_file.h"
#include "report/result_formats.h"
#include "ui/hit_table.h"
#include "ui/picture_data.h"

namespace xoprex::ui {

// `rows` index table.rows, in the order to write. `pictures` is needed for
// BED and GFF3 (InputError without it); `collectionTitle` names the sites
// in GFF3.
void writeHitRows(ResultFormat format, const HitTable& table, const std::vector<int>& rows,
                  const RunPictures* pictures, const std::string& collectionTitle, TextSink& out);

}  // namespace xoprex::ui
