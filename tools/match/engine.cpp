// Engine processes over pipes.
#include "tools/match/engine.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <thread>
#include <vector>

namespace Match {

namespace {

std::atomic<int> gStopFd{-1};

int msUntil(SteadyClock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
  // Rounded up, so a wait never ends a millisecond early and spins on a zero timeout.
  return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left + 1, 1 << 30));
}

}  // namespace

void setStopDescriptor(int fd) { gStopFd = fd; }

EngineProcess::~EngineProcess() { kill(); }

bool EngineProcess::start(const EngineConfig& config, int handshakeMs, bool debug, std::string& error) {
  kill();
  debug_ = debug;
  name_ = config.name;
  int in[2], out[2], report[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(report, O_CLOEXEC) != 0) {
    error = "engine " + name_ + ": cannot make pipes: " + std::strerror(errno);
    return false;
  }
  std::vector<std::string> store{config.cmd};
  store.insert(store.end(), config.args.begin(), config.args.end());
  std::vector<char*> argv;
  for (auto& a : store) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int devNull = debug ? -1 : ::open("/dev/null", O_WRONLY | O_CLOEXEC);

  pid_ = ::fork();
  if (pid_ == 0) {
    // The child: only async-signal-safe calls until exec. An exec failure's errno goes back
    // through the close-on-exec report pipe, so the parent can name the reason.
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    if (devNull >= 0) ::dup2(devNull, 2);
    ::signal(SIGPIPE, SIG_DFL);
    ::signal(SIGINT, SIG_IGN);  // Ctrl-C is the manager's to handle; it ends the engines itself
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    int e = 0;
    if (!config.dir.empty() && ::chdir(config.dir.c_str()) != 0) {
      e = errno;
    } else {
      ::execvp(argv[0], argv.data());
      e = errno;
    }
    (void)!::write(report[1], &e, sizeof e);
    ::_exit(127);
  }
  const int forkErrno = errno;
  ::close(in[0]);
  ::close(out[1]);
  ::close(report[1]);
  if (devNull >= 0) ::close(devNull);
  if (pid_ < 0) {
    ::close(in[1]);
    ::close(out[0]);
    ::close(report[0]);
    error = "engine " + name_ + ": cannot start a process: " + std::strerror(forkErrno);
    return false;
  }
  in_ = in[1];
  out_ = out[0];
  reaped_ = false;
  int childErrno = 0;
  ssize_t n;
  do n = ::read(report[0], &childErrno, sizeof childErrno);
  while (n < 0 && errno == EINTR);
  ::close(report[0]);
  if (n == sizeof childErrno) {
    error = "engine " + name_ + ": cannot run " + config.cmd +
            (config.dir.empty() ? "" : " in " + config.dir) + ": " + std::strerror(childErrno);
    kill();
    return false;
  }
  ::fcntl(out_, F_SETFL, ::fcntl(out_, F_GETFL) | O_NONBLOCK);

  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(handshakeMs);
  std::string line;
  auto fail = [&](Read r, const char* waitingFor) {
    if (r == Read::Stopped) error = "interrupted while starting engine " + name_;
    else if (r == Read::Timeout)
      error = "engine " + name_ + " (" + config.cmd + ") did not answer " + waitingFor + " within " +
              std::to_string(handshakeMs) + " ms";
    else
      error = "engine " + name_ + " (" + config.cmd + ") ended before answering " + waitingFor;
    kill();
    return false;
  };
  if (!send("uci")) return fail(Read::Closed, "uci");
  for (;;) {
    const Read r = readLine(line, deadline);
    if (r != Read::Line) return fail(r, "uci with uciok");
    if (line == "uciok") break;
  }
  for (const auto& [key, value] : config.options)
    if (!send("setoption name " + key + " value " + value)) return fail(Read::Closed, "setoption");
  const Read r = sync(deadline);
  if (r != Read::Line) return fail(r, "isready with readyok");
  return true;
}

bool EngineProcess::send(const std::string& line) {
  if (in_ < 0) return false;
  if (debug_) std::cerr << name_ << " < " << line << '\n';
  std::string data = line + '\n';
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(in_, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

EngineProcess::Read EngineProcess::readLine(std::string& line, SteadyClock::time_point deadline) {
  for (;;) {
    const std::size_t nl = buffer_.find('\n');
    if (nl != std::string::npos) {
      line.assign(buffer_, 0, nl);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      buffer_.erase(0, nl + 1);
      if (debug_) std::cerr << name_ << " > " << line << '\n';
      return Read::Line;
    }
    if (out_ < 0) return Read::Closed;
    pollfd fds[2] = {{out_, POLLIN, 0}, {gStopFd.load(), POLLIN, 0}};
    const int nfds = fds[1].fd >= 0 ? 2 : 1;
    const int r = ::poll(fds, nfds, msUntil(deadline));
    if (r < 0) {
      if (errno == EINTR) continue;
      return Read::Closed;
    }
    if (nfds == 2 && (fds[1].revents & POLLIN)) return Read::Stopped;
    if (r == 0) {
      if (SteadyClock::now() >= deadline) return Read::Timeout;
      continue;
    }
    char chunk[4096];
    const ssize_t n = ::read(out_, chunk, sizeof chunk);
    if (n > 0) {
      buffer_.append(chunk, static_cast<std::size_t>(n));
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
      ::close(out_);
      out_ = -1;
    }
  }
}

EngineProcess::Read EngineProcess::sync(SteadyClock::time_point deadline) {
  if (!send("isready")) return Read::Closed;
  std::string line;
  for (;;) {
    const Read r = readLine(line, deadline);
    if (r != Read::Line || line == "readyok") return r;
  }
}

bool EngineProcess::exited() {
  if (pid_ <= 0 || reaped_) return true;
  for (int i = 0; i < 50; ++i) {
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_ || r < 0) {
      reaped_ = true;
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

void EngineProcess::stop() {
  if (pid_ <= 0) return;
  if (!reaped_ && send("quit")) {
    for (int i = 0; i < 100 && !reaped_; ++i) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) != 0) reaped_ = true;
      else std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  kill();
}

void EngineProcess::kill() {
  if (pid_ > 0 && !reaped_) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
  }
  pid_ = -1;
  reaped_ = false;
  closePipes();
  buffer_.clear();
}

void EngineProcess::closePipes() {
  if (in_ >= 0) ::close(in_);
  if (out_ >= 0) ::close(out_);
  in_ = out_ = -1;
}

}  // namespace Match
