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

struct Harness {
    const char* name;  // also the name of its corpus folder, fuzz/corpus/<name>
    int (*run)(const uint8_t* data, size_t size);
};

std::span<const Harness> harnesses();

}  // namespace xoprex::fuzz
