// Feature extraction: the evaluation itself, run with recording, gives the coefficients; and the
// reconstruction of an evaluation from a trace and a vector.
#include <cstring>

#include "eval/eval.h"
#include "tune/tune.h"

namespace Tune {

void extract(const Board& b, Trace& t) {
  t.mgBase = t.egBase = 0;
  std::memset(t.coefMg, 0, sizeof(t.coefMg));
  std::memset(t.coefEg, 0, sizeof(t.coefEg));
  EvalBreakdown e;
  evalCoefficients(b, e, t.mgBase, t.egBase, t.coefMg, t.coefEg);
  t.phase = e.phase;
  // The scale factor depends on the sign of the endgame sum, so it stays fixed at the value the
  // engine's own numbers give.
  t.scale = e.scale;
}

int reconstruct(const Board& b, const Trace& t, const int v[NPARAMS]) {
  int mg = t.mgBase, eg = t.egBase;
  for (int i = 0; i < NPARAMS; ++i) {
    mg += t.coefMg[i] * v[i];
    eg += t.coefEg[i] * v[i];
  }
  const int x = fiftyMoveDamped(blend(mg, eg, t.phase, t.scale), b.halfmoveClock);
  return b.side == White ? x : -x;
}

}  // namespace Tune
