// Exporting the evaluation features of each position of a data file, as feature lines.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "datagen/datagen.h"
#include "formats/blanks.h"
#include "formats/data_line.h"
#include "formats/feature_line.h"
#include "tune/tune.h"

int runFeatureExport(const std::string& inputPath, const std::string& outputPath) {
  std::error_code ec;
  // A directory opens for reading on some systems and then reads as nothing: refuse it as
  // unopenable.
  std::ifstream in;
  if (!std::filesystem::is_directory(inputPath, ec))
    in.open(inputPath, std::ios::in | std::ios::binary);
  if (!in.is_open()) {
    std::cerr << "featureexport: не відкрити вхід: " << inputPath << "\n";
    return 1;
  }
  // Truncating the output first would destroy the input when both name one file (the same path, a
  // link, "./x" and "x").
  if (std::filesystem::equivalent(inputPath, outputPath, ec)) {
    std::cerr << "featureexport: вхід і вихід — один файл: " << outputPath << "\n";
    return 1;
  }
  std::ofstream out(outputPath, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!out.is_open()) {
    std::cerr << "featureexport: не відкрити вихід: " << outputPath << "\n";
    return 1;
  }

  auto board = std::make_unique<Board>();
  auto trace = std::make_unique<Tune::Trace>();
  DataLine::Sample sample;
  Features::Line features;
  std::string text;
  std::string line;
  long long written = 0;
  long long invalid = 0;
  while (std::getline(in, text)) {
    // Blank lines (blanks, tabs, a carriage return) are spacing, not bad data.
    if (Formats::trimTrailingBlanks(text).empty()) continue;
    if (!DataLine::parse(text, sample) || !board->setFen(sample.fen)) {
      ++invalid;
      continue;
    }
    *trace = Tune::Trace{};
    Tune::extract(*board, *trace);
    // Only a FEN with absurd piece counts has a coefficient that does not fit a byte.
    const char* why = "";
    if (!Tune::toFeatures(*trace, sample.result, features, why)) {
      ++invalid;
      continue;
    }
    line.clear();
    Features::append(line, features);
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
    ++written;
  }
  out.flush();
  // A read error or a full disk must not pass for a complete export.
  if (in.bad()) {
    std::cerr << "featureexport: помилка читання: " << inputPath << "\n";
    return 1;
  }
  if (!out) {
    std::cerr << "featureexport: помилка запису: " << outputPath << "\n";
    return 1;
  }
  std::cerr << "featureexport: " << written << " позицій, " << invalid << " невалідних, "
            << Tune::NPARAMS << " параметрів\n";
  return 0;
}
