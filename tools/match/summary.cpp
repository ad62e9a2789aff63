// Summaries: statistics, report, JSON, merge.
#include "tools/match/summary.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>

#include "tools/match/json.h"

namespace Match {

const char* faultKey(Fault f) {
  switch (f) {
    case Fault::Illegal: return "illegal";
    case Fault::Time: return "time";
    case Fault::Crash: return "crash";
    case Fault::Stall: return "stall";
    case Fault::Disconnect: return "disconnect";
    default: return "none";
  }
}

double Summary::llr() const { return Match::llr(penta, sprt); }

namespace {

std::string fixed(double v, int digits) {
  if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
  if (std::isnan(v)) return "nan";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", digits, v);
  return buf;
}

std::string signedFixed(double v, int digits) {
  std::string text = v >= 0 && !std::isnan(v) ? "+" : "";
  return text += fixed(v, digits);
}

std::string sprtText(const SprtSettings& s) {
  return std::string(s.normalized ? "normalized" : "logistic") + " elo0=" + fixed(s.elo0, 2) +
         " elo1=" + fixed(s.elo1, 2) + " alpha=" + fixed(s.alpha, 3) + " beta=" + fixed(s.beta, 3);
}

}  // namespace

std::string summaryJson(const Summary& s) {
  const Estimate e = estimate(s.penta);
  const double value = s.llr();
  std::ostringstream o;
  o << "{\n  \"format\": \"quorvane-match 1\",\n";
  o << "  \"settings\": " << (s.settingsJson.empty() ? "null" : s.settingsJson) << ",\n";
  o << "  \"identity\": " << Json::quote(s.identity) << ",\n";
  o << "  \"engines\": [" << Json::quote(s.names[0]) << ", " << Json::quote(s.names[1]) << "],\n";
  o << "  \"shard\": [" << s.shardIndex << ", " << s.shardCount << "],\n";
  if (!s.mergedShards.empty()) {
    o << "  \"mergedShards\": [";
    for (std::size_t i = 0; i < s.mergedShards.size(); ++i) o << (i ? ", " : "") << s.mergedShards[i];
    o << "],\n";
  }
  o << "  \"pairsPlanned\": " << s.pairsPlanned << ",\n";
  o << "  \"complete\": " << (s.finished && !s.interrupted && !s.stoppedByFault ? "true" : "false") << ",\n";
  o << "  \"interrupted\": " << (s.interrupted ? "true" : "false") << ",\n";
  o << "  \"stoppedByFault\": " << (s.stoppedByFault ? "true" : "false") << ",\n";
  o << "  \"games\": " << s.games() << ",\n";
  o << "  \"wins\": " << s.wins << ",\n  \"draws\": " << s.draws << ",\n  \"losses\": " << s.losses << ",\n";
  o << "  \"pentanomial\": [";
  for (int i = 0; i < 5; ++i) o << (i ? ", " : "") << s.penta[i];
  o << "],\n";
  o << "  \"pairs\": [";
  for (std::size_t i = 0; i < s.pairsDone.size(); ++i) o << (i ? ", " : "") << s.pairsDone[i];
  o << "],\n";
  o << "  \"score\": " << Json::number(e.score) << ",\n";
  o << "  \"elo\": " << Json::number(e.elo) << ",\n";
  o << "  \"error\": " << Json::number(e.error) << ",\n";
  o << "  \"nelo\": " << Json::number(e.nelo) << ",\n";
  o << "  \"los\": " << Json::number(e.los) << ",\n";
  o << "  \"drawRatio\": " << Json::number(s.games() ? static_cast<double>(s.draws) / s.games() : 0.0) << ",\n";
  if (s.sprt.enabled) {
    o << "  \"sprt\": {\"elo0\": " << Json::number(s.sprt.elo0) << ", \"elo1\": " << Json::number(s.sprt.elo1)
      << ", \"alpha\": " << Json::number(s.sprt.alpha) << ", \"beta\": " << Json::number(s.sprt.beta)
      << ", \"model\": \"" << (s.sprt.normalized ? "normalized" : "logistic") << "\", \"lower\": "
      << Json::number(s.sprt.lowerBound()) << ", \"upper\": " << Json::number(s.sprt.upperBound())
      << ", \"decision\": " << Json::quote(sprtName(sprtState(value, s.sprt))) << "},\n";
  } else {
    o << "  \"sprt\": null,\n";
  }
  o << "  \"llr\": " << Json::number(value) << ",\n";
  if (s.managerCpu >= 0)
    o << "  \"cpu\": {\"manager\": " << Json::number(s.managerCpu) << ", \"engines\": " << Json::number(s.enginesCpu)
      << "},\n";
  o << "  \"faults\": {";
  for (int e2 = 0; e2 < 2; ++e2) {
    o << (e2 ? ", " : "") << Json::quote(s.names[e2]) << ": {";
    for (int k = 0; k < kFaultKinds; ++k)
      o << (k ? ", " : "") << '"' << faultKey(static_cast<Fault>(k + 1)) << "\": " << s.faults[e2][k];
    o << '}';
  }
  o << "},\n";
  o << "  \"records\": [";
  for (std::size_t i = 0; i < s.gameJson.size(); ++i) o << (i ? ",\n    " : "\n    ") << s.gameJson[i];
  o << (s.gameJson.empty() ? "]\n" : "\n  ]\n") << "}\n";
  return o.str();
}

bool writeFileAtomically(const std::string& path, const std::string& text, std::string& error) {
  const std::string tmp = path + ".tmp" + std::to_string(::getpid());
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = path + ": cannot write: " + std::strerror(errno);
    return false;
  }
  std::size_t done = 0;
  bool ok = true;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  const int writeErrno = errno;
  if (::close(fd) != 0) ok = false;
  if (!ok || ::rename(tmp.c_str(), path.c_str()) != 0) {
    error = path + ": cannot write: " + std::strerror(ok ? errno : writeErrno);
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

void printReport(std::ostream& out, const Summary& s) {
  const Estimate e = estimate(s.penta);
  const i64 n = s.games();
  out << "Score of " << s.names[0] << " vs " << s.names[1] << ": " << s.wins << " - " << s.losses << " - "
      << s.draws << "  [" << fixed(n ? (s.wins + 0.5 * s.draws) / n : 0.5, 3) << "] " << n << '\n';
  out << "Elo: " << signedFixed(e.elo, 2) << " +/- " << fixed(e.error, 2) << " (95%), nElo: " << signedFixed(e.nelo, 2)
      << ", LOS: " << fixed(100 * e.los, 2) << " %, draw ratio: "
      << fixed(n ? 100.0 * s.draws / n : 0, 2) << " %\n";
  out << "Pentanomial [0, 0.5, 1, 1.5, 2]: [";
  for (int i = 0; i < 5; ++i) out << (i ? ", " : "") << s.penta[i];
  out << "] (" << e.pairs << " pairs)\n";
  if (s.sprt.enabled) {
    const double value = s.llr();
    out << "SPRT (" << sprtText(s.sprt) << "): LLR " << fixed(value, 2) << " (" << fixed(s.sprt.lowerBound(), 2)
        << ", " << fixed(s.sprt.upperBound(), 2) << "): " << sprtName(sprtState(value, s.sprt)) << '\n';
  }
  for (int k = 0; k < 2; ++k) {
    out << "Faults of " << s.names[k] << ':';
    i64 total = 0;
    for (int f = 0; f < kFaultKinds; ++f) {
      if (!s.faults[k][f]) continue;
      out << ' ' << s.faults[k][f] << ' ' << faultKey(static_cast<Fault>(f + 1));
      total += s.faults[k][f];
    }
    out << (total ? "\n" : " none\n");
  }
  if (s.managerCpu >= 0)
    out << "CPU time: manager " << fixed(s.managerCpu, 2) << " s, engines " << fixed(s.enginesCpu, 2) << " s ("
        << fixed(s.enginesCpu > 0 ? 100 * s.managerCpu / s.enginesCpu : 0, 2) << " % of the engines')\n";
  if (s.interrupted) out << "The match was interrupted; the counts are those of the finished games.\n";
  if (s.stoppedByFault) out << "The match stopped after an engine fault (use -recover to go on after one).\n";
}

std::string progressLine(const Summary& s, i64 plannedGames) {
  const Estimate e = estimate(s.penta);
  std::ostringstream line;
  line << '[' << s.games() << '/' << plannedGames << "] " << s.names[0] << " vs " << s.names[1] << ": " << s.wins
       << " - " << s.losses << " - " << s.draws << ", Elo " << signedFixed(e.elo, 1) << " +/- " << fixed(e.error, 1);
  if (s.sprt.enabled)
    line << ", LLR " << fixed(s.llr(), 2) << " (" << fixed(s.sprt.lowerBound(), 2) << ", "
         << fixed(s.sprt.upperBound(), 2) << ')';
  return line.str();
}

namespace {

bool readSummary(const std::string& path, Summary& s, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot read";
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  Json::Value v;
  if (!Json::parse(text.str(), v, error)) {
    error = path + ": " + error;
    return false;
  }
  auto bad = [&](const std::string& what) {
    error = path + ": not a quorvane-match summary (" + what + ")";
    return false;
  };
  if (v["format"].str != "quorvane-match 1") return bad("format");
  const auto& names = v["engines"];
  const auto& pen = v["pentanomial"];
  const auto& shard = v["shard"];
  if (names.items.size() != 2 || pen.items.size() != 5 || shard.items.size() != 2) return bad("fields");
  s.names[0] = names.items[0].str;
  s.names[1] = names.items[1].str;
  for (int i = 0; i < 5; ++i) s.penta[i] = static_cast<i64>(pen.items[i].num);
  s.wins = static_cast<i64>(v["wins"].num);
  s.draws = static_cast<i64>(v["draws"].num);
  s.losses = static_cast<i64>(v["losses"].num);
  s.shardIndex = static_cast<int>(shard.items[0].num);
  s.shardCount = static_cast<int>(shard.items[1].num);
  s.identity = v["identity"].str;
  s.pairsPlanned = static_cast<i64>(v["pairsPlanned"].num);
  s.finished = v["complete"].boolean;
  s.interrupted = v["interrupted"].boolean;
  s.stoppedByFault = v["stoppedByFault"].boolean;
  for (const auto& p : v["pairs"].items) s.pairsDone.push_back(static_cast<i64>(p.num));
  const auto& sprt = v["sprt"];
  s.sprt.enabled = sprt.kind == Json::Value::Kind::Object;
  if (s.sprt.enabled) {
    s.sprt.elo0 = sprt["elo0"].num;
    s.sprt.elo1 = sprt["elo1"].num;
    s.sprt.alpha = sprt["alpha"].num;
    s.sprt.beta = sprt["beta"].num;
    s.sprt.normalized = sprt["model"].str == "normalized";
  }
  for (int k = 0; k < 2; ++k)
    for (int f = 0; f < kFaultKinds; ++f)
      s.faults[k][f] = static_cast<i64>(v["faults"][s.names[k]][faultKey(static_cast<Fault>(f + 1))].num);
  // The game records are carried over as they were written.
  const std::string& all = text.str();
  const auto start = all.find("\"records\": [");
  if (start != std::string::npos) {
    std::istringstream lines(all.substr(start));
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
      const auto b = line.find('{');
      if (b == std::string::npos) break;
      std::string rec = line.substr(b);
      if (!rec.empty() && rec.back() == ',') rec.pop_back();
      s.gameJson.push_back(rec);
    }
  }
  if (s.gameJson.size() != v["records"].items.size()) return bad("records");
  s.settingsJson.clear();
  return true;
}

}  // namespace

int runMerge(const std::vector<std::string>& args) {
  std::string jsonOut;
  std::vector<std::string> files;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-jsonout") {
      if (i + 1 >= args.size()) {
        std::cerr << "quorvane-match merge: -jsonout needs a file name\n";
        return 1;
      }
      jsonOut = args[++i];
    } else if (!args[i].empty() && args[i][0] == '-') {
      std::cerr << "quorvane-match merge: unknown option " << args[i] << '\n';
      return 1;
    } else {
      files.push_back(args[i]);
    }
  }
  if (files.empty()) {
    std::cerr << "usage: quorvane-match merge [-jsonout FILE] SUMMARY.json...\n";
    return 1;
  }
  Summary total;
  std::set<int> shards;
  std::set<i64> pairs;
  for (std::size_t i = 0; i < files.size(); ++i) {
    Summary s;
    std::string error;
    if (!readSummary(files[i], s, error)) {
      std::cerr << "quorvane-match merge: " << error << '\n';
      return 1;
    }
    if (i == 0) {
      total.names[0] = s.names[0];
      total.names[1] = s.names[1];
      total.identity = s.identity;
      total.sprt = s.sprt;
      total.shardCount = s.shardCount;
    } else if (s.identity != total.identity || s.shardCount != total.shardCount) {
      std::cerr << "quorvane-match merge: " << files[i] << " is not a shard of the same match as " << files[0]
                << " (engines, limits, games, seed, openings, SPRT or shard count differ)\n";
      return 1;
    }
    // A shard killed outright (SIGKILL, a lost node) leaves the summary it last rewrote mid-run.
    const bool short_ = s.shardCount > 1 && static_cast<i64>(s.pairsDone.size()) != s.pairsPlanned;
    if (!s.finished || short_) {
      const char* why = s.interrupted ? "interrupted" : s.stoppedByFault ? "stopped by a fault" : "never finished";
      std::cerr << "quorvane-match merge: " << files[i] << " holds an unfinished shard "
                << s.shardIndex << '/' << s.shardCount << " (" << why << ", " << s.pairsDone.size() << " of "
                << s.pairsPlanned << " pairs); run it again\n";
      return 1;
    }
    if (!shards.insert(s.shardIndex).second) {
      std::cerr << "quorvane-match merge: shard " << s.shardIndex << '/' << s.shardCount << " is given twice ("
                << files[i] << ")\n";
      return 1;
    }
    for (i64 p : s.pairsDone)
      if (!pairs.insert(p).second) {
        std::cerr << "quorvane-match merge: pair " << p << " appears in two summaries (" << files[i] << ")\n";
        return 1;
      }
    total.wins += s.wins;
    total.draws += s.draws;
    total.losses += s.losses;
    for (int k = 0; k < 5; ++k) total.penta[k] += s.penta[k];
    for (int k = 0; k < 2; ++k)
      for (int f = 0; f < kFaultKinds; ++f) total.faults[k][f] += s.faults[k][f];
    total.pairsPlanned += s.pairsPlanned;
    total.gameJson.insert(total.gameJson.end(), s.gameJson.begin(), s.gameJson.end());
  }
  std::string missing;
  for (int k = 0; k < total.shardCount; ++k)
    if (!shards.count(k)) {
      if (!missing.empty()) missing += ", ";
      missing += std::to_string(k);
    }
  if (!missing.empty()) {
    std::cerr << "quorvane-match merge: the set is incomplete: no summary of shard " << missing << " of "
              << total.shardCount << '\n';
    return 1;
  }
  total.pairsDone.assign(pairs.begin(), pairs.end());
  total.mergedShards.assign(shards.begin(), shards.end());
  total.shardIndex = 0;
  total.shardCount = 1;
  total.finished = true;
  if (!jsonOut.empty()) {
    std::string error;
    if (!writeFileAtomically(jsonOut, summaryJson(total), error)) {
      std::cerr << "quorvane-match merge: " << error << '\n';
      return 1;
    }
  }
  printReport(std::cout, total);
  return 0;
}

}  // namespace Match
