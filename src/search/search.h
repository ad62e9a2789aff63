// Alpha-beta and quiescence search, iterative deepening with aspiration windows, output helpers.
#pragma once

#include <atomic>
#include <string>

#include "board/board.h"
#include "board/score.h"

class Thread;

struct SearchStack {
  i32 ply;
  u32 excludedMove;
  u32 currentMove;
};

namespace Search {
void init();
}

// Start-up of the engine's read-only tables, shared by the program and the test environments:
// initEvalTables, then Search::init; once per process. The transposition table is sized by the
// caller.
void initEngineTables();

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
