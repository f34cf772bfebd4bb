#pragma once
// The stack tracer measured over the accuracy corpus: i686 chains of known calls (see
// make_accuracy_corpus.py) traced through the memory seam over the corpus's own images, each
// traced chain compared with the true one.
#include <map>
#include <optional>
#include <string>

struct TAccuracyTally {
    int chains = 0;
    int exactChains = 0;     // listed exactly as the true chain
    int trueFrames = 0;      // return addresses of the true chains
    int found = 0;           // of them listed
    int stale = 0;           // listed frames that are no part of the true chain
    int staleAboveCrash = 0; // chains with a stale frame listed between the crash and its caller

    int Missing() const { return trueFrames - found; }
    double FoundPercent() const { return trueFrames ? 100.0 * found / trueFrames : 0; }
    // Of the frames listed besides the crash address and the thread start.
    double StalePercent() const { return found + stale ? 100.0 * stale / (found + stale) : 0; }
    void Add(const TAccuracyTally& other);
};

struct TAccuracyReport {
    std::map<std::string, TAccuracyTally> kinds;
    TAccuracyTally total;
};

struct TAccuracyCorpusFiles {
    std::string corpusDll; // with its debug information in a side file beside it
    std::string systemDll; // without debug information
    std::string truth;     // the chains
};

// None when a file is missing or unreadable.
std::optional<TAccuracyReport> MeasureStackAccuracy(const TAccuracyCorpusFiles& files);
