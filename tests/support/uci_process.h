// Runs the engine binary as a child process with pipes on its standard streams, for end-to-end tests.
// Every read, write and wait has a deadline, and the destructor kills a child that is still alive, so a
// hung or crashed engine fails the test instead of hanging it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace testsupport {

class UciProcess {
 public:
  using Clock = std::chrono::steady_clock;

  // args are the command-line arguments after the program name. A nonzero addressSpaceLimit (bytes)
  // is set as the child's RLIMIT_AS before it starts, to make large allocations fail on purpose.
  explicit UciProcess(const std::vector<std::string>& args = {}, std::uint64_t addressSpaceLimit = 0) {
    // Writing to a child that has already exited must give EPIPE, not kill the test.
    ::signal(SIGPIPE, SIG_IGN);
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0) return;
    if (::pipe2(out, O_CLOEXEC) != 0) {
      closeAll({in[0], in[1]});
      return;
    }
    if (::pipe2(err, O_CLOEXEC) != 0) {
      closeAll({in[0], in[1], out[0], out[1]});
      return;
    }

    std::vector<std::string> argvStore;
    argvStore.push_back(QUORVANE_BIN);
    for (const auto& a : args) argvStore.push_back(a);
    std::vector<char*> argv;
    for (auto& a : argvStore) argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_ = ::fork();
    if (pid_ == 0) {
      // Child: only async-signal-safe calls until exec. dup2 clears close-on-exec on 0, 1 and 2.
      ::dup2(in[0], 0);
      ::dup2(out[1], 1);
      ::dup2(err[1], 2);
      if (addressSpaceLimit != 0) {
        struct rlimit lim;
        lim.rlim_cur = lim.rlim_max = static_cast<rlim_t>(addressSpaceLimit);
        ::setrlimit(RLIMIT_AS, &lim);
      }
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    if (pid_ < 0) {
      closeAll({in[1], out[0], err[0]});
      return;
    }
    in_ = in[1];
    out_ = out[0];
    err_ = err[0];
    ::fcntl(in_, F_SETFL, ::fcntl(in_, F_GETFL) | O_NONBLOCK);
    ::fcntl(out_, F_SETFL, ::fcntl(out_, F_GETFL) | O_NONBLOCK);
    ::fcntl(err_, F_SETFL, ::fcntl(err_, F_GETFL) | O_NONBLOCK);
  }

  ~UciProcess() {
    if (pid_ > 0 && !reaped_) {
      ::kill(pid_, SIGKILL);
      int st = 0;
      ::waitpid(pid_, &st, 0);
    }
    closeAll({in_, out_, err_});
  }

  UciProcess(const UciProcess&) = delete;
  UciProcess& operator=(const UciProcess&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  // Writes the line and a "\n". False when the child stopped reading or the deadline passed.
  bool send(std::string_view line, int timeoutMs = 10000) {
    std::string data(line);
    data += '\n';
    return sendRaw(data, timeoutMs);
  }

  // Writes bytes as they are. While the pipe is full the child's output keeps being drained, since a
  // child blocked on a full stdout would never read its input again.
  bool sendRaw(std::string_view data, int timeoutMs = 10000) {
    if (in_ < 0) return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t done = 0;
    while (done < data.size()) {
      const ssize_t n = ::write(in_, data.data() + done, data.size() - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
      const int left = remainingMs(deadline);
      if (left <= 0) return false;
      pump(std::min(left, 50), true);
    }
    return true;
  }

  // Closes the child's standard input: the engine sees the end of its input.
  void closeInput() {
    if (in_ >= 0) ::close(in_);
    in_ = -1;
  }

  // The next line of standard output without its "\n"; nullopt on timeout or at the end of output.
  std::optional<std::string> readLine(int timeoutMs = 10000) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      const std::size_t nl = outBuf_.find('\n');
      if (nl != std::string::npos) {
        std::string line = outBuf_.substr(0, nl);
        outBuf_.erase(0, nl + 1);
        return line;
      }
      if (outEof_) {
        if (outBuf_.empty()) return std::nullopt;
        std::string rest = std::move(outBuf_);
        outBuf_.clear();
        return rest;
      }
      const int left = remainingMs(deadline);
      if (left <= 0) return std::nullopt;
      pump(left, false);
    }
  }

  // Reads lines until one satisfies pred and returns it; every line read (the match included) is
  // appended to seen. nullopt on timeout or end of output.
  std::optional<std::string> readUntil(const std::function<bool(const std::string&)>& pred, int timeoutMs = 10000,
                                       std::vector<std::string>* seen = nullptr) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      const int left = remainingMs(deadline);
      auto line = readLine(left > 0 ? left : 0);
      if (!line) return std::nullopt;
      if (seen) seen->push_back(*line);
      if (pred(*line)) return line;
    }
  }

  std::optional<std::string> readUntilPrefix(std::string_view prefix, int timeoutMs = 10000,
                                             std::vector<std::string>* seen = nullptr) {
    return readUntil([prefix](const std::string& l) { return l.rfind(prefix, 0) == 0; }, timeoutMs, seen);
  }

  // Waits for the child to exit: its exit status, 128 + signal number when a signal ended it, or -1
  // on timeout (the child is then killed). Output keeps being drained meanwhile.
  int waitExit(int timeoutMs = 10000) {
    if (pid_ <= 0) return -1;
    if (reaped_) return status_;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      int st = 0;
      const pid_t r = ::waitpid(pid_, &st, WNOHANG);
      if (r == pid_) {
        reaped_ = true;
        status_ = WIFEXITED(st) ? WEXITSTATUS(st) : WIFSIGNALED(st) ? 128 + WTERMSIG(st) : -1;
        // Collect what the child wrote just before it ended (bounded, in case a pipe stays open).
        const auto drainEnd = Clock::now() + std::chrono::seconds(2);
        while ((!outEof_ || !errEof_) && Clock::now() < drainEnd) pump(100, false);
        return status_;
      }
      const int left = remainingMs(deadline);
      if (left <= 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &st, 0);
        reaped_ = true;
        status_ = -1;
        return -1;
      }
      pump(std::min(left, 20), false);
    }
  }

  // Standard error gathered so far.
  const std::string& errText() {
    pump(0, false);
    return errBuf_;
  }

  // Standard output not yet consumed by readLine.
  const std::string& pendingOut() const { return outBuf_; }

 private:
  static int remainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
  }

  static void closeAll(std::initializer_list<int> fds) {
    for (int fd : fds)
      if (fd >= 0) ::close(fd);
  }

  // One poll over the child's output streams (and its input when wantWrite), reading what is ready.
  void pump(int timeoutMs, bool wantWrite) {
    pollfd fds[3];
    int n = 0;
    if (!outEof_ && out_ >= 0) fds[n++] = {out_, POLLIN, 0};
    if (!errEof_ && err_ >= 0) fds[n++] = {err_, POLLIN, 0};
    if (wantWrite && in_ >= 0) fds[n++] = {in_, POLLOUT, 0};
    if (n == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::min(timeoutMs, 5)));
      return;
    }
    if (::poll(fds, static_cast<nfds_t>(n), timeoutMs) <= 0) return;
    for (int i = 0; i < n; ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      if (fds[i].fd == out_) drain(out_, outBuf_, outEof_);
      if (fds[i].fd == err_) drain(err_, errBuf_, errEof_);
    }
  }

  static void drain(int fd, std::string& buf, bool& eof) {
    char chunk[4096];
    for (;;) {
      const ssize_t r = ::read(fd, chunk, sizeof(chunk));
      if (r > 0) {
        buf.append(chunk, static_cast<std::size_t>(r));
        continue;
      }
      if (r == 0) eof = true;
      if (r < 0 && errno == EINTR) continue;
      return;
    }
  }

  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  int err_ = -1;
  std::string outBuf_;
  std::string errBuf_;
  bool outEof_ = false;
  bool errEof_ = false;
  bool reaped_ = false;
  int status_ = -1;
};

struct RunResult {
  int status = -1;  // as UciProcess::waitExit
  std::string out;
  std::string err;
};

// Runs the engine with the arguments, feeds it the input text and then the end of input, and gathers
// everything it writes.
inline RunResult runEngine(const std::vector<std::string>& args, std::string_view input = {},
                           int timeoutMs = 20000) {
  RunResult result;
  UciProcess p(args);
  if (!p.started()) return result;
  if (!input.empty()) p.sendRaw(input, timeoutMs);
  p.closeInput();
  result.status = p.waitExit(timeoutMs);
  result.out = p.pendingOut();
  result.err = p.errText();
  return result;
}

}  // namespace testsupport
