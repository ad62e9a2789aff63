// Placeholder until the data tools land.
#include "datagen/datagen.h"

bool parseDataGenArgs(int, char**, DataGenConfig&) { return false; }
int runDataGen(const DataGenConfig&) { return 1; }
bool parseDataGenLine(const std::string&, DataGenSample&) { return false; }
int runFeatureExport(const std::string&, const std::string&) { return 1; }
