#include "merge/merge.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/errors.h"
#include "base/file_names.h"
#include "base/output_file.h"
#include "base/text_lines.h"
#include "merge/genbank_text.h"

// The merge reads the input twice. The first pass gathers the sequence letters
// of every record and the offset at which each record starts; the second
// writes the header and the joined feature table, which needs the joined
// length (LOCUS line, source feature) before any of it can be written. Both
// passes stream the file line by line; only the sequence is held.

namespace xoprex {
namespace {

constexpr size_t kSequenceReserve = 15'000'000;
constexpr size_t kBlockSize = 1 << 20;
constexpr size_t kLettersPerLine = 60;
constexpr size_t kLettersPerGroup = 10;
constexpr size_t kPositionWidth = 16;
constexpr size_t kKeyWidth = 16;
constexpr size_t kKeyColumns = 21;  // a feature key starts within these columns
constexpr std::string_view kKeyIndent = "     ";

enum class Section { header, features, skipped, origin, recordEnd };

// Follows the sections and records of the input line by line. Sections are
// recognised only at the start of a line. A LOCUS line met while a record is
// still open (its "//" missing) ends that record first.
class RecordTracker {
  public:
    Section classify(std::string_view line) {
        if (line == "//") {
            section_ = Section::recordEnd;
            if (recordOpen_) {
                recordOpen_ = false;
                ++recordIndex_;
            }
        } else if (startsWithWord(line, "LOCUS")) {
            if (recordOpen_) {
                ++recordIndex_;
            }
            recordOpen_ = true;
            sawLocus_ = true;
            section_ = Section::header;
        } else if (startsWithWord(line, "FEATURES")) {
            section_ = Section::features;
        } else if (startsWithWord(line, "ORIGIN")) {
            section_ = Section::origin;
        } else if (section_ == Section::features && !line.empty() && line[0] != ' ') {
            // A record section other than the feature table (BASE COUNT,
            // CONTIG): it describes one record only and would split the
            // joined feature table, so it is left out.
            section_ = Section::skipped;
        }
        return section_;
    }

    size_t recordIndex() const { return recordIndex_; }
    bool firstRecord() const { return recordIndex_ == 0; }
    bool sawLocus() const { return sawLocus_; }

  private:
    Section section_ = Section::header;
    size_t recordIndex_ = 0;
    bool recordOpen_ = false;
    bool sawLocus_ = false;
};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Appends every word of a sequence line after the first (the position number).
void appendSequenceWords(std::string& sequence, std::string_view line) {
    size_t i = 0;
    bool first = true;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i])) {
            ++i;
        }
        size_t end = i;
        while (end < line.size() && !isBlank(line[end])) {
            ++end;
        }
        if (end > i && !first) {
            sequence.append(line.data() + i, end - i);
        }
        first = first && end == i;
        i = end;
    }
}

struct SequenceScan {
    std::string sequence;
    std::vector<int64_t> recordOffsets;  // letters before each record
    bool sawLocus = false;
};

SequenceScan scanSequence(std::istream& in) {
    SequenceScan scan;
    scan.sequence.reserve(kSequenceReserve);
    scan.recordOffsets.push_back(0);
    RecordTracker tracker;
    std::string line;
    while (readTextLine(in, line)) {
        const Section section = tracker.classify(line);
        if (tracker.recordIndex() >= scan.recordOffsets.size()) {
            scan.recordOffsets.push_back(static_cast<int64_t>(scan.sequence.size()));
        }
        // The ORIGIN line itself carries no letters.
        if (section == Section::origin && !startsWithWord(line, "ORIGIN")) {
            appendSequenceWords(scan.sequence, line);
        }
    }
    scan.sawLocus = tracker.sawLocus();
    return scan;
}

// The merged file's text, handed to the file in large blocks.
class MergedText {
  public:
    explicit MergedText(OutputFile& file) : file_(file) { text_.reserve(kBlockSize + 4096); }

    std::string& text() { return text_; }
    void lineDone() {
        if (text_.size() >= kBlockSize) {
            flush();
        }
    }
    void writeLine(std::string_view line) {
        text_ += line;
        text_ += '\n';
        lineDone();
    }
    void flush() {
        file_.write(text_);
        text_.clear();
    }

  private:
    OutputFile& file_;
    std::string text_;
};

// Writes the header lines and the joined feature table (the second pass).
class FeatureTableWriter {
  public:
    FeatureTableWriter(MergedText& out, const SequenceScan& scan)
        : out_(out), scan_(scan), length_(scan.sequence.size()) {}

    void line(std::string_view text) {
        const Section section = tracker_.classify(text);
        const size_t record = tracker_.recordIndex();
        offset_ = scan_.recordOffsets[std::min(record, scan_.recordOffsets.size() - 1)];
        if (section == Section::header) {
            headerLine(text);
        } else if (section == Section::features) {
            featureLine(text);
        }
    }

  private:
    enum class Feature { kept, joinedSource, dropped };

    void headerLine(std::string_view text) {
        if (!tracker_.firstRecord()) {
            return;
        }
        if (!locusWritten_ && startsWithWord(text, "LOCUS")) {
            locusWritten_ = true;
            out_.writeLine(withLocusLength(text, length_));
            return;
        }
        out_.writeLine(text);
    }

    void featureLine(std::string_view text) {
        if (startsWithWord(text, "FEATURES")) {
            if (tracker_.firstRecord()) {
                out_.writeLine(text);
            }
            feature_ = Feature::kept;
            inLocation_ = false;
            return;
        }
        const size_t keyStart = text.find_first_not_of(' ');
        if (keyStart != std::string_view::npos && keyStart < kKeyColumns) {
            keyLine(text, keyStart);
            return;
        }
        if (keyStart != std::string_view::npos && text[keyStart] == '/') {
            inLocation_ = false;  // the first qualifier ends the location
        }
        if (feature_ == Feature::dropped) {
            return;
        }
        if (!inLocation_) {
            out_.writeLine(text);
        } else if (feature_ == Feature::kept) {
            appendShiftedLocation(out_.text(), text, offset_);
            out_.text() += '\n';
            out_.lineDone();
        }
        // A continued location of the joined source feature is replaced whole.
    }

    void keyLine(std::string_view text, size_t keyStart) {
        const size_t keyEnd = std::min(text.find(' ', keyStart), text.size());
        const std::string_view key = text.substr(keyStart, keyEnd - keyStart);
        const size_t locationStart = std::min(text.find_first_not_of(' ', keyEnd), text.size());
        const std::string_view location = text.substr(locationStart);
        inLocation_ = true;
        feature_ = Feature::kept;
        if (key == "source") {
            if (!tracker_.firstRecord()) {
                feature_ = Feature::dropped;
                return;
            }
            if (!sourceWritten_) {
                sourceWritten_ = true;
                feature_ = Feature::joinedSource;
                writeJoinedSource();
                return;
            }
        }
        if (location.empty()) {
            out_.writeLine(text);
            return;
        }
        std::string& out = out_.text();
        out += kKeyIndent;
        out += key;
        out.append(key.size() < kKeyWidth ? kKeyWidth - key.size() : 1, ' ');
        appendShiftedLocation(out, location, offset_);
        out += '\n';
        out_.lineDone();
    }

    void writeJoinedSource() {
        std::string& out = out_.text();
        out += kKeyIndent;
        out += "source          1..";
        char digits[24];
        out.append(digits, std::to_chars(digits, digits + sizeof digits, length_).ptr);
        out += '\n';
        out_.lineDone();
    }

    MergedText& out_;
    const SequenceScan& scan_;
    const uint64_t length_;
    RecordTracker tracker_;
    int64_t offset_ = 0;
    Feature feature_ = Feature::kept;
    bool inLocation_ = false;
    bool locusWritten_ = false;
    bool sourceWritten_ = false;
};

// "ORIGIN", the letters in lines of 60 (position right-aligned in 16
// characters, groups of ten each after one blank), then "//".
void writeOrigin(MergedText& out, std::string_view sequence) {
    out.writeLine("ORIGIN      ");
    std::string& text = out.text();
    for (size_t start = 0; start < sequence.size(); start += kLettersPerLine) {
        char digits[24];
        char* end = std::to_chars(digits, digits + sizeof digits, start + 1).ptr;
        const size_t width = static_cast<size_t>(end - digits);
        text.append(width < kPositionWidth ? kPositionWidth - width : 0, ' ');
        text.append(digits, end);
        const size_t stop = std::min(start + kLettersPerLine, sequence.size());
        for (size_t group = start; group < stop; group += kLettersPerGroup) {
            text += ' ';
            text += sequence.substr(group, std::min(kLettersPerGroup, stop - group));
        }
        text += '\n';
        out.lineDone();
    }
    out.writeLine("//");
}

}  // namespace

void mergeGenBankFile(const std::string& inputPath, const std::string& outputPath) {
    std::ifstream in(inputPath, std::ios::in | std::ios::binary);
    if (!in.is_open()) {
        throw InputError(InputProblem::Unreadable, inputPath,
                         "Unable to open input file: " + inputPath);
    }
    if (sameFile(inputPath, outputPath)) {
        throw InputError(InputProblem::Overwrite, outputPath,
                         "The output file would replace the input file: " + outputPath);
    }
    const SequenceScan scan = scanSequence(in);
    if (in.bad()) {
        throw InputError(InputProblem::Unreadable, inputPath,
                         "Unable to read input file: " + inputPath);
    }
    if (!scan.sawLocus) {
        throw InputError(InputProblem::Format, inputPath,
                         "Not a GenBank file (no LOCUS line): " + inputPath);
    }
    OutputFile file(outputPath, OutputFile::Durability::Synced);
    MergedText out(file);
    in.clear();
    in.seekg(0);
    FeatureTableWriter writer(out, scan);
    std::string line;
    while (readTextLine(in, line)) {
        writer.line(line);
    }
    writeOrigin(out, scan.sequence);
    if (in.bad()) {
        throw InputError(InputProblem::Unreadable, inputPath,
                         "Unable to read input file: " + inputPath);
    }
    out.flush();
    file.commit();
}

std::string defaultMergeOutput(const std::string& inputPath) {
    const size_t slash = inputPath.find_last_of("/\\");
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::string name = inputPath.substr(nameStart);
    const size_t dot = name.rfind('.');
    const std::string title = dot == std::string::npos ? name : name.substr(0, dot);
    return inputPath.substr(0, nameStart) + "Merged_" + title + ".gbk";
}

}  // namespace xoprex
