// The records of a target, one at a time. The reader holds the record being
// read and a piece of the input after it, never the whole input, so that a
// search needs memory for its largest record rather than for the file; a
// record that is most of what the reader holds takes the reader's storage as
// its sequence instead of being copied. Records come out exactly as
// readSequences gives them (the same readers parse them).
//
// Errors are those of readSequences (InputError): an unknown extension or an
// unreadable file when the reader is made, a malformed record when it is
// reached (records before it have been handed out).
#pragma once

#include <memory>
#include <string>

#include "seqio/sequence.h"

namespace xoprex {

class RecordReader {
  public:
    explicit RecordReader(const std::string& path, const InputRules& rules = {});
    ~RecordReader();
    RecordReader(const RecordReader&) = delete;
    RecordReader& operator=(const RecordReader&) = delete;

    // Replaces `record` by the next record; false at the end of the input.
    bool next(SequenceRecord& record);
    // After next(): whether another record follows (known without reading
    // it: the reader has found where it starts).
    bool more() const;

    // Once the first record of a GenBank file read alone (InputRules without
    // allGenBankRecords) is taken: the records the rest of the input holds
    // (its LOCUS lines). Reads the rest, a piece at a time; 0 for FASTA or
    // when every record is read.
    size_t recordsLeft();

    // The target's path up to its extension (SequenceSet::baseName).
    const std::string& baseName() const;

    // Bytes of the (decompressed) input read up to the end of the last
    // record handed out, and the input's likely size (0 when unknown): for
    // the progress of a search.
    size_t position() const;
    size_t sizeHint() const;

    struct State;

  private:
    std::unique_ptr<State> state_;
};

}  // namespace xoprex
