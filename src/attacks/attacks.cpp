// Attack tables: leaper sets, line masks and the magic-bitboard slider tables, filled once at start-up.
#include "attacks/attacks.h"

#include <bit>

u64 gBetweenBB[64][64];

namespace Attacks {

u64 knightAttacks[64];
u64 kingAttacks[64];
u64 pawnAttacks[2][64];
u64 rankMask[64];
u64 fileMask[64];
u64 diagMask[64];
u64 adiagMask[64];
Magic rookMagic[64];
Magic bishopMagic[64];
u64 gRookTable[102400];
u64 gBishopTable[5248];

// Collision-free for the relevant masks below with shift 64 - bits; produced by tools/magicgen.
const u64 kRookMagic[64] = {
    0x1080004008801020ull, 0x840092002c03000ull, 0x1900200010400900ull, 0x880100008000480ull,
    0x4200100420080200ull, 0x8100020100080400ull, 0x200040110886200ull, 0x200008040220411ull,
    0x404800084400220ull, 0x401000402000ull, 0x86001081220440ull, 0x408800800100280ull,
    0xa001201040820ull, 0x8848800200840080ull, 0x4001000100040200ull, 0x442000102105084ull,
    0x9080010020804100ull, 0x40404000201009ull, 0x808010002009ull, 0x2200090021d00100ull,
    0x8008008040080ull, 0x4004002010040ull, 0x11040008015042ull, 0xa0001768104ull,
    0x800080204009ull, 0x2010004140002001ull, 0x9800200280100080ull, 0x1000100080080080ull,
    0x442000a00049020ull, 0x2100040080020080ull, 0x800120400900148ull, 0x10040a00128541ull,
    0x2800804000800030ull, 0x1010002000400041ull, 0x4000200011004100ull, 0x610008410800800ull,
    0x400802402800800ull, 0xc100020080800400ull, 0x2000802000401ull, 0x182085882000401ull,
    0x220204000808000ull, 0x2860100040024022ull, 0x1002004110040ull, 0x99101042000a0020ull,
    0x4080004008080ull, 0x10040002008080ull, 0x2012004881020004ull, 0x8300842444820011ull,
    0x88403882010200ull, 0x820400080210100ull, 0x110910040a00300ull, 0x801100280080480ull,
    0x242009008200600ull, 0x1002000489500200ull, 0x40800200010080ull, 0x91800041000080ull,
    0x209300488001ull, 0x4c1002414824001ull, 0x20020000b001041ull, 0x7000100004200901ull,
    0x8002002004100802ull, 0x30010002084c0007ull, 0x888221800813004ull, 0x4000002840840112ull,
};
const u64 kBishopMagic[64] = {
    0xa010041108003100ull, 0x6082020a002900ull, 0x6810010619200000ull, 0x8281a0520000408ull,
    0x1104001000400ull, 0x18901008048400ull, 0x40a0210245280ull, 0x200210808a402ull,
    0x9140048410821200ull, 0x800091010820041ull, 0x20504804832202c0ull, 0x100091401081000ull,
    0x8021011140000012ull, 0x810020804450400ull, 0x208b0542109008a2ull, 0x80084a08040204ull,
    0x40e2a80811244cull, 0x2505022008008108ull, 0x430220100420040ull, 0x10a040420220040ull,
    0x1105000290400000ull, 0x93001200822120ull, 0x4000a62048043004ull, 0x280120048a015004ull,
    0x6090002a020814ull, 0x44042000240800d0ull, 0x1102800040a4400ull, 0x1004080080220040ull,
    0x1001011004024ull, 0x10044000805040ull, 0x914041200820100ull, 0x4821012821480ull,
    0x24040500c05021ull, 0x88611002080200ull, 0x116080a00040020ull, 0x4000020080080080ull,
    0x2450450140840040ull, 0x880201484100ull, 0x222020404020092ull, 0x8081110600002e00ull,
    0x2842101105000801ull, 0x1100809008001025ull, 0x20202221c0400ull, 0x422014022009020ull,
    0x210046102100c00ull, 0xc004008082029102ull, 0xaa461801101200ull, 0x404080080201108ull,
    0x20542108c205002ull, 0x410544804100100ull, 0x40910841100000ull, 0x400200042021100ull,
    0x4204850400c0ull, 0x200100410a42102ull, 0x1040020801210102ull, 0x805040410420000ull,
    0x2884804130100200ull, 0x800c262201242000ull, 0x1058000194108800ull, 0x14221054420204ull,
    0x104000012a02200ull, 0x200881003300100ull, 0x140400202840100ull, 0x402020801010201ull,
};

namespace {

constexpr int kRookDirs[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};    // E, W, N, S
constexpr int kBishopDirs[4][2] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}};  // NE, NW, SE, SW

bool onBoard(int file, int rank) { return file >= 0 && file < 8 && rank >= 0 && rank < 8; }

// Squares reached from s by the given (file, rank) steps, each taken once.
u64 stepTargets(Square s, const int (*steps)[2], int count) {
  u64 result = 0;
  for (int i = 0; i < count; ++i) {
    const int f = fileOf(s) + steps[i][0], r = rankOf(s) + steps[i][1];
    if (onBoard(f, r)) result |= bb(makeSquare(f, r));
  }
  return result;
}

// Every square along one direction from s to the edge, s excluded.
u64 ray(Square s, int df, int dr) {
  u64 result = 0;
  for (int f = fileOf(s) + df, r = rankOf(s) + dr; onBoard(f, r); f += df, r += dr)
    result |= bb(makeSquare(f, r));
  return result;
}

// The eight rays of every square (four rook, then four bishop directions), for the fill below.
struct Rays {
  u64 of[8][64];
  Rays() {
    for (Square s = 0; s < 64; ++s)
      for (int d = 0; d < 4; ++d) {
        of[d][s] = ray(s, kRookDirs[d][0], kRookDirs[d][1]);
        of[d + 4][s] = ray(s, kBishopDirs[d][0], kBishopDirs[d][1]);
      }
  }
};

// slidingAttacksRef by ray masks: each ray is cut behind its first blocker, the nearest set bit
// (the lowest on a ray of squares above s, the highest on one below it).
u64 rayAttacks(const Rays& rays, Square s, u64 occupancy, bool rook) {
  u64 result = 0;
  for (int d = rook ? 0 : 4, end = d + 4; d < end; ++d) {
    const u64 r = rays.of[d][s];
    const u64 blockers = r & occupancy;
    if (!blockers) {
      result |= r;
      continue;
    }
    const Square first = r > bb(s) ? lsb(blockers) : 63 - std::countl_zero(blockers);
    result |= r ^ rays.of[d][first];
  }
  return result;
}

void initMagics(const Rays& rays, Magic* magics, u64* table, const u64* multipliers, bool rook) {
  u64* next = table;
  for (Square s = 0; s < 64; ++s) {
    Magic& e = magics[s];
    e.mask = relevantMask(s, rook);
    e.magic = multipliers[s];
    const int bits = popcount(e.mask);
    e.shift = static_cast<u32>(64 - bits);
    e.attacks = next;
    // Carry-rippler: every subset of the mask once; the multipliers are collision-free.
    u64 subset = 0;
    do {
      next[(subset * e.magic) >> e.shift] = rayAttacks(rays, s, subset, rook);
      subset = (subset - e.mask) & e.mask;
    } while (subset);
    next += u64{1} << bits;
  }
}

#if defined(QUORVANE_PEXT)
// Entry j of square s holds the attacks for the occupancy whose mask bits are the bits of j,
// read from the magic table just filled (cheaper at start-up than walking the rays again).
void initPext(PextSlider* entries, u16* table, const Magic* magics) {
  u16* next = table;
  for (Square s = 0; s < 64; ++s) {
    const Magic& m = magics[s];
    PextSlider& e = entries[s];
    e.mask = m.mask;
    e.rays = m.attacks[0];  // index 0 is the empty occupancy for any multiplier
    e.attacks = next;
    const u64 size = u64{1} << popcount(e.mask);
    for (u64 j = 0; j < size; ++j) {
      const u64 occ = _pdep_u64(j, e.mask);
      next[j] = static_cast<u16>(_pext_u64(m.attacks[(occ * m.magic) >> m.shift], e.rays));
    }
    next += size;
  }
}

alignas(64) u16 rookPextTable[102400];
alignas(64) u16 bishopPextTable[5248];
#endif

}  // namespace

#if defined(QUORVANE_PEXT)
PextSlider rookPext[64];
PextSlider bishopPext[64];
#endif

u64 slidingAttacksRef(Square s, u64 occupancy, bool rook) {
  const int (*dirs)[2] = rook ? kRookDirs : kBishopDirs;
  u64 result = 0;
  for (int d = 0; d < 4; ++d) {
    for (int f = fileOf(s) + dirs[d][0], r = rankOf(s) + dirs[d][1]; onBoard(f, r);
         f += dirs[d][0], r += dirs[d][1]) {
      const u64 b = bb(makeSquare(f, r));
      result |= b;
      if (occupancy & b) break;  // the first blocker is included, whatever its colour
    }
  }
  return result;
}

u64 relevantMask(Square s, bool rook) {
  const int (*dirs)[2] = rook ? kRookDirs : kBishopDirs;
  u64 result = 0;
  // A piece on the last square of a ray never blocks anything beyond it, so the edge is left out.
  for (int d = 0; d < 4; ++d) {
    for (int f = fileOf(s) + dirs[d][0], r = rankOf(s) + dirs[d][1];
         onBoard(f + dirs[d][0], r + dirs[d][1]); f += dirs[d][0], r += dirs[d][1])
      result |= bb(makeSquare(f, r));
  }
  return result;
}

void init() {
  static constexpr int kKnightSteps[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2},
                                             {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
  static constexpr int kKingSteps[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1},
                                           {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
  static constexpr int kWhitePawnSteps[2][2] = {{-1, 1}, {1, 1}};
  static constexpr int kBlackPawnSteps[2][2] = {{-1, -1}, {1, -1}};
  for (Square s = 0; s < 64; ++s) {
    knightAttacks[s] = stepTargets(s, kKnightSteps, 8);
    kingAttacks[s] = stepTargets(s, kKingSteps, 8);
    pawnAttacks[White][s] = stepTargets(s, kWhitePawnSteps, 2);
    pawnAttacks[Black][s] = stepTargets(s, kBlackPawnSteps, 2);
    rankMask[s] = ray(s, 1, 0) | ray(s, -1, 0);
    fileMask[s] = ray(s, 0, 1) | ray(s, 0, -1);
    diagMask[s] = ray(s, 1, 1) | ray(s, -1, -1);
    adiagMask[s] = ray(s, -1, 1) | ray(s, 1, -1);
  }
  const Rays rays;
  initMagics(rays, rookMagic, gRookTable, kRookMagic, true);
  initMagics(rays, bishopMagic, gBishopTable, kBishopMagic, false);
#if defined(QUORVANE_PEXT)
  initPext(rookPext, rookPextTable, rookMagic);
  initPext(bishopPext, bishopPextTable, bishopMagic);
#endif
}

}  // namespace Attacks
