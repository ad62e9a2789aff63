// The combined kPsq table that the Board sums incrementally, built by the compiler from the
// evaluation's tables so that the two cannot drift apart.
#include "psqt/psqt.h"

#include "eval/params.h"

namespace EvalParams {
constexpr int kPhaseWeight[6] = {0, 1, 1, 2, 4, 0};
}

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
  return c == White ? kSquareValue[half][p][t] : -kSquareValue[half][p][t];
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
