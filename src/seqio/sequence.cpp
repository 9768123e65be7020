// Choosing the reader by the file's extension, or by the content of
// standard input.
#include "seqio/sequence.h"

#include <string_view>

#include "base/errors.h"
#include "base/file_names.h"
#include "seqio/parsers.h"
#include "seqio/record_reader.h"
#include "seqio/text_input.h"

namespace xoprex {
namespace {

SequenceFormat wideSequenceFormatOf(const std::string& extension) {
    for (const char* fasta : {"fa", "fasta", "fna", "fas", "ffn"}) {
        if (extension == fasta) {
            return SequenceFormat::Fasta;
        }
    }
    for (const char* genBank : {"gbk", "gb", "gbff", "genbank"}) {
        if (extension == genBank) {
            return SequenceFormat::GenBank;
        }
    }
    return SequenceFormat::Unknown;
}

}  // namespace

SequenceFormat sequenceFormatOf(const std::string& extension) {
    if (extension == "FAS" || extension == "FNA" || extension == "fas" || extension == "fna") {
        return SequenceFormat::Fasta;
    }
    if (extension == "GBK" || extension == "GB" || extension == "gbk" || extension == "gb") {
        return SequenceFormat::GenBank;
    }
    return SequenceFormat::Unknown;
}

SequenceFormat sequenceFormatOf(const std::string& extension, NameRule rule) {
    return rule == NameRule::Strict ? sequenceFormatOf(extension) : wideSequenceFormatOf(extension);
}

SequenceSet readSequences(const std::string& path) {
    return readSequences(path, InputRules{});
}

SequenceSet readSequences(const std::string& path, const InputRules& rules) {
    RecordReader reader(path, rules);
    SequenceSet set;
    set.baseName = reader.baseName();
    SequenceRecord record;
    while (reader.next(record)) {
        set.records.push_back(std::move(record));
        record = SequenceRecord();
    }
    set.current = 0;
    return set;
}

}  // namespace xoprex
