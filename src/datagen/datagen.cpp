// Placeholder until the data generation lands.
#include "datagen/datagen.h"

bool parseDataGenArgs(int, char**, DataGenConfig&) { return false; }
int runDataGen(const DataGenConfig&) { return 1; }
