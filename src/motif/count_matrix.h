// Count matrices as site collections. A count matrix gives, for every
// position of a motif, how many of its sites hold A, C, G and T; it has no
// sites of its own. The readers take the text of a matrix file and return
// its matrices in file order; collectionFromMatrix turns one into a
// SiteCollection whose model is exactly the one sites with those counts give
// (the same counts, frequency table and scores, bit for bit).
//
// Formats (extensions and base letters in any case, keywords as written):
//   JASPAR   (.jaspar, .pfm) ">ID NAME" then four rows A, C, G, T, each
//            "A [ c1 c2 ... ]" or the bare numbers; lettered rows may come
//            in any order. A file may hold several matrices; a file of four
//            rows without a header (the bare .pfm) is one matrix titled by
//            the file title.
//   MEME     (.meme) the minimal motif format: "MEME version N" first; the
//            optional "ALPHABET= ACGT" (any other alphabet is refused),
//            "strands:" and "Background letter frequencies" lines are
//            passed over; each "MOTIF ID [NAME]" is followed by
//            "letter-probability matrix: alength= 4 w= W nsites= N E= ..."
//            and W rows of four probabilities (A, C, G, T; each from 0 to
//            1). A count is probability x nsites, rounded to the nearest
//            whole number when it lies within 1e-3 of it (the probabilities
//            are printed rounded, so whole counts come back whole) and kept
//            as it is otherwise. Without nsites= the matrix stands for 20
//            sites (kMemeDefaultSites): probabilities alone do not say how
//            many sites made them, and 20 is the customary assumption.
//   TRANSFAC (.transfac, .dat) records ending at "//": "ID" (or else "AC")
//            titles the matrix, "NA" names it, "P0 A C G T" (or "PO"; the
//            letters give the column order) heads rows "01 c c c c
//            [consensus]" numbered from 1; the matrix ends at the first
//            other line ("XX", ...). A record without ID or AC is titled
//            TITLE_K (the file title and the matrix's place in the file).
//
// The number of sites N of a matrix (SiteCollection::matrixSiteCount, the
// scoring's 1/N) is its largest column total. Column totals may differ, and
// that is not an error: sites with a gap or an unknown letter at a position
// count nothing there, so a site collection gives such columns itself, and
// its N is the number of sites, the largest total whenever one position is
// fully counted. Published matrices often have such columns. With equal
// totals (the usual case) N is their common total, and for a MEME matrix of
// whole counts N is its nsites.
//
// Failures raise InputError of kind Format with the one message line
// "Incorrect matrix file! - NAME, line N: PROBLEM" (without the line where
// none applies): no matrix at all, a matrix that is not four rows (A, C, G,
// T) of one length, a count that is not a number (or negative, or not
// finite), a position counting nothing (or beyond what a double holds), a
// MEME w= that differs from its rows, an alphabet other than ACGT, a
// TRANSFAC row out of its numbering, and the like. A file that cannot be
// read raises kind Unreadable ("Incorrect file name: PATH"); gzip faults are
// those of seqio/input_source.h.
#pragma once

#include <array>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "motif/site_collection.h"
#include "seqio/sequence.h"

namespace xoprex {

inline constexpr double kMemeDefaultSites = 20.0;

struct CountMatrix {
    std::string id;                              // the title of its collection
    std::string name;                            // the rest of the header ("" when none)
    std::vector<std::array<double, 4>> columns;  // per position: A, C, G, T

    // N: the largest column total (0 for no column).
    double siteCount() const;
};

enum class MatrixFormat { Jaspar, Meme, Transfac, Unknown };

// The format an extension (without its '.', any case) names: "jaspar" and
// "pfm" JASPAR, "meme" MEME, "transfac" and "dat" TRANSFAC.
MatrixFormat matrixFormatOfExtension(const std::string& extension);

// The format the text's first line that is not blank shows: "MEME version"
// MEME; '>' or a row of counts JASPAR; a TRANSFAC tag ("AC", "ID", "NA",
// "DE", "BF", "P0", "PO", "XX", "VV", "//") TRANSFAC; Unknown otherwise.
MatrixFormat matrixFormatOfContent(std::string_view text);

// The readers. `name` names the input in messages; `title` titles a JASPAR
// matrix without a header and a TRANSFAC matrix without ID or AC. Each
// returns at least one matrix of at least one column, every column counting
// something.
std::vector<CountMatrix> readJasparMatrices(std::istream& in, const std::string& name,
                                            const std::string& title);
std::vector<CountMatrix> readMemeMatrices(std::istream& in, const std::string& name);
std::vector<CountMatrix> readTransfacMatrices(std::istream& in, const std::string& name,
                                              const std::string& title);

// The reader of `format`, or of the text's content when Unknown (an
// InputError when the content shows no format either).
std::vector<CountMatrix> readMatrices(std::string_view text, MatrixFormat format,
                                      const std::string& name, const std::string& title);

// Reads the file at `path` (gzip data decompressed, "-" standard input) with
// the reader its extension names (a final ".gz" aside), else by content; the
// title is the file title ("data/crp.pfm" -> "crp").
std::vector<CountMatrix> readMatrixFile(const std::string& path);

// The collection of one matrix, its model built against `background`:
// no sites, baseName the matrix ID, siteLength its columns, matrixCounts its
// columns and matrixSiteCount its siteCount().
SiteCollection collectionFromMatrix(const CountMatrix& matrix, const SequenceRecord& background);

// Every matrix of the file at `path` as a collection, in file order.
std::vector<SiteCollection> loadMatrixCollections(const std::string& path,
                                                  const SequenceRecord& background);

}  // namespace xoprex
