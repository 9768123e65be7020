// Choosing the reader by the file's extension.
#include "seqio/sequence.h"

#include "run/run_log.h"

namespace xoprex {

std::string fileExtension(const std::string& path, std::string* baseName) {
    // The search for the last '.' starts no further right than index 1024.
    const size_t dot = path.rfind('.', 1024);
    if (dot == std::string::npos) {
        if (baseName != nullptr) {
            *baseName = path;
        }
        return path.substr(0, 3);
    }
    if (baseName != nullptr) {
        *baseName = path.substr(0, dot);
    }
    return path.substr(dot + 1, 3);
}

SequenceSet readSequences(const std::string& path) {
    SequenceSet set;
    const std::string extension = fileExtension(path, &set.baseName);
    if (extension == "FAS" || extension == "FNA" || extension == "fas" || extension == "fna") {
        readFastaFile(path, set);
    } else if (extension == "GBK" || extension == "GB" || extension == "gbk" || extension == "gb") {
        readGenBankFile(path, set);
    } else {
        reportFatalLines({"Incorrect sequence file extension.", "Type Oprex /? for help."});
    }
    set.current = 0;
    return set;
}

}  // namespace xoprex
