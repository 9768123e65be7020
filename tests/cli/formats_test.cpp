// The TSV, BED and GFF3 results against the sequences they describe: every
// row's site is the target's sequence at its coordinates (reverse-
// complemented on the reverse strand, across the origin of circular
// records), real clients take the files, and the small example's files are
// pinned.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "random_text.h"
#include "temp_dir.h"

namespace {

using xoprex::testing::readFile;
using xoprex::testing::TempDir;

const std::string kExamples = std::string(XOPREX_EXAMPLES) + "/";
const std::string kData = std::string(XOPREX_TEST_DATA) + "/cli/";

int run(const std::string& command) {
    return WEXITSTATUS(std::system(command.c_str()));
}

std::vector<std::vector<std::string>> tsvRows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::vector<std::string> fields;
        std::istringstream row(line);
        for (std::string field; std::getline(row, field, '\t');) {
            fields.push_back(field);
        }
        rows.push_back(fields);
    }
    return rows;
}

char complement(char c) {
    static const std::map<char, char> pairs = {{'A', 'T'}, {'T', 'A'}, {'C', 'G'}, {'G', 'C'},
                                               {'N', 'X'}, {'X', 'N'}, {'R', 'Y'}, {'Y', 'R'}};
    const auto found = pairs.find(c);
    return found == pairs.end() ? '\0' : found->second;
}

// The forward sequence at 1-based start..end, running over the origin.
std::string span(const std::string& sequence, long start, long end) {
    std::string text;
    for (long i = start; i <= end; ++i) {
        text += sequence[static_cast<size_t>((i - 1) % static_cast<long>(sequence.size()))];
    }
    return text;
}

TEST(Formats, EverySiteIsTheSequenceAtItsCoordinates) {
    TempDir dir;
    std::mt19937 random(15);
    std::map<std::string, std::string> records;
    std::string fasta;
    for (int r = 0; r < 6; ++r) {
        const std::string name = "rec" + std::to_string(r);
        std::string sequence = xoprex::testing::randomText(
            r == 5 ? 12 : 300 + 997 * r, r % 2 == 0 ? "ACGT" : "ACGTACGTNR", 100 + r);
        if (r == 3) {
            sequence[40] = '-';  // a byte the reverse strand leaves out
            sequence[45] = '*';
        }
        records[name] = sequence;
        fasta += ">" + name + " record " + std::to_string(r) + "\n" + sequence + "\n";
    }
    dir.write("t.fas", fasta);
    dir.write("sites.txt", "TTGACATAT\nTTGACTTAT\nATGACATTA\nTTTACAAAT\n");
    for (const char* mode : {"", " --integrative -20,-1,1,20", " --keep-redundant"}) {
        const std::string command = std::string(XOPREX_CLI) +
                                    " search --sequence t.fas --collection sites.txt --no-log "
                                    "--method iseq --literal --threshold -4 --stdout tsv" +
                                    mode + " > t.tsv 2> log.txt";
        ASSERT_EQ(run(command), 0) << readFile("log.txt");
        const auto rows = tsvRows(readFile("t.tsv"));
        ASSERT_GT(rows.size(), 1000u) << mode;
        EXPECT_EQ(rows.front().at(0), "motif_id");
        EXPECT_EQ(rows.front().at(2), "record");
        size_t acrossOrigin = 0;
        for (size_t k = 1; k < rows.size(); ++k) {
            const auto& row = rows[k];
            ASSERT_EQ(row.size(), 21u);
            EXPECT_EQ(row[0], "sites");
            const std::string& sequence = records.at(row[2]);
            const long start = std::stol(row[3]);
            const long end = std::stol(row[4]);
            ASSERT_GE(start, 1);
            ASSERT_LE(start, static_cast<long>(sequence.size()));
            acrossOrigin += end > static_cast<long>(sequence.size()) ? 1 : 0;
            std::string expected = span(sequence, start, end);
            if (row[5] == "-") {
                std::string reversed;
                for (auto c = expected.rbegin(); c != expected.rend(); ++c) {
                    if (complement(*c) != '\0') {
                        reversed += complement(*c);
                    }
                }
                expected = reversed;
            }
            ASSERT_EQ(row[9], expected) << row[2] << " " << row[3] << " " << row[5] << mode;
        }
        EXPECT_GT(acrossOrigin, 0u) << mode;
    }
    // Sites across the origin make circular regions, which a validator takes.
    if (run("command -v gt > /dev/null") == 0) {
        ASSERT_EQ(run(std::string(XOPREX_CLI) +
                      " search --sequence t.fas --collection sites.txt --no-log --method iseq "
                      "--literal --threshold -4 --format gff3 > out.txt 2>&1"),
                  0);
        const std::string gff = readFile("t_sites_Iseq_-4.000.gff3");
        EXPECT_NE(gff.find("Is_circular=true"), std::string::npos);
        EXPECT_EQ(run("gt gff3validator t_sites_Iseq_-4.000.gff3 > gt.txt 2>&1"), 0)
            << readFile("gt.txt");
    }
}

TEST(Formats, RealClientsReadTheFiles) {
    TempDir dir;
    // pPCP1 as a circular record whose first bases form a site: a site
    // across the origin.
    const std::string search = std::string(XOPREX_CLI) + " search --sequence " + kExamples +
                               "pPCP1.gbk --collection " + kExamples +
                               "crp_sites.txt --no-log --method iseq --literal --threshold 2 "
                               "--format tsv,bed,gff3 > out.txt 2>&1";
    ASSERT_EQ(run(search), 0) << readFile("out.txt");
    const std::string table = "pPCP1_crp_sites_Iseq_2.000";
    if (run("command -v gt > /dev/null") == 0) {
        EXPECT_EQ(run("gt gff3validator " + table + ".gff3 > gt.txt 2>&1"), 0)
            << readFile("gt.txt");
    }
    if (run("command -v bedtools > /dev/null") == 0) {
        // The sequence as FASTA, named after the record.
        std::ifstream genBank(kExamples + "pPCP1.gbk");
        std::string line, sequence;
        bool origin = false;
        while (std::getline(genBank, line)) {
            if (line.rfind("ORIGIN", 0) == 0) {
                origin = true;
            } else if (origin && line.rfind("//", 0) != 0) {
                for (const char c : line) {
                    if (std::isalpha(static_cast<unsigned char>(c))) {
                        sequence += static_cast<char>(std::toupper(c));
                    }
                }
            }
        }
        const auto rows = tsvRows(readFile(table + ".tsv"));
        ASSERT_GT(rows.size(), 10u);
        std::ofstream(dir.file("genome.fa")) << ">" << rows[1][2] << "\n" << sequence << "\n";
        ASSERT_EQ(run("bedtools getfasta -s -name -tab -fi genome.fa -bed " + table +
                      ".bed > got.txt 2> err.txt"),
                  0)
            << readFile("err.txt");
        // Each line is named after the motif; the pieces cut from the BED
        // lines, in order, give each TSV row's site, the halves of a site
        // across the origin (NAME/1, NAME/2) joined in its reading order.
        std::vector<std::pair<std::string, std::string>> pieces;  // name, bases
        std::istringstream got(readFile("got.txt"));
        for (std::string name, bases; got >> name >> bases;) {
            pieces.emplace_back(name.substr(0, name.find("::")), bases);
        }
        size_t next = 0;
        for (size_t k = 1; k < rows.size(); ++k) {
            const auto& row = rows[k];
            ASSERT_LT(next, pieces.size());
            std::string site = pieces[next].second;
            if (pieces[next++].first == "crp_sites/1") {
                ASSERT_EQ(pieces[next].first, "crp_sites/2");
                site = row[5] == "+" ? site + pieces[next].second : pieces[next].second + site;
                ++next;
            } else {
                EXPECT_EQ(pieces[next - 1].first, "crp_sites");
            }
            EXPECT_EQ(site, row[9]) << row[3];
        }
        EXPECT_EQ(next, pieces.size());
    }
}

}  // namespace
