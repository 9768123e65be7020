#include "harnesses.h"

#include <fcntl.h>
#include <isa-l/igzip_lib.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "base/errors.h"
#include "merge/merge.h"
#include "motif/count_matrix.h"
#include "motif/site_collection.h"
#include "options/option_table.h"
#include "options/options_file.h"
#include "pipeline/run_search.h"
#include "regulon/operons.h"
#include "scan/integrative.h"
#include "scan/reverse_complement.h"
#include "seqio/gff3_reader.h"
#include "seqio/input_source.h"
#include "seqio/record_reader.h"
#include "seqio/sequence.h"

namespace xoprex::fuzz {
namespace {

void require(bool condition, const std::string& what) {
    if (!condition) {
        throw HarnessFinding(what);
    }
}

// Runs `body`; the core's answers to invalid input and unwritable outputs
// end the run normally, everything else goes on to the fuzzer or the test.
template <typename Body>
int expectingInputErrors(Body body) {
    try {
        body();
    } catch (const InputError&) {
    } catch (const OutputError&) {
    }
    return 0;
}

std::string textOf(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// A folder of this process's own under the system's temporary folder (so
// that parallel fuzzing processes do not share files), removed at exit.
class ScratchFolder {
  public:
    ScratchFolder()
        : path_(std::filesystem::temp_directory_path() /
                ("xoprex-fuzz-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // The folder `name` inside, emptied; with a trailing separator.
    std::string emptyFolder(const std::string& name) const {
        const std::filesystem::path folder = path_ / name;
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        return folder.string() + "/";
    }

  private:
    std::filesystem::path path_;
};

const ScratchFolder& scratch() {
    static const ScratchFolder folder;
    return folder;
}

std::string writeScratchFile(const std::string& name, std::string_view text) {
    const std::string path = scratch().file(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    require(static_cast<bool>(out), "cannot write the scratch file " + path);
    return path;
}

bool hasLowerCase(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

// Standard output swallowed while alive (the run log writes every line there).
class QuietStandardOutput {
  public:
    QuietStandardOutput() : previous_(std::cout.rdbuf(&sink_)) {}
    ~QuietStandardOutput() { std::cout.rdbuf(previous_); }
    QuietStandardOutput(const QuietStandardOutput&) = delete;
    QuietStandardOutput& operator=(const QuietStandardOutput&) = delete;

  private:
    class Sink : public std::streambuf {
      protected:
        int_type overflow(int_type c) override { return traits_type::not_eof(c); }
        std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
    };
    Sink sink_;
    std::streambuf* previous_;
};

// Choices drawn from the input's bytes: numbers from its end, letters from
// its front, so that a change to the letters leaves the numbers (sizes,
// options) alone and the other way round. Once the bytes run out every
// number is its lowest value and every letter the alphabet's first. The
// same source serves the libFuzzer build and the replay test, so a corpus
// file means the same in both.
class Choices {
  public:
    Choices(const uint8_t* data, size_t size) : data_(data), front_(0), back_(size) {}

    // A value in [low, high].
    int64_t range(int64_t low, int64_t high) {
        const uint64_t span = static_cast<uint64_t>(high - low);
        uint64_t value = 0;
        for (uint64_t room = span; room != 0 && front_ < back_; room >>= 8) {
            value = (value << 8) | data_[--back_];
        }
        return low + static_cast<int64_t>(span == UINT64_MAX ? value : value % (span + 1));
    }
    bool flag() { return range(0, 1) == 1; }
    // True about once in `n` draws of random bytes.
    bool rarely(int64_t n) { return range(0, n - 1) == n - 1; }
    uint32_t seed() { return static_cast<uint32_t>(range(0, UINT32_MAX)); }
    char letter(std::string_view alphabet) {
        const uint8_t byte = front_ < back_ ? data_[front_++] : 0;
        return alphabet[byte % alphabet.size()];
    }

  private:
    const uint8_t* data_;
    size_t front_;
    size_t back_;
};

// Letters the readers and the model treat differently: the four bases, both
// cases, the ambiguity codes, U, and letters outside every table.
constexpr std::string_view kOddLetters = "acgtNnRYKMSWBDHVUuX-*.0 ";

// Cheap letters for a target's bulk (xorshift), mostly bases.
class LetterStream {
  public:
    LetterStream(uint32_t seed, int oddness) : state_(seed | 1u), oddness_(oddness) {}
    char next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        const uint32_t r = state_ >> 8;
        // oddness 0: bases only; 1: one in 64 odd; 2: one in 8 odd.
        const uint32_t oddMask = oddness_ == 1 ? 63u : 7u;
        if (oddness_ > 0 && (r & oddMask) == 0) {
            return kOddLetters[(r >> 6) % kOddLetters.size()];
        }
        return "ACGT"[(r >> 3) & 3u];
    }

  private:
    uint32_t state_;
    int oddness_;
};

// Sites of one length, or (rarely) of lengths around it; mostly bases.
std::vector<std::string> makeSites(Choices& in) {
    const int64_t length = in.range(1, 24);
    const int64_t count = in.range(1, 12);
    const bool unequal = in.rarely(8);
    const bool odd = in.rarely(4);
    std::vector<std::string> sites;
    for (int64_t s = 0; s < count; ++s) {
        const int64_t own = unequal ? std::max<int64_t>(1, length + in.range(-2, 2)) : length;
        std::string site;
        for (int64_t l = 0; l < own; ++l) {
            site += odd && in.rarely(8) ? in.letter(kOddLetters) : in.letter("ACGT");
        }
        sites.push_back(std::move(site));
    }
    return sites;
}

std::string collectionText(const std::vector<std::string>& sites, bool fasta, Choices& in) {
    std::string text;
    for (size_t s = 0; s < sites.size(); ++s) {
        if (fasta) {
            text += ">site " + std::to_string(s + 1) + "\n";
        }
        text += sites[s];
        text += in.rarely(8) ? "\r\n" : "\n";
        if (in.rarely(8)) {
            text += "\n";
        }
    }
    return text;
}

// A sequence of bulk letters with collection sites (or their reverse
// complements) planted in it, so that the scan finds hits on both strands.
std::string makeSequence(Choices& in, const std::vector<std::string>& sites) {
    const auto length = static_cast<size_t>(in.range(0, 600));
    LetterStream letters(in.seed(), static_cast<int>(in.range(0, 2)));
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        text += letters.next();
    }
    const int64_t plants = in.range(0, 4);
    for (int64_t p = 0; p < plants && !text.empty(); ++p) {
        const std::string& site =
            sites[static_cast<size_t>(in.range(0, static_cast<int64_t>(sites.size()) - 1))];
        const std::string planted = in.flag() ? reverseComplementText(site) : site;
        const auto at = static_cast<size_t>(in.range(0, static_cast<int64_t>(text.size()) - 1));
        text.replace(at, std::min(planted.size(), text.size() - at), planted);
    }
    if (in.rarely(4)) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    }
    return text;
}

std::string fastaTarget(Choices& in, const std::vector<std::string>& sites) {
    const int64_t records = in.range(1, 3);
    std::string text;
    for (int64_t r = 0; r < records; ++r) {
        text += ">record " + std::to_string(r + 1) + "\n";
        const std::string sequence = makeSequence(in, sites);
        const auto width = static_cast<size_t>(in.range(1, 80));
        for (size_t at = 0; at < sequence.size(); at += width) {
            text += sequence.substr(at, width);
            text += '\n';
        }
    }
    return text;
}

// A coordinate in the record, or (rarely) outside it.
int64_t coordinate(Choices& in, int64_t length) {
    if (in.rarely(16)) {
        return in.range(0, INT32_MAX) * (in.flag() ? 1 : 1000);
    }
    return in.range(1, std::max<int64_t>(length, 1));
}

std::string cdsFeature(Choices& in, int64_t length, int number) {
    const int64_t a = coordinate(in, length);
    const int64_t b = coordinate(in, length);
    std::string location = std::to_string(std::min(a, b)) + ".." + std::to_string(std::max(a, b));
    if (in.rarely(4)) {
        location = "join(" + location + "," + std::to_string(coordinate(in, length)) + ".." +
                   std::to_string(coordinate(in, length)) + ")";
    }
    if (in.rarely(8)) {
        location = "<" + location;
    }
    if (in.flag()) {
        location = "complement(" + location + ")";
    }
    const std::string n = std::to_string(number);
    std::string text = "     CDS             " + location + "\n";
    if (in.flag()) {
        text += "                     /gene=\"gene" + n + "\"\n";
    }
    if (in.flag()) {
        text += "                     /locus_tag=\"TAG_" + n + "\"\n";
    }
    if (in.flag()) {
        text += "                     /product=\"protein " + n +
                (in.flag() ? ", putative\"\n" : "\n                     of a \"\"family\"\"\"\n");
    }
    return text;
}

std::string originLines(const std::string& sequence, Choices& in) {
    std::string text = "ORIGIN\n";
    const bool standard = !in.rarely(4);
    const size_t perLine = standard ? 60 : static_cast<size_t>(in.range(1, 90));
    const size_t perGroup = standard ? 10 : static_cast<size_t>(in.range(1, 20));
    for (size_t at = 0; at < sequence.size(); at += perLine) {
        const std::string number = std::to_string(at + 1);
        text += std::string(number.size() < 9 ? 9 - number.size() : 0, ' ') + number;
        const size_t stop = std::min(at + perLine, sequence.size());
        for (size_t group = at; group < stop; group += perGroup) {
            text += ' ';
            text += sequence.substr(group, std::min(perGroup, stop - group));
        }
        text += '\n';
    }
    return text + "//\n";
}

std::string genBankTarget(Choices& in, const std::vector<std::string>& sites) {
    const std::string sequence = makeSequence(in, sites);
    const auto length = static_cast<int64_t>(sequence.size());
    std::string text = "LOCUS       FUZZ_1               " + std::to_string(length) +
                       " bp    DNA     circular BCT 01-JAN-2000\n"
                       "DEFINITION  Fuzz target.\n"
                       "FEATURES             Location/Qualifiers\n"
                       "     source          1.." +
                       std::to_string(length) + "\n";
    const int64_t genes = in.range(0, 5);
    for (int64_t g = 0; g < genes; ++g) {
        text += cdsFeature(in, length, static_cast<int>(g + 1));
    }
    return text + originLines(sequence, in);
}

// A number text for a real option: plain, or (rarely) an awkward one.
std::string realText(Choices& in, int64_t low, int64_t high, int64_t scale) {
    if (in.rarely(16)) {
        static constexpr std::string_view kAwkward[] = {
            "0", "-0", "1e308", "-1e308", "1e-320", "nan", "inf", "abc", "", " 2.5e+1x"};
        const auto pick = in.range(0, static_cast<int64_t>(std::size(kAwkward)) - 1);
        return std::string(kAwkward[static_cast<size_t>(pick)]);
    }
    std::ostringstream text;
    text << static_cast<double>(in.range(low, high)) / static_cast<double>(scale);
    return text.str();
}

std::string integerText(Choices& in, int64_t low, int64_t high) {
    if (in.rarely(16)) {
        return std::to_string(in.range(INT32_MIN, INT32_MAX));
    }
    return std::to_string(in.range(low, high));
}

std::string optionsText(Choices& in) {
    OptionTexts texts;
    texts.logResults = in.flag();
    texts.methodNumber = integerText(in, 1, 11);
    texts.computeBackground = in.flag();
    texts.literalCutOff = in.flag();
    texts.threshold =
        texts.literalCutOff ? realText(in, -4000, 4000, 100) : realText(in, 0, 1000, 1000);
    texts.promoterDistance = integerText(in, -100, 600);
    texts.inGeneDistance = integerText(in, -100, 300);
    texts.sortByScore = in.flag();
    texts.removeRedundant = in.flag();
    texts.integrative = in.flag();
    // Mostly ordered intervals X < Y <= I < J within a few hundred windows.
    int64_t x = in.range(-300, 0);
    int64_t y = x + in.range(1, 200);
    int64_t i = y + in.range(0, 200);
    int64_t j = i + in.range(1, 300);
    if (in.rarely(8)) {
        x = in.range(-400, 400);
        y = in.range(-400, 400);
        i = in.range(-400, 400);
        j = in.range(-400, 400);
    }
    texts.upLeft = std::to_string(x);
    texts.upRight = std::to_string(y);
    texts.downLeft = std::to_string(i);
    texts.downRight = std::to_string(j);
    texts.relaxation = realText(in, 1, 40, 10);
    texts.rescoringMethod = integerText(in, 1, 3);
    std::string text = optionsFileText(texts);
    if (in.rarely(16)) {
        text.resize(static_cast<size_t>(in.range(0, static_cast<int64_t>(text.size()))));
    }
    return text;
}

// The model of a collection: one position per site letter, frequencies that
// add up to 1, finite information contents.
void requireSoundModel(const SiteCollection& collection) {
    const auto& positions = collection.model.positions;
    require(positions.size() == static_cast<size_t>(collection.siteLength),
            "model: not one position per site letter");
    for (const PositionRecord& position : positions) {
        double sum = 0.0;
        for (const double f : position.frequencies) {
            require(f >= 0.0 && f <= 1.0, "model: a frequency outside 0..1");
            sum += f;
        }
        require(std::fabs(sum - 1.0) < 1e-9, "model: frequencies that do not add up to 1");
        require(std::isfinite(position.rsequence) && std::isfinite(position.relativeEntropy),
                "model: Rsequence or RE not finite");
    }
}

// One gzip member of `text` (ISA-L's deflate), so that a harness can feed
// compressed input built from the fuzzer's plain bytes.
std::string gzipMember(std::string_view text) {
    std::string out(text.size() + text.size() / 8 + 1024, '\0');
    isal_zstream stream;
    isal_deflate_init(&stream);
    stream.gzip_flag = IGZIP_GZIP;
    stream.end_of_stream = 1;
    stream.next_in = reinterpret_cast<uint8_t*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uint32_t>(text.size());
    stream.next_out = reinterpret_cast<uint8_t*>(out.data());
    stream.avail_out = static_cast<uint32_t>(out.size());
    require(isal_deflate_stateless(&stream) == COMP_OK, "gzip: the test's own compression failed");
    out.resize(stream.total_out);
    return out;
}

// A record as the reader harnesses compare it: every field a reader sets.
std::string recordText(const SequenceRecord& record) {
    std::string text = std::string(1, record.format) + "|" + record.description + "|" +
                       record.name + "|" + record.sequence + "|";
    for (const GeneRecord& gene : record.genes) {
        text += std::to_string(gene.begin) + "," + std::to_string(gene.end) + "," +
                (gene.sense ? "+" : "-") + "," + gene.locus + "," + gene.gene + "," + gene.product +
                ";";
    }
    return text;
}

// What a reader made of an input: its records, or that it refused it.
struct Reading {
    std::vector<std::string> records;
    bool refused = false;

    bool operator==(const Reading& other) const = default;
};

// The input in memory, parsed whole by the reader of its format.
Reading wholeReading(const std::string& text, bool genBank, bool allRecords) {
    Reading reading;
    try {
        std::istringstream in(text);
        SequenceSet set;
        if (genBank) {
            readGenBankStream(in, set, allRecords);
        } else {
            readFastaStream(in, "fuzz.fas", set);
        }
        for (const SequenceRecord& record : set.records) {
            reading.records.push_back(recordText(record));
        }
    } catch (const InputError&) {
        reading = Reading{{}, true};
    }
    return reading;
}

// The file at `path` read record by record (the records handed out before
// a refusal are dropped: the whole parse has none to compare them with).
Reading streamedReading(const std::string& path, bool allRecords) {
    Reading reading;
    try {
        InputRules rules;
        rules.allGenBankRecords = allRecords;
        RecordReader reader(path, rules);
        SequenceRecord record;
        while (reader.next(record)) {
            reading.records.push_back(recordText(record));
        }
    } catch (const InputError&) {
        reading = Reading{{}, true};
    }
    return reading;
}

void requireSameReading(const Reading& streamed, const Reading& whole, const std::string& what) {
    require(streamed.refused == whole.refused,
            what + ": one reading refused the input, the other did not");
    require(streamed.records.size() == whole.records.size(),
            what + ": " + std::to_string(streamed.records.size()) + " records instead of " +
                std::to_string(whole.records.size()));
    for (size_t r = 0; r < whole.records.size(); ++r) {
        require(streamed.records[r] == whole.records[r],
                what + ": record " + std::to_string(r + 1) + " differs from the whole parse");
    }
}

// A signal whose handler does nothing and lets the system call it
// interrupts fail with EINTR (no SA_RESTART), as a program's own timers may.
void nothing(int) {}
constexpr int kInterrupt = SIGUSR1;

void catchInterrupts() {
    struct sigaction action {};
    action.sa_handler = nothing;
    sigemptyset(&action.sa_mask);
    sigaction(kInterrupt, &action, nullptr);
}

// Writes bytes into a named pipe in pieces, each only once the reader has
// taken the one before, so that every read of the pipe returns at most one
// piece; meanwhile it interrupts the reading thread (the one that makes the
// feeder) with signals, while it opens the pipe and now and then while it
// reads. Ends when every byte is written or the reader has gone; dropped,
// it stops waiting for the reader.
class PipeFeeder {
  public:
    PipeFeeder(const std::string& path, std::string bytes, std::vector<size_t> pieces)
        : reader_(pthread_self()),
          thread_([this, path, bytes = std::move(bytes), pieces = std::move(pieces)] {
              feed(path, bytes, pieces);
          }) {}
    ~PipeFeeder() {
        done_ = true;
        thread_.join();
    }
    PipeFeeder(const PipeFeeder&) = delete;
    PipeFeeder& operator=(const PipeFeeder&) = delete;

  private:
    void feed(const std::string& path, const std::string& bytes,
              const std::vector<size_t>& pieces) {
        int fd = -1;
        // Non-blocking until the reader has opened its end, so that a reader
        // that never does leaves nothing waiting.
        while (fd < 0 && !done_) {
            interruptReader();
            std::this_thread::sleep_for(std::chrono::microseconds(50));
            fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        }
        if (fd < 0) {
            return;
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        size_t at = 0;
        for (const size_t piece : pieces) {
            for (size_t end = at + piece; at < end;) {
                const ssize_t n = ::write(fd, bytes.data() + at, end - at);
                if (n < 0 && errno == EINTR) {
                    continue;
                }
                if (n <= 0) {
                    ::close(fd);
                    return;  // the reader has gone (EPIPE)
                }
                at += static_cast<size_t>(n);
            }
            int waiting = 1;
            for (int turn = 1; !done_ && ::ioctl(fd, FIONREAD, &waiting) == 0 && waiting > 0;
                 ++turn) {
                if (turn % 64 == 0) {
                    interruptReader();
                }
                std::this_thread::yield();
            }
        }
        ::close(fd);
    }

    void interruptReader() {
        if (!done_) {
            pthread_kill(reader_, kInterrupt);
        }
    }

    const pthread_t reader_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// Piece sizes from 1 to `most` that add up to `total`, at most 256 of them.
std::vector<size_t> pieceSizes(size_t total, size_t most, uint32_t seed) {
    std::vector<size_t> pieces;
    const size_t least = std::max<size_t>(1, total / 256);
    most = std::max(most, least);
    uint32_t state = seed | 1u;
    for (size_t left = total; left > 0;) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        const size_t piece = std::min(left, least + state % (most - least + 1));
        pieces.push_back(piece);
        left -= piece;
    }
    return pieces;
}

}  // namespace

int fuzzFastaReader(const uint8_t* data, size_t size) {
    return expectingInputErrors([&] {
        std::istringstream in(textOf(data, size));
        SequenceSet set;
        readFastaStream(in, "fuzz.fas", set);
        require(!set.records.empty(), "FASTA: no record and no error");
        for (const SequenceRecord& record : set.records) {
            require(!record.sequence.empty(), "FASTA: a record without sequence");
            require(record.sequence.find('\n') == std::string::npos,
                    "FASTA: a line feed inside a sequence");
            require(!hasLowerCase(record.sequence), "FASTA: a sequence not upper-cased");
        }
    });
}

int fuzzGenBankReader(const uint8_t* data, size_t size) {
    return expectingInputErrors([&] {
        std::istringstream in(textOf(data, size));
        SequenceSet set;
        readGenBankStream(in, set);
        require(set.records.size() == 1, "GenBank: not exactly one record");
        const std::string& sequence = set.records.front().sequence;
        require(!sequence.empty(), "GenBank: a record without sequence");
        require(sequence.find_first_of(" \t\n\v\f\r/") == std::string::npos,
                "GenBank: white space or '/' inside the sequence");
        require(!hasLowerCase(sequence), "GenBank: a sequence not upper-cased");
    });
}

int fuzzGff3Reader(const uint8_t* data, size_t size) {
    return expectingInputErrors([&] {
        std::istringstream in(textOf(data, size));
        const GeneAnnotation annotation = parseGff3(in, "fuzz.gff3");
        for (const auto& [seqid, annotated] : annotation.genes) {
            require(!seqid.empty(), "GFF3: a gene without a sequence name");
            std::vector<GeneRecord> genes;
            int64_t length = 1;
            for (const AnnotatedGene& gene : annotated) {
                const GeneRecord& record = gene.gene;
                require(record.begin >= 1 && record.end >= 1, "GFF3: a coordinate below 1");
                require(record.sense ? record.begin <= record.end : record.begin >= record.end,
                        "GFF3: a start on the wrong side of the end");
                genes.push_back(record);
                length = std::max<int64_t>(length, std::max(record.begin, record.end));
            }
            for (const bool circular : {true, false}) {
                std::vector<size_t> seen(genes.size(), 0);
                for (const Operon& operon : groupOperons(genes, length, circular, OperonRules{})) {
                    require(!operon.genes.empty(), "operons: an operon without genes");
                    for (const size_t g : operon.genes) {
                        require(g < genes.size() && genes[g].sense == operon.forward,
                                "operons: a gene of the other strand");
                        ++seen[g];
                    }
                }
                require(std::all_of(seen.begin(), seen.end(), [](size_t n) { return n == 1; }),
                        "operons: a gene in no operon or in two");
            }
        }
    });
}

int fuzzSiteCollection(const uint8_t* data, size_t size) {
    return expectingInputErrors([&] {
        const bool fasta = size > 0 && data[0] == '>';
        const std::string path =
            writeScratchFile(fasta ? "sites.fas" : "sites.txt", textOf(data, size));
        const SequenceRecord background;
        const SiteCollection collection = loadCollection(path, background);
        require(collection.siteLength > 0, "collection: sites of no length");
        for (const SiteHit& site : collection.sites) {
            require(site.siteLength == collection.siteLength &&
                        site.site.size() == static_cast<size_t>(collection.siteLength),
                    "collection: sites of different lengths");
        }
        requireSoundModel(collection);
    });
}

int fuzzOptionValues(const uint8_t* data, size_t size) {
    return expectingInputErrors([&] {
        std::istringstream in(textOf(data, size));
        Options options;
        readOptionValues(options, in);
        // The search checks the integrative intervals of every run.
        const IntegrativeWindow window(options);
        require(window.size() % 2 == 1 && window.upFirst() <= window.upLast() &&
                    window.upLast() <= window.downFirst() &&
                    window.downFirst() <= window.downLast() && window.downLast() < window.size(),
                "integrative window: intervals outside the window or out of order");
        relaxCutOff(options);
    });
}

int fuzzOptionTexts(const uint8_t* data, size_t size) {
    return expectingInputErrors([&] {
        std::istringstream in(textOf(data, size));
        OptionTexts loaded;
        loadOptionTexts(in, loaded);
        // Saved and loaded again, the form must come back as it was. A value
        // ending in a carriage return (only the file's last line can give
        // one) loses it once a line end follows it; that is left alone.
        for (int k = 1; k <= kOptionCount; ++k) {
            const std::string value = formValue(loaded, k);
            if (!value.empty() && value.back() == '\r') {
                return;
            }
        }
        std::istringstream saved(optionsFileText(loaded));
        OptionTexts reloaded;
        require(loadOptionTexts(saved, reloaded) == kOptionCount,
                "options form: a saved form does not load all values back");
        for (int k = 1; k <= kOptionCount; ++k) {
            require(formValue(reloaded, k) == formValue(loaded, k),
                    "options form: option " + std::to_string(k) + " changed by saving and loading");
        }
    });
}

int fuzzMerge(const uint8_t* data, size_t size) {
    return expectingInputErrors([&] {
        const std::string input = writeScratchFile("merge_in.gbk", textOf(data, size));
        const std::string output = scratch().file("merge_out.gbk");
        mergeGenBankFile(input, output);
        SequenceSet set;
        readGenBankFile(output, set);
    });
}

int fuzzSearch(const uint8_t* data, size_t size) {
    return expectingInputErrors([&] {
        Choices in(data, size);
        const std::string options = optionsText(in);
        const unsigned threads = in.flag() ? 2 : 1;
        const std::vector<std::string> sites = makeSites(in);
        const bool fastaCollection = in.flag();
        const std::string collectionPath =
            writeScratchFile(fastaCollection ? "sites.fas" : "sites.txt",
                             collectionText(sites, fastaCollection, in));
        const bool genBank = in.flag();
        const std::string target = genBank ? genBankTarget(in, sites) : fastaTarget(in, sites);
        SearchInputs inputs;
        inputs.sequencePath = writeScratchFile(genBank ? "target.gbk" : "target.fas", target);
        inputs.collections = {{collectionPath, "sites"}};
        inputs.optionsPath = writeScratchFile("options.txt", options);
        inputs.outputFolder = scratch().emptyFolder("out");
        inputs.sequenceTitle = "target";
        inputs.threads = threads;
        // Chosen last, so that the earlier choices of a corpus file stay.
        if (in.flag()) {
            inputs.reportPath = inputs.outputFolder + "report.html";
        }
        const QuietStandardOutput quiet;
        const std::string results = runSearch(inputs);
        require(std::filesystem::is_regular_file(results), "search: no results table and no error");
        require(inputs.reportPath.empty() || std::filesystem::is_regular_file(inputs.reportPath),
                "search: no report and no error");
    });
}

int fuzzRecordStream(const uint8_t* data, size_t size) {
    if (size < 3) {
        return 0;
    }
    // Two bytes of choices, then the input.
    const uint8_t how = data[0];
    const bool genBank = (how & 1) != 0;
    const bool allRecords = (how & 2) != 0;
    const bool compressed = (how & 4) != 0;
    const bool twoMembers = (how & 8) != 0;
    const size_t most = size_t{1} << (how >> 4);  // the largest piece: 1 B to 32 KB
    const std::string text = textOf(data + 2, size - 2);
    if (text.rfind("\x1f\x8b", 0) == 0) {
        return 0;  // the whole parse would take the text for gzip data
    }
    std::string bytes = text;
    if (compressed) {
        // One member, or the text cut in two members.
        const size_t cut = twoMembers ? text.size() * data[1] / 255 : text.size();
        bytes = gzipMember(std::string_view(text).substr(0, cut));
        if (cut < text.size()) {
            bytes += gzipMember(std::string_view(text).substr(cut));
        }
    }
    const std::string path = scratch().file(genBank ? "stream.gbk" : "stream.fas");
    std::filesystem::remove(path);
    require(::mkfifo(path.c_str(), 0600) == 0, "cannot make the pipe " + path);
    std::signal(SIGPIPE, SIG_IGN);  // the reader may close its end before every byte is sent
    catchInterrupts();
    Reading streamed;
    {
        const PipeFeeder feeder(path, bytes, pieceSizes(bytes.size(), most, data[1]));
        streamed = streamedReading(path, allRecords);
    }
    std::filesystem::remove(path);
    requireSameReading(streamed, wholeReading(text, genBank, allRecords), "record stream");
    return 0;
}

int fuzzGzipInput(const uint8_t* data, size_t size) {
    const std::string bytes = textOf(data, size);
    // What the input source makes of the bytes, parsed whole; GenBank when
    // that text starts with LOCUS (every record for an odd length).
    // Inflated past kMostWhole (a gzip bomb), the text is not compared: the
    // record reader must then read it within its ceiling on a record.
    constexpr size_t kMostWhole = size_t{1} << 20;
    std::string text;
    bool refused = false;
    try {
        std::istringstream in(bytes);
        const std::unique_ptr<InputSource> source = InputSource::fromStream(in.rdbuf(), "fuzz");
        text.resize(kMostWhole + 1);
        size_t got = 0;
        while (got < text.size()) {
            const size_t read = source->read(text.data() + got, text.size() - got);
            if (read == 0) {
                break;
            }
            got += read;
        }
        text.resize(got);
    } catch (const InputError&) {
        refused = true;
    }
    if (!refused && text.size() > kMostWhole) {
        const bool genBank = text.rfind("LOCUS", 0) == 0;
        const std::string path = writeScratchFile(genBank ? "input.gbk" : "input.fas", bytes);
        try {
            InputRules rules;
            rules.maxRecordBytes = kMostWhole / 4;
            RecordReader reader(path, rules);
            SequenceRecord record;
            for (int records = 0; records < 64 && reader.next(record); ++records) {
                require(record.sequence.size() <= rules.maxRecordBytes,
                        "gzip input: a record past the ceiling");
            }
        } catch (const InputError&) {
        }
        return 0;
    }
    const bool genBank = text.rfind("LOCUS", 0) == 0;
    const bool allRecords = size % 2 == 1;
    const Reading whole = refused ? Reading{{}, true} : wholeReading(text, genBank, allRecords);
    const std::string path = writeScratchFile(genBank ? "input.gbk" : "input.fas", bytes);
    requireSameReading(streamedReading(path, allRecords), whole, "gzip input");
    return 0;
}

int fuzzCountMatrix(const uint8_t* data, size_t size) {
    return expectingInputErrors([&] {
        if (size < 1) {
            return;
        }
        // One byte of choices, then the text.
        static constexpr MatrixFormat kFormats[] = {MatrixFormat::Jaspar, MatrixFormat::Meme,
                                                    MatrixFormat::Transfac, MatrixFormat::Unknown};
        static constexpr const char* kExtensions[] = {"jaspar", "meme", "transfac", "txt"};
        const size_t choice = data[0] % 4;
        const std::string text = textOf(data + 1, size - 1);
        const std::vector<CountMatrix> matrices =
            readMatrices(text, kFormats[choice], "fuzz", "matrices");
        require(!matrices.empty(), "matrices: none and no error");
        std::string jaspar;
        for (const CountMatrix& matrix : matrices) {
            require(!matrix.columns.empty(), "matrices: a matrix without columns");
            double most = 0.0;
            for (const auto& column : matrix.columns) {
                double total = 0.0;
                for (const double count : column) {
                    require(std::isfinite(count) && count >= 0.0,
                            "matrices: a count below 0 or not finite");
                    total += count;
                }
                require(total > 0.0 && std::isfinite(total),
                        "matrices: a position counting nothing");
                most = std::max(most, total);
            }
            require(matrix.siteCount() == most, "matrices: N is not the largest column total");
            const SequenceRecord background;
            requireSoundModel(collectionFromMatrix(matrix, background));
            // The same counts written as JASPAR, to be read back exactly.
            jaspar += ">" + (matrix.id.empty() ? std::string("unnamed") : matrix.id) + "\n";
            for (size_t letter = 0; letter < 4; ++letter) {
                jaspar += "ACGT"[letter];
                jaspar += " [";
                for (const auto& column : matrix.columns) {
                    char number[32];
                    std::snprintf(number, sizeof number, " %.17g", column[letter]);
                    jaspar += number;
                }
                jaspar += " ]\n";
            }
        }
        std::istringstream in(jaspar);
        const std::vector<CountMatrix> again = readJasparMatrices(in, "again", "again");
        require(again.size() == matrices.size(), "matrices: not as many read back from JASPAR");
        for (size_t m = 0; m < matrices.size(); ++m) {
            require(again[m].columns == matrices[m].columns,
                    "matrices: counts changed by writing and reading JASPAR");
        }
        // The file reader, on the same bytes under the format's extension
        // (gzip-compressed for some choices), finds the same matrices.
        const bool compressed = data[0] / 4 % 2 == 1;
        const std::string path = writeScratchFile(
            std::string("matrices.") + kExtensions[choice] + (compressed ? ".gz" : ""),
            compressed ? gzipMember(text) : text);
        const std::vector<CountMatrix> fromFile = readMatrixFile(path);
        require(fromFile.size() == matrices.size(), "matrices: the file reader found others");
        for (size_t m = 0; m < matrices.size(); ++m) {
            require(fromFile[m].columns == matrices[m].columns && fromFile[m].id == matrices[m].id,
                    "matrices: the file reader read other counts or titles");
        }
    });
}

std::span<const Harness> harnesses() {
    static constexpr Harness kHarnesses[] = {
        {"fasta_reader", fuzzFastaReader},
        {"genbank_reader", fuzzGenBankReader},
        {"gff3_reader", fuzzGff3Reader},
        {"site_collection", fuzzSiteCollection},
        {"option_values", fuzzOptionValues},
        {"option_texts", fuzzOptionTexts},
        {"merge", fuzzMerge},
        {"search", fuzzSearch},
        {"record_stream", fuzzRecordStream},
        {"gzip_input", fuzzGzipInput},
        {"count_matrix", fuzzCountMatrix},
    };
    return kHarnesses;
}

}  // namespace xoprex::fuzz
