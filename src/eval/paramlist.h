// The tunable parameter vector of the evaluation: its size, where each block starts, the name and
// the allowed range of every entry. The names, in order, come from the built-in listing
// (src/eval/params.txt, turned into eval/param_names.h by quorvane-paramnames at build time), and
// each block's start is the place of its first name there: no index is written twice. The values
// come from a listing in the "tuneparams" format, turned into eval/param_values.h.
#pragma once

#include <string>
#include <string_view>

#include "types/types.h"
#include "eval/param_names.h"  // generated: EvalParams::kParamCount, kParamNames

namespace EvalParams {

// Place of a name in the listing; a name that is not there stops the compilation.
consteval int indexOf(std::string_view name) {
  for (int i = 0; i < kParamCount; ++i)
    if (name == kParamNames[i]) return i;
  throw "parameter missing from the built-in listing";
}

// Start index of each block. Square indices are table indices: 0 = a8, 63 = h1 (White reads
// s ^ 56).
inline constexpr int kMatMg = indexOf("matMg_P");  // + piece type, pawn..queen
inline constexpr int kMatEg = indexOf("matEg_P");
inline constexpr int kPstMg = indexOf("pstMg_P_0");  // + 64 * type + square, kings included
inline constexpr int kPawnEg = indexOf("pawnEg_0");  // + square
inline constexpr int kKingEg = indexOf("kingEg_0");  // + square
inline constexpr int kMobMgStart[6] = {0, indexOf("mobMg_N_0"), indexOf("mobMg_B_0"), indexOf("mobMg_R_0"),
                                       indexOf("mobMg_Q_0"), 0};  // + counted squares, N..Q
inline constexpr int kMobEgStart[6] = {0, indexOf("mobEg_N_0"), indexOf("mobEg_B_0"), indexOf("mobEg_R_0"),
                                       indexOf("mobEg_Q_0"), 0};
// Counts 0..rows-1 a piece can reach: the most squares a knight, bishop, rook or queen attacks.
inline constexpr int kMobRows[6] = {0, 9, 14, 15, 28, 0};
inline constexpr int kPstEgDelta = indexOf("pstEgDelta_P_0");  // + 64 * type + square
inline constexpr int kBishopPairIdx = indexOf("bishopPair");
inline constexpr int kRookOpenMgIdx = indexOf("rookOpenMg");
inline constexpr int kRookOpenEgIdx = indexOf("rookOpenEg");
inline constexpr int kRookSemiMgIdx = indexOf("rookSemiMg");
inline constexpr int kRookSemiEgIdx = indexOf("rookSemiEg");
inline constexpr int kPassedMgIdx = indexOf("passedMg_0");  // + relative rank
inline constexpr int kPassedEgIdx = indexOf("passedEg_0");
inline constexpr int kIsolatedMgIdx = indexOf("isolatedMg");
inline constexpr int kIsolatedEgIdx = indexOf("isolatedEg");
inline constexpr int kDoubledMgIdx = indexOf("doubledMg");
inline constexpr int kDoubledEgIdx = indexOf("doubledEg");
inline constexpr int kConnectedMgIdx = indexOf("connectedMg");
inline constexpr int kConnectedEgIdx = indexOf("connectedEg");
inline constexpr int kKsSafetyIdx = indexOf("ksSafety_0");  // + attack units 0..15
inline constexpr int kKsOpenFileIdx = indexOf("ksOpenFile");

// Each block is as long as the table the evaluation fills from it: its last name stands where the
// block's length puts it.
static_assert(indexOf("matMg_Q") == kMatMg + 4 && indexOf("matEg_Q") == kMatEg + 4);
static_assert(indexOf("pstMg_K_63") == kPstMg + 6 * 64 - 1 && indexOf("pstEgDelta_K_63") == kPstEgDelta + 6 * 64 - 1);
static_assert(indexOf("pawnEg_63") == kPawnEg + 63 && indexOf("kingEg_63") == kKingEg + 63);
static_assert(indexOf("mobMg_N_8") == kMobMgStart[1] + kMobRows[1] - 1 &&
              indexOf("mobMg_B_13") == kMobMgStart[2] + kMobRows[2] - 1 &&
              indexOf("mobMg_R_14") == kMobMgStart[3] + kMobRows[3] - 1 &&
              indexOf("mobMg_Q_27") == kMobMgStart[4] + kMobRows[4] - 1);
static_assert(indexOf("mobEg_N_8") == kMobEgStart[1] + kMobRows[1] - 1 &&
              indexOf("mobEg_B_13") == kMobEgStart[2] + kMobRows[2] - 1 &&
              indexOf("mobEg_R_14") == kMobEgStart[3] + kMobRows[3] - 1 &&
              indexOf("mobEg_Q_27") == kMobEgStart[4] + kMobRows[4] - 1);
static_assert(indexOf("passedMg_7") == kPassedMgIdx + 7 && indexOf("passedEg_7") == kPassedEgIdx + 7);
static_assert(indexOf("ksSafety_15") == kKsSafetyIdx + 15);

// Name of entry i as "tuneparams" prints it; "?" outside 0..kParamCount-1.
inline std::string paramName(int i) { return i < 0 || i >= kParamCount ? "?" : kParamNames[i]; }

// The values a listing may give entry i. Material is positive: the end-game rules compare
// material leads. Three kinds of entry are never used by the evaluation, so they must stay 0 (a
// value there would mean nothing, and the tuner, which never sees them, could not follow it): the
// pawn and king delta rows (those pieces have endgame tables of their own) and the king danger of
// zero attack units. Everything else gets a wide band that keeps every sum of the evaluation far
// inside 32 bits.
struct ParamRange {
  int lo;
  int hi;
};
constexpr ParamRange paramRange(int i) {
  if ((i >= kMatMg && i < kMatMg + 5) || (i >= kMatEg && i < kMatEg + 5)) return {1, 5000};
  if (i >= kPstEgDelta && i < kPstEgDelta + 64) return {0, 0};                    // pawns
  if (i >= kPstEgDelta + 5 * 64 && i < kPstEgDelta + 6 * 64) return {0, 0};      // kings
  if (i == kKsSafetyIdx) return {0, 0};
  if (i > kKsSafetyIdx && i < kKsSafetyIdx + 16) return {-5000, 5000};
  return {-2000, 2000};
}

}  // namespace EvalParams
