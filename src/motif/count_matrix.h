// Count matrices as site collections. A count matrix gives, for every
// position of a motif, how many of its sites hold A, C, G and T; it has no
// sites of its own, except the site list a JASPAR .sites file gives. The
// readers take the text of a matrix file and return its matrices in file
// order; collectionFromMatrix turns one into a SiteCollection whose model is
// exactly the one sites with those counts give (the same counts, frequency
// table and scores, bit for bit), or, for a site list, the collection of
// its sites.
//
// Formats (keywords as written; extensions and base letters in any case):
//   JASPAR      (.jaspar, .pfm) ">ID NAME" then four rows A, C, G, T, each
//               "A [ c1 c2 ... ]" or the bare numbers; lettered rows may
//               come in any order. A file may hold several matrices; a file
//               of four rows without a header (the bare .pfm) is one matrix
//               titled by the file title. In a file without '>' lines, "#ID
//               NAME" heads a matrix the same way (the four-row layout).
//   JASPAR sites (.sites) FASTA records ">ID NAME N", each holding one site
//               in upper case within lower-case flanks: one site list, its
//               sites the upper-case runs (of one length), titled by the ID
//               the headers share (else the file title), named by the name
//               they share.
//   MEME        (.meme) the minimal motif format: "MEME version N" first;
//               the optional "ALPHABET= ACGT" (any other alphabet is
//               refused), "strands:" and "Background letter frequencies"
//               lines are passed over; each "MOTIF ID [ALT_ID]" is followed
//               by "letter-probability matrix: alength= 4 w= W nsites= N
//               E= ..." and W rows of four probabilities (A, C, G, T; each
//               from 0 to 1). MEME's text report (meme.txt) reads the same:
//               its banner comes before "MEME version", its "MOTIF ID
//               ALT_ID<TAB>width = ..." lines title the matrices, and every
//               other block (log-odds matrices, sites, block diagrams,
//               regular expressions) is passed over.
//   MEME XML    (.xml) MEME's XML output: every <motif name="ID" alt="ALT"
//               width="W" sites="N"> of <motifs> with its <probabilities>,
//               one <alphabet_array> of <value letter_id="..."> per position;
//               a letter id is the id of an <alphabet> <letter> entry (its
//               symbol the base) or the base itself.
//   Four-column (.cb for ClusterBuster) a row of four counts (A, C, G, T)
//               per position under ">ID NAME" headers, '#' lines being
//               comments (ClusterBuster's "# key value"), or under "#ID
//               NAME" headers in a file without '>' lines; rows without a
//               header are one matrix titled by the file title.
//   HOMER       (.motif, .motifs) ">CONSENSUS<TAB>NAME<TAB>threshold..."
//               then a row of four probabilities per position: titled by
//               the consensus, named by NAME.
//   TRANSFAC    (.transfac, .dat) records ending at "//" (or at an AC or ID
//               line after a matrix): "ID" (or else "AC") titles the matrix,
//               "NA" names it, "P0 A C G T" (or "PO"; the letters give the
//               column order) heads rows "01 c c c c [consensus]" of whole
//               or decimal counts numbered from 1; the matrix ends at the
//               first other line ("XX", "BA", ...). Other tags (DE, BF, BA,
//               BS, CC, ...) are passed over. A record without ID or AC is
//               titled TITLE_K (the file title and the matrix's place).
//
// A file is read in the format its content shows; its extension (a final
// ".gz" aside) decides only what the content leaves open: a file that
// shows no format, or whose matrices are all four rows of four numbers
// (four rows A, C, G, T of a four-wide matrix, or four positions of four
// counts; without the extension, the layout whose row totals (four
// columns) or column totals (four rows) alone are equal, as counted sites
// give, else four rows), and rows of four numbers under '>' headers, which
// are HOMER probabilities under a .motif name.
//
// Probabilities (MEME, MEME XML, HOMER) become counts: a count is
// probability x N, rounded to the nearest whole number when it lies within
// 1e-3 of it (the probabilities are printed rounded, so whole counts come
// back whole) and kept as it is otherwise. N is the motif's nsites= (MEME)
// or sites attribute (MEME XML); when the file gives none (MEME without
// nsites=, HOMER), the reading's defaultSites (MatrixReading, 20 unless set:
// probabilities alone do not say how many sites made them, and 20 is the
// customary assumption). The count layouts (JASPAR, four-column, TRANSFAC)
// take their numbers as counts, whatever they total.
//
// Every matrix has an ID (the title of its collection) and a name, its alt
// ID: MEME's alt ID, MEME XML's alt attribute, the rest of a JASPAR or
// four-column header, TRANSFAC's NA, HOMER's name; "" when there is none.
//
// The number of sites N of a matrix (SiteCollection::matrixSiteCount, the
// scoring's 1/N) is its largest column total. Column totals may differ, and
// that is not an error: sites with a gap or an unknown letter at a position
// count nothing there, so a site collection gives such columns itself, and
// its N is the number of sites, the largest total whenever one position is
// fully counted. Published matrices often have such columns. With equal
// totals (the usual case) N is their common total, and for a MEME matrix of
// whole counts N is its nsites. A site list's N is its number of sites.
//
// Failures raise InputError of kind Format with the one message line
// "Incorrect matrix file! - NAME, line N: PROBLEM" (without the line where
// none applies): no matrix at all, a matrix that is not four rows (A, C, G,
// T) of one length, a count that is not a number (or negative: log-odds and
// weight matrices are refused, or not finite), a position counting nothing
// (or beyond what a double holds), a MEME w= that differs from its rows, an
// alphabet other than ACGT, a TRANSFAC row out of its numbering, a .sites
// record without one upper-case site or with one of another length than
// the first, XML that does not parse, and the like. A file that cannot be
// read raises kind Unreadable ("Incorrect file name: PATH"); gzip faults
// are those of seqio/input_source.h.
#pragma once

#include <array>
#include <istream>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "motif/site_collection.h"
#include "seqio/sequence.h"

namespace xoprex {

inline constexpr double kMemeDefaultSites = 20.0;

// How the readers turn probabilities into counts.
struct MatrixReading {
    // N for probabilities whose file gives none; above 0.
    double defaultSites = kMemeDefaultSites;
};

struct CountMatrix {
    std::string id;                              // the title of its collection
    std::string name;                            // its alt ID ("" when none)
    std::vector<std::array<double, 4>> columns;  // per position: A, C, G, T
    // A site list's sites (upper case, of one length; columns are their
    // counts); empty for a matrix.
    std::vector<std::string> sites;

    // N: the number of sites of a site list, else the largest column total
    // (0 for no column).
    double siteCount() const;
};

// Unknown asks the readers to tell the format by content.
enum class MatrixFormat {
    Jaspar,
    Meme,
    Transfac,
    Unknown,
    JasparSites,
    MemeXml,
    FourColumn,
    Homer,
};

// The format an extension (without its '.', any case) names: "jaspar" and
// "pfm" JASPAR, "sites" JASPAR sites, "meme" MEME, "xml" MEME XML, "cb"
// four-column, "motif" and "motifs" HOMER, "transfac" and "dat" TRANSFAC;
// Unknown otherwise.
MatrixFormat matrixFormatOfExtension(const std::string& extension);

// The format the text shows: "MEME version" first (after the report's
// banner) MEME; '<' MEME XML; a TRANSFAC tag ("AC", "ID", "NA", "DE",
// "BF", "P0", "PO", "XX", "VV", "CC", "//", ...) TRANSFAC; a '>' header
// with a tab-separated number third HOMER; a '>' header over a line of
// letters JASPAR sites; headers and rows of numbers the layout their
// shapes show (JASPAR's four rows, else four columns); Unknown otherwise.
MatrixFormat matrixFormatOfContent(std::string_view text);

// The format a file is read in: its content's, `extension` (as for
// matrixFormatOfExtension) settling what the content leaves open (see
// above).
MatrixFormat matrixFormatOf(std::string_view text, const std::string& extension);

// The readers. `name` names the input in messages; `title` titles a matrix
// without a header (JASPAR, four-column), a TRANSFAC matrix without ID or
// AC and a site list whose headers share no ID. Each returns at least one
// matrix of at least one column, every column counting something.
std::vector<CountMatrix> readJasparMatrices(std::istream& in, const std::string& name,
                                            const std::string& title);
std::vector<CountMatrix> readJasparSites(std::istream& in, const std::string& name,
                                         const std::string& title);
std::vector<CountMatrix> readMemeMatrices(std::istream& in, const std::string& name,
                                          const MatrixReading& reading = {});
std::vector<CountMatrix> readMemeXmlMatrices(std::istream& in, const std::string& name,
                                             const MatrixReading& reading = {});
std::vector<CountMatrix> readFourColumnMatrices(std::istream& in, const std::string& name,
                                                const std::string& title);
std::vector<CountMatrix> readHomerMatrices(std::istream& in, const std::string& name,
                                           const MatrixReading& reading = {});
std::vector<CountMatrix> readTransfacMatrices(std::istream& in, const std::string& name,
                                              const std::string& title);

// The reader of `format`, or of the text's content when Unknown (an
// InputError when the content shows no format either).
std::vector<CountMatrix> readMatrices(std::string_view text, MatrixFormat format,
                                      const std::string& name, const std::string& title,
                                      const MatrixReading& reading = {});

// Reads the file at `path` (gzip data decompressed, "-" standard input) in
// the format matrixFormatOf gives; the title is the file title
// ("data/crp.pfm.gz" -> "crp", "-" -> "stdin").
std::vector<CountMatrix> readMatrixFile(const std::string& path, const MatrixReading& reading = {});

// The collection of one matrix, its model built against `background`:
// baseName the matrix ID, siteLength its columns; for a matrix no sites,
// matrixCounts its columns and matrixSiteCount its siteCount(); for a site
// list exactly the collection of its sites.
SiteCollection collectionFromMatrix(const CountMatrix& matrix, const SequenceRecord& background);

// Every matrix of the file at `path` as a collection, in file order.
std::vector<SiteCollection> loadMatrixCollections(const std::string& path,
                                                  const SequenceRecord& background,
                                                  const MatrixReading& reading = {});

// Tells apart matrices that share an ID: in order, an ID not in `taken`
// stays and is added to it; a later one becomes "ID.2", "ID.3", ... (the
// first not taken and not the ID of a later matrix of `matrices`), also
// added. Returns one message per renamed matrix, naming `name` (the file)
// and the matrix's place. Pass one `taken` through every file of a run.
std::vector<std::string> renameDuplicateIds(std::vector<CountMatrix>& matrices,
                                            std::unordered_set<std::string>& taken,
                                            const std::string& name);

}  // namespace xoprex
