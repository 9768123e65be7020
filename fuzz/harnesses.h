// Fuzz harnesses: each feeds one input's bytes to a part of the core. The
// libFuzzer entry points (fuzz_entry.cpp) and the corpus replay test
// (tests/fuzz) call the same functions.
//
// Invalid input (InputError) and outputs that cannot be written (OutputError)
// are answers the core may give, and a harness returns 0 after them. Anything
// else is a finding: a crash, a sanitizer report, a hang, any other exception
// (a broken invariant a harness checks raises HarnessFinding).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>

namespace xoprex::fuzz {

class HarnessFinding : public std::logic_error {
  public:
    using std::logic_error::logic_error;
};

// The FASTA reader on the bytes.
int fuzzFastaReader(const uint8_t* data, size_t size);
// The GenBank reader on the bytes.
int fuzzGenBankReader(const uint8_t* data, size_t size);
// The bytes as a GFF3 annotation; each sequence's genes are then grouped
// into operons on a circular and on a linear record, every gene in exactly
// one operon.
int fuzzGff3Reader(const uint8_t* data, size_t size);
// The bytes as a site collection file (FASTA when they start with '>', one
// site per line otherwise), loaded and modelled against a uniform background.
int fuzzSiteCollection(const uint8_t* data, size_t size);
// The bytes as an options file, read by the run reader, then checked as a
// search checks the integrative intervals.
int fuzzOptionValues(const uint8_t* data, size_t size);
// The bytes as an options file, loaded into the form; the form saved and
// loaded again must give the same texts.
int fuzzOptionTexts(const uint8_t* data, size_t size);
// The bytes as a multi-record GenBank file, merged; the merged file then
// goes through the GenBank reader.
int fuzzMerge(const uint8_t* data, size_t size);
// A whole search: the bytes drive the making of a small target (FASTA or
// GenBank), a site collection and an options file.
int fuzzSearch(const uint8_t* data, size_t size);
// The record reader fed through a named pipe in small pieces (the first two
// bytes choose the format, every GenBank record or the first, gzip in one
// member or two, and the pieces' sizes); its records must be those of a
// whole parse of the same text, and it must refuse what that parse refuses.
int fuzzRecordStream(const uint8_t* data, size_t size);
// The bytes as a target file (gzip data when they start with 1f 8b; GenBank
// when the text starts with LOCUS, else FASTA): the record reader on the
// file and a whole parse of what the input source decompresses must agree.
int fuzzGzipInput(const uint8_t* data, size_t size);
// The bytes (after a byte of choices) as a count-matrix file of a format or
// of the format its content shows: every matrix sound, its collection's
// model sound, its counts read back from JASPAR, and the file reader (plain
// or gzip) finding the same.
int fuzzCountMatrix(const uint8_t* data, size_t size);

struct Harness {
    const char* name;  // also the name of its corpus folder, fuzz/corpus/<name>
    int (*run)(const uint8_t* data, size_t size);
};

std::span<const Harness> harnesses();

}  // namespace xoprex::fuzz
