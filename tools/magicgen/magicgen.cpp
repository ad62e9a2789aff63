// Finds collision-free magic multipliers for the standard relevant masks (shift = 64 - bits) and
// prints them as the C++ arrays kept in src/attacks/attacks.cpp. Deterministic (fixed seed).
// Build: g++ -std=c++20 -O2 -o magicgen tools/magicgen/magicgen.cpp && ./magicgen
#include <cstdint>
#include <cstdio>
#include <vector>

using u64 = std::uint64_t;

static u64 gState = 0x9e3779b97f4a7c15ull;

static u64 rand64() {  // xorshift64*
  gState ^= gState >> 12;
  gState ^= gState << 25;
  gState ^= gState >> 27;
  return gState * 0x2545f4914f6cdd1dull;
}

// Sparse candidates: multipliers with few bits set succeed far more often.
static u64 sparseRand() { return rand64() & rand64() & rand64(); }

static u64 rayWalk(int s, u64 occ, bool rook, bool mask) {
  static const int kRook[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
  static const int kBishop[4][2] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}};
  const int(*dirs)[2] = rook ? kRook : kBishop;
  u64 result = 0;
  for (int d = 0; d < 4; ++d) {
    int f = s % 8 + dirs[d][0], r = s / 8 + dirs[d][1];
    while (f >= 0 && f < 8 && r >= 0 && r < 8) {
      // For the mask the last square of a ray (the edge) is left out.
      if (mask) {
        int nf = f + dirs[d][0], nr = r + dirs[d][1];
        if (nf < 0 || nf > 7 || nr < 0 || nr > 7) break;
      }
      result |= u64{1} << (f + 8 * r);
      if (occ >> (f + 8 * r) & 1) break;
      f += dirs[d][0];
      r += dirs[d][1];
    }
  }
  return result;
}

static u64 findMagic(int s, bool rook) {
  const u64 mask = rayWalk(s, 0, rook, true);
  const int bits = __builtin_popcountll(mask);
  const int n = 1 << bits;
  std::vector<u64> occ(n), att(n), used(n);
  std::vector<int> epoch(n, 0);
  for (int j = 0; j < n; ++j) {
    u64 o = 0, m = mask;
    for (int k = 0; m; ++k) {
      u64 low = m & -m;
      m ^= low;
      if (j >> k & 1) o |= low;
    }
    occ[j] = o;
    att[j] = rayWalk(s, o, rook, false);
  }
  for (int attempt = 1;; ++attempt) {
    const u64 magic = sparseRand();
    if (__builtin_popcountll((mask * magic) >> 56) < 6) continue;
    bool ok = true;
    for (int j = 0; j < n && ok; ++j) {
      const unsigned idx = static_cast<unsigned>((occ[j] * magic) >> (64 - bits));
      if (epoch[idx] != attempt) {
        epoch[idx] = attempt;
        used[idx] = att[j];
      } else if (used[idx] != att[j]) {
        ok = false;
      }
    }
    if (ok) return magic;
  }
}

int main() {
  for (int rook = 1; rook >= 0; --rook) {
    std::printf("const u64 %s[64] = {\n", rook ? "kRookMagic" : "kBishopMagic");
    for (int s = 0; s < 64; ++s)
      std::printf("%s0x%llxull,%s", s % 4 == 0 ? "    " : " ", (unsigned long long)findMagic(s, rook),
                  s % 4 == 3 ? "\n" : "");
    std::printf("};\n");
  }
}
