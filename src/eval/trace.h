// The evaluation trace printer and the consistency checks of the incremental and cached values.
#pragma once

#include "board/board.h"
#include "eval/params.h"

// While set, every evaluate call prints its terms to standard output. Only the "evaltrace"
// subcommand sets it, never during a search (threads would interleave their tables).
extern bool gEvalTrace;

// terms: material+psqt, king, bishop pair, mobility, king safety, rooks, pawns, total.
void traceEval(const ScorePair terms[8], int phase, int scale, int whiteValue, Color sideToMove);

// The Board's incremental psqMg, psqEg, nonPawnMaterial[White], nonPawnMaterial[Black] and capped
// phase, then the same five recounted from the piece bitboards.
void evalStateCheck(const Board& b, int& psqMg, int& psqEg, int& npmWhite, int& npmBlack, int& phase,
                    int& freshMg, int& freshEg, int& freshNpmWhite, int& freshNpmBlack,
                    int& freshPhase);

// The pawn-structure pair through the pawn hash, then computed without it.
void evalPawnsCheck(const Board& b, int& hashedMg, int& hashedEg, int& rawMg, int& rawEg);
