// What the yardstick programs share (bench_baseline, bench_streaming): their
// command line
//   PROGRAM TARGET.fna SITES.txt [--method M] [--threshold T | --cutoff C]
// and the model it names: the collection's term table under a uniform
// background and the cut-off by the search's rule (by default the threshold,
// 0.8, is a share of a normal distribution fitted to the collection's
// self-scores; with --cutoff the value is taken literally).
#pragma once

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "motif/cutoff.h"
#include "motif/scoring.h"
#include "motif/site_collection.h"
#include "options/options.h"

namespace xoprex::bench {

struct Yardstick {
    std::string program;
    std::string targetPath;
    SiteCollection collection;
    TermTable terms;
    int method = 5;
    double cutOff = 0.0;
    bool lowerBetter = false;

    [[noreturn]] void fail(const std::string& message) const {
        std::cerr << program << ": " << message << "\n";
        std::exit(2);
    }
};

inline double parseNumber(const Yardstick& y, const char* text, const char* what) {
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0') {
        y.fail(std::string("not a number for ") + what + ": '" + text + "'");
    }
    return value;
}

inline Yardstick yardstickFrom(int argc, char** argv, const std::string& program) {
    Yardstick y;
    y.program = program;
    if (argc < 3) {
        y.fail("usage: " + program + " TARGET.fna SITES.txt [--method M] " +
               "[--threshold T | --cutoff C]");
    }
    y.targetPath = argv[1];
    const std::string sitesPath = argv[2];
    double threshold = 0.8;
    bool literal = false;
    for (int i = 3; i < argc; ++i) {
        const std::string flag = argv[i];
        if (i + 1 >= argc) {
            y.fail("missing value after " + flag);
        }
        const char* value = argv[++i];
        if (flag == "--method") {
            const double m = parseNumber(y, value, "--method");
            if (!(m >= 1 && m <= 11) || m != static_cast<int>(m)) {
                y.fail("method must be a whole number from 1 to 11");
            }
            y.method = static_cast<int>(m);
        } else if (flag == "--threshold") {
            threshold = parseNumber(y, value, "--threshold");
            literal = false;
        } else if (flag == "--cutoff") {
            threshold = parseNumber(y, value, "--cutoff");
            literal = true;
        } else {
            y.fail("unknown flag " + flag);
        }
    }

    std::ifstream sitesFile(sitesPath);
    if (!sitesFile) {
        y.fail("cannot open " + sitesPath);
    }
    SiteCollection& collection = y.collection;
    collection.sites = readCollectionSites(sitesFile, false);
    if (collection.sites.empty()) {
        y.fail("no sites in " + sitesPath);
    }
    collection.siteLength = collection.sites.front().siteLength;
    for (const SiteHit& site : collection.sites) {
        if (site.siteLength != collection.siteLength) {
            y.fail("the sites of " + sitesPath + " differ in length");
        }
    }
    const SequenceRecord background;  // uniform letters, entropy 2 bits
    buildModel(collection, background);
    y.terms = TermTable(y.method, collection, background);
    std::vector<double> selfScores;
    for (const SiteHit& site : collection.sites) {
        selfScores.push_back(y.terms.score(site.site.data()));
    }
    y.cutOff = cutOffFromScores(selfScores, threshold, literal, y.method);
    y.lowerBetter = lowerIsBetter(y.method);
    return y;
}

}  // namespace xoprex::bench
