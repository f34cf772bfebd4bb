// Levels built with frame pointers, the earlier calls that leave stale frames behind, and the
// throw that is caught, rethrown and caught again.
#include "AccuracyCorpus.h"

namespace {

CORPUS_CALL int Count(TWalk& walk, int value)
{
    volatile int spare[3] = {value, value + 1, value + 2};
    return spare[value & 1] + *walk.target;
}

CORPUS_CALL int Tally(TWalk& walk, int value)
{
    volatile int spare[6] = {};
    spare[value % 6] = Count(walk, value);
    return spare[(value + 1) % 6] + 1;
}

struct TFailure {
    int depth;
};

CORPUS_CALL int Throws(TWalk& walk, int depth)
{
    Note(walk, depth);
    throw TFailure{depth};
}

CORPUS_CALL int Rethrows(TWalk& walk, int depth)
{
    try {
        return Throws(walk, depth) + 1;
    } catch (...) {
        Tally(walk, depth);
        throw;
    }
}

} // namespace

// A large frame, so that the return addresses of its own calls stay deep below the next call.
CORPUS_CALL int Note(TWalk& walk, int depth)
{
    volatile int scratch[16] = {};
    scratch[depth & 15] = Tally(walk, depth);
    return scratch[(depth + 3) & 15] + 1;
}

CORPUS_CALL int Catches(TWalk& walk, int depth)
{
    try {
        return Rethrows(walk, depth);
    } catch (const TFailure& failure) {
        return FramedLevel0(walk, failure.depth);
    }
}

CORPUS_UNIT(FramedLevel, LeanLevel, FramedCrash)

TStep const kSteps[16] = {FramedLevel0, FramedLevel1, FramedLevel2, FramedLevel3, FramedLevel4, FramedLevel5,
                          FramedLevel6, FramedLevel7, LeanLevel0,   LeanLevel1,   LeanLevel2,   LeanLevel3,
                          LeanLevel4,   LeanLevel5,   LeanLevel6,   LeanLevel7};

extern "C" __declspec(dllexport) int CorpusRun(TWalk* walk, int depth)
{
    return FramedLevel0(*walk, depth);
}
