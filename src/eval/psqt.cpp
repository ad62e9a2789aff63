// Material values, phase weights and piece-square tables, and the combined kPsq table that the Board
// sums incrementally. kPsq is built by the compiler from the tables, so the two cannot drift apart.
#include "eval/psqt.h"

namespace EvalParams {

constexpr int kMgValue[6] = {93, 380, 374, 493, 1283, 0};
constexpr int kEgValue[6] = {153, 323, 359, 635, 1015, 0};
constexpr int kPhaseWeight[6] = {0, 1, 1, 2, 4, 0};

// Printed as White sees the board: rank 8 first, index 0 = a8, 63 = h1. The pawn rows of ranks 1
// and 8 are fillers that no pawn ever reads.
constexpr int kPSTMG[6][64] = {
    {  // pawn
         -14,  -14,  -14,  -14,  -14,  -14,  -14,  -14,
         112,   99,   82,   45,   50,   13,   68,  105,
         -31,    6,  -21,   29,   18,   60,  -12,   -5,
         -17,  -10,   -6,   19,   31,    6,    3,  -19,
         -28,  -31,   -8,   11,    5,    4,  -26,  -27,
         -16,  -32,  -13,  -15,  -11,  -10,   -4,  -23,
         -33,  -27,  -35,  -28,  -30,    7,   -4,  -29,
         -14,  -14,  -14,  -14,  -14,  -14,  -14,  -14,
    },
    {  // knight
        -137,  -32,  -57,  -47,   -3,  -20,  -30,  -71,
         -25,    9,   11,   27,   -2,    8,    9,  -29,
           3,   31,   23,   34,   33,   38,   25,  -16,
          -1,   10,   34,   39,   33,   31,   14,    1,
          -3,   16,   24,   26,   28,   32,    0,    7,
         -18,   13,   12,   27,   20,   15,    9,  -14,
         -24,  -24,   -5,   14,    9,   13,    6,    5,
         -68,   -5,  -16,   -5,  -15,  -12,   -4,   -3,
    },
    {  // bishop
          -5,   -1,  -18,   -8,  -19,    0,  -56,    2,
         -13,   19,   -7,   11,    7,    1,    1,  -26,
         -17,    7,    8,   16,   14,   10,   19,  -10,
          -2,    9,   20,   17,   11,   11,    8,  -11,
           6,    2,    3,   14,   18,   11,   10,    2,
          -8,   15,    8,   10,   10,    6,   11,  -11,
         -20,    7,    4,    7,    6,  -10,   15,    4,
         -12,  -17,   -8,  -14,   -6,  -13,  -29,  -22,
    },
    {  // rook
          20,    6,    5,   14,   19,   21,   13,   20,
          17,    7,   19,   27,   24,   15,    8,   18,
           9,    7,    9,   17,   12,    8,   18,   14,
           8,    1,    9,    4,   16,   10,   -4,   12,
          -9,   -9,   -1,  -10,   -9,   -5,   13,  -11,
         -24,  -18,  -17,  -11,  -12,  -13,   -6,  -17,
         -29,  -24,  -14,  -18,  -18,  -21,  -21,  -29,
         -12,   -8,  -12,   -8,   -8,   -1,  -13,  -13,
    },
    {  // queen
         -26,   -9,   17,   27,    2,    4,   18,   -8,
          -8,  -10,    6,    8,   16,   25,   28,   15,
         -19,    7,   13,   21,   35,   30,   17,   20,
          -5,   -8,    7,   -3,   12,    1,    0,   -7,
         -11,   -7,   -4,   -8,    1,   -4,   -1,  -14,
         -12,    0,    8,    3,    1,   -3,    6,  -20,
         -13,  -19,   10,   11,   12,   12,   -8,   -6,
         -40,  -22,   -7,    9,   -9,  -41,  -32,  -20,
    },
    {  // king
         131,  -39, -136,   40,  -11,  352,  399,  217,
        -105,  166,  -29,   14,    0,  -39,  132,   11,
          42,   16,    1, -152,  -92,  -71,   27,   51,
         -17,  -25, -118,  -30,  -48,  -67,   -1,  -57,
           7,   32,    5,  -74,  -64,  -67,  -36,  -95,
           8,  -11,  -58,  -46,  -50,  -41,   -2,  -74,
          51,   -3,  -24,  -39,  -28,  -29,   -1,    8,
          22,   53,   27,  -37,  -14,  -33,   38,   16,
    },
};

constexpr int kPSTEGPawn[64] = {
     -26,  -26,  -26,  -26,  -26,  -26,  -26,  -26,
     149,  150,  144,  151,  127,  168,  165,  138,
      30,    2,   12,   -3,  -26,  -21,   23,    3,
      -3,   -9,  -21,  -27,  -37,  -19,  -16,  -12,
      -7,  -17,  -31,  -44,  -43,  -36,  -10,  -23,
     -23,  -22,  -30,  -27,  -31,  -30,  -31,  -29,
     -22,  -21,   -9,  -46,  -44,  -26,  -32,  -26,
     -26,  -26,  -26,  -26,  -26,  -26,  -26,  -26,
};

constexpr int kKingEG[64] = {
    -130,   -4,   27,  -29,   31,  -10,   76,  -85,
     -28,    5,   57,   21,   16,   56,   53,    2,
      19,   67,   47,   55,   50,   68,   70,   10,
      -1,   49,   56,   26,   33,   44,   38,   -4,
     -29,    3,   15,   30,   29,   25,   20,  -10,
     -41,  -18,    8,   16,   17,    6,  -14,  -27,
     -64,  -33,  -11,   -5,  -10,  -10,  -28,  -42,
     -72,  -85,  -49,  -36,  -52,  -46,  -71,  -99,
};

}  // namespace EvalParams

namespace {

// One entry of kPsq, by its flat index ((half * 2 + color) * 6 + piece) * 64 + square.
constexpr int psqEntry(int index) {
  using namespace EvalParams;
  const int s = index & 63;
  const int p = (index >> 6) % 6;
  const int c = (index / 384) & 1;
  const int half = index / 768;
  if (p == King) return 0;  // kings are scored by the king term of the evaluation, not here
  const int t = c == White ? s ^ 56 : s;  // White reads the table mirrored vertically
  int v;
  if (half == 0)
    v = kMgValue[p] + kPSTMG[p][t];
  else
    v = kEgValue[p] + (p == Pawn ? kPSTEGPawn[t] : kPSTMG[p][t]);
  return c == White ? v : -v;
}

}  // namespace

// A C array cannot be returned from a constexpr function, so the 1536 entries are listed by macro
// expansion; each is still a constant expression, and constinit proves it.
#define QV_PSQ4(i) psqEntry(i), psqEntry((i) + 1), psqEntry((i) + 2), psqEntry((i) + 3)
#define QV_PSQ16(i) QV_PSQ4(i), QV_PSQ4((i) + 4), QV_PSQ4((i) + 8), QV_PSQ4((i) + 12)
#define QV_PSQ64(i) {QV_PSQ16(i), QV_PSQ16((i) + 16), QV_PSQ16((i) + 32), QV_PSQ16((i) + 48)}
#define QV_PSQCOLOR(i)                                                                          \
  {                                                                                             \
    QV_PSQ64(i), QV_PSQ64((i) + 64), QV_PSQ64((i) + 128), QV_PSQ64((i) + 192), QV_PSQ64((i) + 256), \
        QV_PSQ64((i) + 320)                                                                     \
  }
#define QV_PSQHALF(i) {QV_PSQCOLOR(i), QV_PSQCOLOR((i) + 384)}

constinit const int kPsq[2][2][6][64] = {QV_PSQHALF(0), QV_PSQHALF(768)};

#undef QV_PSQHALF
#undef QV_PSQCOLOR
#undef QV_PSQ64
#undef QV_PSQ16
#undef QV_PSQ4

constinit const int kNonPawnValue[6] = {0, EvalParams::kMgValue[Knight], EvalParams::kMgValue[Bishop],
                                        EvalParams::kMgValue[Rook], EvalParams::kMgValue[Queen], 0};
