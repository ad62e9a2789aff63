// The tunable parameter vector of the evaluation: its size, where each block starts, the name and
// the allowed range of every entry. The values themselves come from a listing in the "tuneparams"
// format, turned into eval/param_values.h when the engine is built.
#pragma once

#include <string>

#include "board/types.h"

namespace EvalParams {

inline constexpr int kParamCount = 1082;

// Start index of each block. Square indices are table indices: 0 = a8, 63 = h1 (White reads
// s ^ 56).
inline constexpr int kMatMg = 0;         // + piece type, pawn..queen
inline constexpr int kMatEg = 5;
inline constexpr int kPstMg = 10;        // + 64 * type + square, kings included
inline constexpr int kPawnEg = 394;      // + square
inline constexpr int kKingEg = 458;      // + square
inline constexpr int kMobMgStart[6] = {0, 522, 540, 568, 598, 0};  // + counted squares, N..Q
inline constexpr int kMobEgStart[6] = {0, 531, 554, 583, 626, 0};
inline constexpr int kMobRows[6] = {0, 9, 14, 15, 28, 0};  // counts 0..rows-1 a piece can reach
inline constexpr int kPstEgDelta = 654;  // + 64 * type + square
inline constexpr int kBishopPairIdx = 1038;
inline constexpr int kRookOpenMgIdx = 1039;
inline constexpr int kRookOpenEgIdx = 1040;
inline constexpr int kRookSemiMgIdx = 1041;
inline constexpr int kRookSemiEgIdx = 1042;
inline constexpr int kPassedMgIdx = 1043;  // + relative rank
inline constexpr int kPassedEgIdx = 1051;
inline constexpr int kIsolatedMgIdx = 1059;
inline constexpr int kIsolatedEgIdx = 1060;
inline constexpr int kDoubledMgIdx = 1061;
inline constexpr int kDoubledEgIdx = 1062;
inline constexpr int kConnectedMgIdx = 1063;
inline constexpr int kConnectedEgIdx = 1064;
inline constexpr int kKsSafetyIdx = 1065;  // + attack units 0..15
inline constexpr int kKsOpenFileIdx = 1081;

static_assert(kMobEgStart[Queen] + kMobRows[Queen] == kPstEgDelta);
static_assert(kPstEgDelta + 6 * 64 == kBishopPairIdx);
static_assert(kKsOpenFileIdx + 1 == kParamCount);

// Name of entry i as "tuneparams" prints it; "?" outside 0..kParamCount-1.
inline std::string paramName(int i) {
  using std::to_string;
  static constexpr char kLetters[] = "PNBRQK";
  auto indexed = [](const char* block, int k) { return std::string(block) + to_string(k); };
  auto squareOf = [&](const char* block, int k) {
    return std::string(block) + kLetters[k / 64] + "_" + to_string(k % 64);
  };
  if (i < 0 || i >= kParamCount) return "?";
  if (i < kMatEg) return std::string("matMg_") + kLetters[i - kMatMg];
  if (i < kPstMg) return std::string("matEg_") + kLetters[i - kMatEg];
  if (i < kPawnEg) return squareOf("pstMg_", i - kPstMg);
  if (i < kKingEg) return indexed("pawnEg_", i - kPawnEg);
  if (i < kMobMgStart[Knight]) return indexed("kingEg_", i - kKingEg);
  if (i < kPstEgDelta) {
    for (Piece t = Knight; t <= Queen; ++t) {
      const std::string letter(1, kLetters[t]);
      if (i >= kMobMgStart[t] && i < kMobMgStart[t] + kMobRows[t])
        return indexed(("mobMg_" + letter + "_").c_str(), i - kMobMgStart[t]);
      if (i >= kMobEgStart[t] && i < kMobEgStart[t] + kMobRows[t])
        return indexed(("mobEg_" + letter + "_").c_str(), i - kMobEgStart[t]);
    }
  }
  if (i < kBishopPairIdx) return squareOf("pstEgDelta_", i - kPstEgDelta);
  if (i >= kPassedMgIdx && i < kPassedEgIdx) return indexed("passedMg_", i - kPassedMgIdx);
  if (i >= kPassedEgIdx && i < kIsolatedMgIdx) return indexed("passedEg_", i - kPassedEgIdx);
  if (i >= kKsSafetyIdx && i < kKsOpenFileIdx) return indexed("ksSafety_", i - kKsSafetyIdx);
  static constexpr const char* kScalars[] = {
      "bishopPair", "rookOpenMg", "rookOpenEg", "rookSemiMg", "rookSemiEg",  "isolatedMg",
      "isolatedEg", "doubledMg",  "doubledEg",  "connectedMg", "connectedEg", "ksOpenFile"};
  static constexpr int kScalarIdx[] = {kBishopPairIdx, kRookOpenMgIdx,  kRookOpenEgIdx, kRookSemiMgIdx,
                                       kRookSemiEgIdx, kIsolatedMgIdx,  kIsolatedEgIdx, kDoubledMgIdx,
                                       kDoubledEgIdx,  kConnectedMgIdx, kConnectedEgIdx, kKsOpenFileIdx};
  for (int k = 0; k < 12; ++k)
    if (kScalarIdx[k] == i) return kScalars[k];
  return "?";
}

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
  if (i >= kMatMg && i < kPstMg) return {1, 5000};
  if (i >= kPstEgDelta && i < kPstEgDelta + 64) return {0, 0};                    // pawns
  if (i >= kPstEgDelta + 5 * 64 && i < kPstEgDelta + 6 * 64) return {0, 0};      // kings
  if (i == kKsSafetyIdx) return {0, 0};
  if (i > kKsSafetyIdx && i < kKsOpenFileIdx) return {-5000, 5000};
  return {-2000, 2000};
}

}  // namespace EvalParams
