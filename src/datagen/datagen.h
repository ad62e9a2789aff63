// Self-play data generation ("datagen") and the feature export ("featureexport"); the lines both
// read and write are in src/formats.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "board/board.h"

class Thread;

inline constexpr int kMaxDataGenThreads = 256;

struct DataGenConfig {
  long long games = 1000;
  std::string out = "data.txt";
  unsigned long long seed = 1;
  long long nodes = 5000;
  int maxdepth = 12;
  int randomplies = 8;
  int openingcap = 200;
  int openingtries = 12;
  int resign = 1000;
  int resignplies = 6;
  int draw = 8;
  int drawplies = 12;
  int drawmin = 40;
  int maxplies = 400;
  int evalcap = 2000;
  bool skipcheck = true;
  bool skipquiet = true;
  bool score = true;
  long long progress = 100;
  int threads = 1;  // games played side by side; the file is the same for every count
  // Opt-in thinning (0 = off, the file is then the one of the plain settings): at most sample
  // positions per game, drawn with the game's own generator after the game, and none before
  // ply minply of the game counted from the start position (the random plies included).
  int sample = 0;
  int minply = 0;
};

enum class GameResult { WhiteWin = 0, Draw = 1, BlackWin = 2 };

// One kept position of a game: its FEN and the search score from White's view.
struct Sample {
  std::string fen;
  int score;
};

// Settings after the subcommand name; false (after a message on standard error) on an unknown key,
// a third positional argument or a thread count outside 1..kMaxDataGenThreads.
bool parseDataGenArgs(int count, char** arguments, DataGenConfig& config);
// Returns the exit status: 0, or 1 when the output file cannot be opened.
int runDataGen(const DataGenConfig& config);

// Plays one game from the position on thread.board with the game rules of config, appending the
// kept positions to samples (minply applies here, sample does not). The caller clears the tables
// first.
GameResult playDataGenGame(Thread& thread, const DataGenConfig& config, std::vector<Sample>& samples);
// Keeps at most count of the samples, chosen uniformly with gen, in their order; draws nothing
// when count is 0 or less or there are no more samples than count.
void thinSamples(std::vector<Sample>& samples, int count, std::mt19937_64& gen);
// No pawn, rook or queen on the board and fewer than two minors, or exactly two bishops on squares
// of one colour.
bool insufficientMaterial(const Board& b);

// Returns the exit status, 0 or 1.
int runFeatureExport(const std::string& inputPath, const std::string& outputPath);
