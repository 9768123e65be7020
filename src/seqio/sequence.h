// Target sequences: one SequenceRecord per FASTA record or GenBank record,
// gathered in a SequenceSet. readSequences chooses the reader by extension
// (or, for standard input, by the content). Every input error raises
// InputError (base/errors.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "base/file_names.h"
#include "base/records.h"

namespace xoprex {

// The shape of a record's molecule. A search scans a circular record's
// windows across its end into its start, a linear record's only within it;
// Unstated (FASTA, or a GenBank LOCUS line that names neither) is scanned as
// circular unless the search's topology rule decides otherwise.
enum class Topology : uint8_t { Unstated, Circular, Linear };

// One target record as read. Searches only read it: each collection's hits
// of it go to a RecordHits of their own (base/records.h).
struct SequenceRecord {
    char format = 'F';  // 'F' FASTA, 'G' GenBank
    std::string description;
    // The record's identifier: the FASTA header up to its first blank or
    // tab; the GenBank VERSION accession, or the LOCUS name without one.
    std::string name;
    std::vector<GeneRecord> genes;
    std::string sequence;                                                 // upper-cased text
    std::array<double, 4> backgroundFrequencies{0.25, 0.25, 0.25, 0.25};  // A, C, G, T
    double backgroundEntropy = 2.0;
    Topology topology = Topology::Unstated;  // as the file says (GenBank LOCUS line)
};

// Whether c is one of the four bases A, C, G, T (either case).
inline bool isBase(char c) {
    switch (c) {
        case 'A':
        case 'C':
        case 'G':
        case 'T':
        case 'a':
        case 'c':
        case 'g':
        case 't':
            return true;
        default:
            return false;
    }
}

struct SequenceSet {
    std::vector<SequenceRecord> records;
    std::string baseName;  // path up to its last '.'
    size_t current = 0;    // cursor: index into records
};

// How a search takes its input files. The defaults are the desktop
// program's rules; the command line chooses the wide name rule.
struct InputRules {
    NameRule names = NameRule::Strict;
    // Every record of a GenBank file, each with its own genes, description,
    // name and sequence; otherwise only the first.
    bool allGenBankRecords = false;
    // The most bytes one record may take in the file (header, letters and
    // line ends): a record past it is refused (InputError naming it) before
    // more of it is held in memory.
    size_t maxRecordBytes = kDefaultMaxRecordBytes;
    static constexpr size_t kDefaultMaxRecordBytes = size_t{4} << 30;
};

// The reader an extension (the input extension rule of base/file_names.h)
// selects: "FAS", "FNA", "fas", "fna" FASTA; "GBK", "GB", "gbk", "gb" GenBank.
enum class SequenceFormat { Fasta, GenBank, Unknown };
SequenceFormat sequenceFormatOf(const std::string& extension);
// The same under a given rule; the wide rule's extensions (wideExtension)
// are "fa", "fasta", "fna", "fas", "ffn" FASTA and "gbk", "gb", "gbff",
// "genbank" GenBank.
SequenceFormat sequenceFormatOf(const std::string& extension, NameRule rule);

// Reads the target file; FASTA for "FAS", "FNA", "fas", "fna"; GenBank for
// "GBK", "GB", "gbk", "gb". Returns at least one record with a non-empty
// sequence, cursor on the first record, or reports a fatal error. A file
// of gzip data is decompressed (seqio/input_source.h).
SequenceSet readSequences(const std::string& path);

// The same under the given rules. Under the wide rule "-" reads standard
// input, FASTA when its first non-blank character is '>', GenBank when its
// first line starts with "LOCUS".
SequenceSet readSequences(const std::string& path, const InputRules& rules);

// Appends every record of a FASTA file / stream.
void readFastaFile(const std::string& path, SequenceSet& set);
void readFastaStream(std::istream& in, const std::string& path, SequenceSet& set);

// Appends the first record of a GenBank file / stream, or every record.
void readGenBankFile(const std::string& path, SequenceSet& set, bool allRecords = false);
void readGenBankStream(std::istream& in, SequenceSet& set, bool allRecords = false);

}  // namespace xoprex
