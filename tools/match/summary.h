// The results of a run or of merged shards: counts, statistics, the terminal report and the JSON
// summary, and the merge of several summaries.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "tools/match/match.h"

namespace Match {

struct Summary {
  std::string names[2];
  i64 wins = 0, draws = 0, losses = 0;  // the first engine's
  Pentanomial penta{};
  i64 faults[2][kFaultKinds]{};
  SprtSettings sprt;
  // What must agree between shards of one run: engines, limits, games, seed, openings, SPRT.
  std::string identity;
  std::string settingsJson;           // the run's settings as a JSON object
  std::vector<std::string> gameJson;  // one JSON object per finished game
  std::vector<i64> pairsDone;         // pairs with both games finished
  i64 pairsPlanned = 0;               // pairs this run (or shard) was to play
  bool finished = false;  // the run came to its end; a summary rewritten while games go on says false
  bool interrupted = false;
  bool stoppedByFault = false;
  bool sprtStopped = false;
  int shardIndex = 0, shardCount = 1;
  std::vector<int> mergedShards;      // merge: the shard indices summed
  double managerCpu = -1, enginesCpu = -1;  // seconds of CPU (user + system); -1: not measured

  i64 games() const { return wins + draws + losses; }
  double llr() const;
};

std::string summaryJson(const Summary& s);
// Writes beside the target and renames, so the file is whole or untouched; false with a message.
bool writeFileAtomically(const std::string& path, const std::string& text, std::string& error);
// The final report: score, Elo, LOS, draw ratio, pentanomial, SPRT, faults.
void printReport(std::ostream& out, const Summary& s);
// One line of progress after `games` finished games.
std::string progressLine(const Summary& s, i64 plannedGames);

// quorvane-match merge [-jsonout FILE] A.json B.json ...: the arguments after "merge".
int runMerge(const std::vector<std::string>& args);

}  // namespace Match
