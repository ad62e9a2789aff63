// Alpha-beta and quiescence search, iterative deepening with aspiration windows, output helpers.
#pragma once

#include <atomic>
#include <string>

#include "board/board.h"

class Thread;

constexpr int kMateScore = 30000;
constexpr int kInfinite = 32000;
constexpr int kMateBound = 29744;
constexpr int kMaxPly = 128;

struct SearchStack {
  i32 ply;
  u32 excludedMove;
  u32 currentMove;
};

namespace Search {
void init();
}

extern int kLMR[64][64];
extern std::atomic<i64> gLastInfoMs;

int alphaBeta(Thread& thread, Board& board, int alpha, int beta, int depth, SearchStack* ss,
              bool cutNode);
int quiesce(Thread& thread, Board& board, int alpha, int beta, int ply, int qply);
void iterativeDeepening(Thread& thread);
int aspirationSearch(Thread& thread, Board& board, int depth, int previousScore, SearchStack* ss);
std::string formatScore(int score);
std::string buildPV(Board board, unsigned int firstMove);
u32 nonPawnKey(const Board& b, Color c);

// Benchmark and fixed-budget drivers (run on the calling thread, no pool, no info output). The
// benchmark returns false, having printed nothing, when the system refuses its search thread.
bool runBenchSearch(int depth);
u32 searchForDataGen(Thread& thread, int maxDepth, long long nodeLimit, int& score);

// Move-ordering self-check; returns true when a mismatch was found.
bool runMovePickerOrderTest();
