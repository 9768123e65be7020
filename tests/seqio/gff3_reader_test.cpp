// The GFF3 reader: what genes it takes from an NCBI-style file, and its
// faults, one malformed line a row.
#include "seqio/gff3_reader.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/errors.h"

namespace {

using xoprex::GeneAnnotation;
using xoprex::InputError;

GeneAnnotation parse(const std::string& text) {
    std::istringstream in(text);
    return xoprex::parseGff3(in, "a.gff3");
}

TEST(Gff3Reader, TakesTheCdsFeaturesWithTheirGenesTexts) {
    const GeneAnnotation annotation = parse(
        "##gff-version 3\n"
        "#!comment\n"
        "NC_1.1\tRefSeq\tregion\t1\t5000\t.\t+\t.\tID=NC_1.1:1..5000;Is_circular=true\n"
        "NC_1.1\tRefSeq\tgene\t100\t400\t.\t+\t.\tID=gene-b1;Name=thrL;locus_tag=b1\n"
        "NC_1.1\tRefSeq\tCDS\t100\t400\t.\t+\t0\tID=cds-1;Parent=gene-b1;Name=NP_1.1;"
        "product=thr operon leader%2C peptide%3B x\n"
        "NC_1.1\tRefSeq\tgene\t700\t1500\t.\t-\t.\tID=gene-b2;Name=b2;locus_tag=b2\n"
        "NC_1.1\tRefSeq\tCDS\t700\t900\t.\t-\t0\tID=cds-2;Parent=gene-b2;gene=yaaX\n"
        "NC_1.1\tRefSeq\tCDS\t1000\t1500\t.\t-\t0\tID=cds-2;Parent=gene-b2;gene=yaaX\n"
        "NC_1.1\tRefSeq\ttRNA\t2000\t2070\t.\t+\t.\tID=rna-1\n"
        "NC_1.1\tRefSeq\tgene\t3000\t3300\t.\t+\t.\tID=gene-b3;Name=b3;locus_tag=b3\n"
        "NC_1.1\tRefSeq\tCDS\t3000\t3300\t.\t+\t0\tID=cds-3;Parent=gene-b3;Name=NP_3.1\n"
        "pl%3B2\tRefSeq\tCDS\t5\t50\t.\t+\t0\tlocus_tag=p1; product=plasmid protein\n"
        "##FASTA\n"
        ">NC_1.1\nnot a feature\tline\n");
    ASSERT_EQ(annotation.genes.size(), 2u);
    const auto& genes = annotation.genes.at("NC_1.1");
    ASSERT_EQ(genes.size(), 3u);
    EXPECT_EQ(genes[0].gene.begin, 100);
    EXPECT_EQ(genes[0].gene.end, 400);
    EXPECT_TRUE(genes[0].gene.sense);
    EXPECT_EQ(genes[0].gene.locus, "b1");
    EXPECT_EQ(genes[0].gene.gene, "thrL");  // the gene's Name, not the CDS's
    EXPECT_EQ(genes[0].gene.product, "thr operon leader, peptide; x");
    // Two parts of one CDS: one gene from the lowest to the highest end.
    EXPECT_EQ(genes[1].gene.begin, 1500);
    EXPECT_EQ(genes[1].gene.end, 700);
    EXPECT_FALSE(genes[1].gene.sense);
    EXPECT_EQ(genes[1].gene.locus, "b2");
    EXPECT_EQ(genes[1].gene.gene, "yaaX");
    EXPECT_EQ(genes[1].line, 7u);
    // A gene named by its locus tag has no gene name (nor the CDS's Name).
    EXPECT_EQ(genes[2].gene.locus, "b3");
    EXPECT_EQ(genes[2].gene.gene, "");
    const auto& plasmid = annotation.genes.at("pl;2");
    ASSERT_EQ(plasmid.size(), 1u);
    EXPECT_EQ(plasmid[0].gene.product, "plasmid protein");

    // Without CDS features, the gene features.
    const GeneAnnotation genesOnly = parse("c\tx\tgene\t10\t90\t.\t-\t.\tName=abc;locus_tag=t1\n");
    ASSERT_EQ(genesOnly.genes.at("c").size(), 1u);
    EXPECT_EQ(genesOnly.genes.at("c")[0].gene.gene, "abc");
    EXPECT_EQ(genesOnly.genes.at("c")[0].gene.begin, 90);
}

TEST(Gff3Reader, RefusesMalformedLinesNamingThem) {
    struct Fault {
        const char* line;
        const char* problem;
    };
    const std::vector<Fault> faults = {
        {"c\tx\tCDS\t10\t90\t.\t+\t0", "8 tab-separated columns instead of nine"},
        {"c x CDS 10 90 . + 0 ID=a", "1 tab-separated columns"},
        {"c\tx\tCDS\t10\t90\t.\t+\t0\tID=a\textra", "10 tab-separated columns"},
        {"c\tx\tCDS\tten\t90\t.\t+\t0\tID=a", "the start \"ten\" is not a whole number"},
        {"c\tx\tCDS\t0\t90\t.\t+\t0\tID=a", "the start \"0\""},
        {"c\tx\tCDS\t10\t3000000000\t.\t+\t0\tID=a", "the end \"3000000000\""},
        {"c\tx\tCDS\t90\t10\t.\t+\t0\tID=a", "the end 10 lies before the start 90"},
        {"c\tx\tCDS\t10\t90\t.\tplus\t0\tID=a", "the strand \"plus\""},
        {"c\tx\tCDS\t10\t90\t.\t.\t0\tID=a", "a CDS feature needs the strand + or -"},
        {"c\tx\tgene\t10\t90\t.\t?\t.\tID=a", "a gene feature needs the strand + or -"},
        {"c\tx\tCDS\t10\t90\t.\t+\t0\tID", "the attribute \"ID\" is not KEY=VALUE"},
        {"c\tx\tCDS\t10\t90\t.\t+\t0\tproduct=50%", "the attribute \"product=50%\""},
        {"c\tx\tCDS\t10\t90\t.\t+\t0\tproduct=%zz", "is not KEY=VALUE"},
        {"%\tx\tCDS\t10\t90\t.\t+\t0\tID=a", "the sequence name \"%\""},
    };
    for (const Fault& fault : faults) {
        try {
            parse("##gff-version 3\nc\tx\tgene\t1\t5\t.\t+\t.\tID=g\n" + std::string(fault.line) +
                  "\n");
            ADD_FAILURE() << fault.line << ": accepted";
        } catch (const InputError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find("a.gff3, line 3: "), std::string::npos) << message;
            EXPECT_NE(message.find(fault.problem), std::string::npos) << message;
            EXPECT_EQ(error.path(), "a.gff3");
        }
    }
}

}  // namespace
