// Levels built without frame pointers.
#include "AccuracyCorpus.h"

CORPUS_UNIT(LeanLevel, FramedLevel, LeanCrash)
