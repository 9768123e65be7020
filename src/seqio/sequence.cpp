// Choosing the reader by the file's extension, or by the content of
// standard input.
#include "seqio/sequence.h"

#include <string_view>

#include "base/errors.h"
#include "base/file_names.h"
#include "seqio/parsers.h"
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

// Standard input: GenBank when the first line starts with "LOCUS", FASTA
// when the first character other than white space is '>'.
void readStandardInput(SequenceSet& set, bool allGenBankRecords) {
    seqio_detail::TextBuffer buffer;
    seqio_detail::readWholeFile("-", buffer, NameRule::Wide);
    const char* p = buffer.data;
    const char* const end = buffer.data + buffer.size;
    if (buffer.size >= 5 && std::string_view(p, 5) == "LOCUS") {
        seqio_detail::parseGenBank(buffer, kStandardInputName, set, allGenBankRecords);
        return;
    }
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) {
        ++p;
    }
    if (p < end && *p == '>') {
        seqio_detail::parseFasta(buffer, kStandardInputName, set);
        return;
    }
    throw InputError(InputProblem::Format, kStandardInputName,
                     "Incorrect sequence input: standard input is neither FASTA (first character "
                     "'>') nor GenBank (first line LOCUS)");
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
    SequenceSet set;
    const bool wide = rules.names == NameRule::Wide;
    if (wide && isStandardInput(path)) {
        wideExtension(path, &set.baseName);
        readStandardInput(set, rules.allGenBankRecords);
        set.current = 0;
        return set;
    }
    const std::string extension =
        wide ? wideExtension(path, &set.baseName) : fileExtension(path, &set.baseName);
    switch (sequenceFormatOf(extension, rules.names)) {
        case SequenceFormat::Fasta:
            readFastaFile(path, set);
            break;
        case SequenceFormat::GenBank:
            readGenBankFile(path, set, rules.allGenBankRecords);
            break;
        case SequenceFormat::Unknown:
            throw InputError(InputProblem::Extension, path,
                             std::vector<std::string>{"Incorrect sequence file extension.",
                                                      "Type Oprex /? for help."});
    }
    set.current = 0;
    return set;
}

}  // namespace xoprex
