// Choosing the reader by the file's extension.
#include "seqio/sequence.h"

#include "base/errors.h"
#include "base/file_names.h"

namespace xoprex {

SequenceFormat sequenceFormatOf(const std::string& extension) {
    if (extension == "FAS" || extension == "FNA" || extension == "fas" || extension == "fna") {
        return SequenceFormat::Fasta;
    }
    if (extension == "GBK" || extension == "GB" || extension == "gbk" || extension == "gb") {
        return SequenceFormat::GenBank;
    }
    return SequenceFormat::Unknown;
}

SequenceSet readSequences(const std::string& path) {
    SequenceSet set;
    switch (sequenceFormatOf(fileExtension(path, &set.baseName))) {
        case SequenceFormat::Fasta:
            readFastaFile(path, set);
            break;
        case SequenceFormat::GenBank:
            readGenBankFile(path, set);
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
