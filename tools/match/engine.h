// One UCI engine as a child process: start-up and handshake, lines to it, lines from it with
// deadlines on the monotonic clock, and its end. Reads block in poll(), never spin.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

#include "tools/match/match.h"

namespace Match {

using SteadyClock = std::chrono::steady_clock;

// A descriptor that becomes readable when the match is interrupted (Ctrl-C, SIGTERM) or stopped:
// every wait polls it beside the engine's output, so no wait outlives a stop.
void setStopDescriptor(int fd);

class EngineProcess {
 public:
  EngineProcess() = default;
  ~EngineProcess();
  EngineProcess(const EngineProcess&) = delete;
  EngineProcess& operator=(const EngineProcess&) = delete;

  // Starts the program and runs the handshake (uci, the options, isready). False with a message
  // naming the engine when it cannot start or does not answer in time.
  bool start(const EngineConfig& config, int handshakeMs, bool debug, std::string& error);

  enum class Read { Line, Timeout, Closed, Stopped };
  bool send(const std::string& line);  // false: the engine no longer reads (disconnected or dead)
  Read readLine(std::string& line, SteadyClock::time_point deadline);
  // Sends isready and waits for readyok.
  Read sync(SteadyClock::time_point deadline);

  bool running() const { return pid_ > 0; }
  // After a failed read or write: whether the process has ended (a crash) rather than only closed
  // its pipes (a disconnect). Waits a moment for the exit to show.
  bool exited();
  // "quit", a short wait, then SIGKILL; always reaps the child.
  void stop();
  void kill();

  const std::string& name() const { return name_; }

 private:
  void closePipes();

  pid_t pid_ = -1;
  int in_ = -1, out_ = -1;
  bool reaped_ = false;
  bool debug_ = false;
  std::string buffer_, name_;
};

}  // namespace Match
