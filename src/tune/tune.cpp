// Placeholder.
#include "tune/tune.h"
int runTuneParams() { return 0; }
int runTuneVerify() { return 0; }
