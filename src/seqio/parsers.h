// The two readers over a whole input in memory (internal to seqio/), for
// inputs whose format is known only from their content. `name` names the
// input in messages.
#pragma once

#include <string>

#include "seqio/sequence.h"
#include "seqio/text_input.h"

namespace xoprex::seqio_detail {

void parseFasta(TextBuffer& buffer, const std::string& name, SequenceSet& set);
void parseGenBank(TextBuffer& buffer, const std::string& name, SequenceSet& set, bool allRecords);

}  // namespace xoprex::seqio_detail
