// A GFF3 annotation: the genes of FASTA records, as NCBI delivers genomes
// (a FASTA file and a GFF3 file beside it). Nine tab-separated columns a
// line; '#' lines are comments and directives, and a "##FASTA" line ends the
// annotation. Coordinates are 1-based and inclusive; the end of a feature
// across the origin of a circular sequence may exceed its length. Columns 1
// and 9 are percent-decoded (%09, %3B, ...).
//
// Genes are the CDS features: lines of one ID are the parts of one feature
// (its extent from the lowest coordinate of its parts to the highest, as
// the GenBank reader takes a join); its locus tag, gene name and product
// come from its attributes locus_tag, gene and product, and what it lacks
// from its Parent gene feature (locus_tag; gene, then Name unless Name is
// the locus tag, as NCBI names genes without a symbol). A file without CDS
// features gives its gene features instead (gene name from gene, then Name
// by the same rule). Other features are passed over.
// Strands: '+' direct, '-' complement; a gene or CDS of another strand is an
// error.
//
// Raises InputError (Format) naming the file and the line for a line of
// fewer or more than nine columns, a start or end that is not a whole number
// from 1 to 2^31 - 1, an end before the start, an unknown strand, an
// attribute that is not KEY=VALUE, or a bad percent escape; Unreadable for
// a file that cannot be read.
#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/records.h"

namespace xoprex {

struct AnnotatedGene {
    GeneRecord gene;
    size_t line = 0;  // of its (first) feature line, for messages
};

struct GeneAnnotation {
    std::string name;  // the file as messages name it
    // Each sequence's genes in file order, by seqid.
    std::unordered_map<std::string, std::vector<AnnotatedGene>> genes;
};

GeneAnnotation parseGff3(std::istream& in, const std::string& name);
// Reads the file at `path` (gzip data decompressed, "-" standard input).
GeneAnnotation readGff3File(const std::string& path);

}  // namespace xoprex
