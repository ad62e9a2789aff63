// A scripted UCI engine for the match manager's fault tests. It plays the first legal move, and
// misbehaves as its arguments say:
//   crash=N       exits at its Nth go          illegal=N  answers its Nth go with an illegal move
//   stall=N       never answers its Nth go     flag=N     answers its Nth go after the whole clock
//   disconnect=N  closes its output at its Nth go, and keeps running
//   nouciok       never answers uci            noreadyok  never answers isready
//   mateloss      reports a losing score (-1000) with every move
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include "tools/match/rules.h"

int main(int argc, char** argv) {
  int crash = 0, illegal = 0, stall = 0, flag = 0, disconnect = 0;
  bool noUciok = false, noReadyok = false, losing = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const auto eq = a.find('=');
    const int n = eq == std::string::npos ? 0 : std::atoi(a.c_str() + eq + 1);
    const std::string key = a.substr(0, eq);
    if (key == "crash") crash = n;
    else if (key == "illegal") illegal = n;
    else if (key == "stall") stall = n;
    else if (key == "flag") flag = n;
    else if (key == "disconnect") disconnect = n;
    else if (key == "nouciok") noUciok = true;
    else if (key == "noreadyok") noReadyok = true;
    else if (key == "mateloss") losing = true;
  }
  auto forever = [] {
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
  };
  Match::GamePosition pos;
  std::string line;
  int goes = 0;
  while (std::getline(std::cin, line)) {
    std::istringstream in(line);
    std::string cmd;
    in >> cmd;
    if (cmd == "uci") {
      std::cout << "id name Fake\nid author the tests\n";
      if (!noUciok) std::cout << "uciok\n";
      std::cout.flush();
    } else if (cmd == "isready") {
      if (!noReadyok) std::cout << "readyok" << std::endl;
    } else if (cmd == "position") {
      std::string word, fen;
      in >> word;
      if (word == "startpos") {
        fen = kStartFen;
      } else {
        for (int k = 0; k < 6 && in >> word; ++k) fen += (k ? " " : "") + word;
      }
      pos.setFen(fen);
      while (in >> word)
        if (word != "moves") pos.play(pos.fromUci(word));
    } else if (cmd == "go") {
      ++goes;
      long wtime = 0, btime = 0;
      std::string word;
      while (in >> word) {
        if (word == "wtime") in >> wtime;
        if (word == "btime") in >> btime;
      }
      if (goes == crash) std::_Exit(3);
      if (goes == stall) forever();
      if (goes == disconnect) {
        ::close(1);
        forever();
      }
      if (goes == flag) {
        const long clock = pos.board().side == White ? wtime : btime;
        std::this_thread::sleep_for(std::chrono::milliseconds(clock + 200));
      }
      std::cout << "info depth 1 score cp " << (losing ? -1000 : 0) << " nodes 1\n";
      if (goes == illegal) std::cout << "bestmove a1a1" << std::endl;
      else std::cout << "bestmove " << moveToString(pos.legal().moves[0]) << std::endl;
    } else if (cmd == "quit") {
      return 0;
    }
  }
  return 0;
}
