// The temporary file, its rename, and the signal handler that removes what an interrupt left.
#include "tools/outfile/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace {

// The temporary files open now, for the signal handler, which may only read plain memory.
constexpr int kSlots = 8;
constexpr std::size_t kPathMax = 4096;
char gTempPath[kSlots][kPathMax];
volatile std::sig_atomic_t gTempUsed[kSlots];

int claimSlot(const std::string& path) {
  if (path.size() >= kPathMax) return -1;
  for (int i = 0; i < kSlots; ++i)
    if (!gTempUsed[i]) {
      std::memcpy(gTempPath[i], path.c_str(), path.size() + 1);
      gTempUsed[i] = 1;
      return i;
    }
  return -1;
}

extern "C" void removeTempFiles(int sig) {
  const int savedErrno = errno;
  for (int i = 0; i < kSlots; ++i)
    if (gTempUsed[i]) ::unlink(gTempPath[i]);
  // Ends the process as the signal would have once the handler returns (the signal is blocked
  // until then).
  std::signal(sig, SIG_DFL);
  std::raise(sig);
  errno = savedErrno;
}

// A symbolic link is followed, so that the file it names is replaced rather than the link.
std::string resolved(const std::string& target) {
  std::error_code ec;
  if (!std::filesystem::is_symlink(target, ec)) return target;
  const std::filesystem::path real = std::filesystem::weakly_canonical(target, ec);
  return ec ? target : real.string();
}

}  // namespace

WholeFile::~WholeFile() { discard(); }

bool WholeFile::fail(std::string& error, const std::string& what, int err) {
  error = what + " " + target_ + ": " + std::strerror(err);
  discard();
  return false;
}

bool WholeFile::open(std::string& error) {
  const std::string real = resolved(target_);
  struct stat st {};
  const bool exists = ::stat(real.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return fail(error, "cannot write", EISDIR);
  if (exists && !S_ISREG(st.st_mode)) {
    // No file can take the place of a device or a pipe: write to it as it is.
    direct_ = true;
    path_ = real;
    file_ = std::fopen(real.c_str(), "w");
    return file_ ? true : fail(error, "cannot write", errno);
  }
  std::string name = real + ".tmp-XXXXXX";
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return fail(error, "cannot write", errno);
  path_ = name;
  slot_ = claimSlot(path_);
  // mkstemp makes the file private; give it the mode the target has, or would get when created.
  mode_t mode = st.st_mode & 07777;
  if (!exists) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  ::fchmod(fd, mode);
  file_ = ::fdopen(fd, "w");
  if (!file_) {
    const int err = errno;
    ::close(fd);
    return fail(error, "cannot write", err);
  }
  return true;
}

void WholeFile::write(std::string_view text) {
  if (!file_ || writeError_ || text.empty()) return;
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) writeError_ = errno ? errno : EIO;
}

void WholeFile::flush() {
  if (file_ && !writeError_ && std::fflush(file_) != 0) writeError_ = errno ? errno : EIO;
}

bool WholeFile::commit(std::string& error) {
  if (!file_) return fail(error, "cannot write", EBADF);
  flush();
  if (!writeError_ && !direct_ && ::fsync(::fileno(file_)) != 0) writeError_ = errno;
  std::FILE* f = file_;
  file_ = nullptr;
  if (std::fclose(f) != 0 && !writeError_) writeError_ = errno ? errno : EIO;
  if (writeError_) return fail(error, "cannot write", writeError_);
  if (!direct_ && std::rename(path_.c_str(), resolved(target_).c_str()) != 0)
    return fail(error, "cannot rename the finished file to", errno);
  if (slot_ >= 0) gTempUsed[slot_] = 0;
  slot_ = -1;
  path_.clear();
  return true;
}

void WholeFile::discard() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  if (!direct_ && !path_.empty()) ::unlink(path_.c_str());
  if (slot_ >= 0) gTempUsed[slot_] = 0;
  slot_ = -1;
  path_.clear();
}

void WholeFile::removeOnSignal() {
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    // An ignored signal stays ignored (a run started with nohup, or in the background of a script).
    struct sigaction old {};
    if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    struct sigaction sa {};
    sa.sa_handler = removeTempFiles;
    sigemptyset(&sa.sa_mask);
    ::sigaction(sig, &sa, nullptr);
  }
}

bool WholeFile::sameFile(const std::string& a, const std::string& b) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (fs::equivalent(a, b, ec) && !ec) return true;
  auto absolute = [](const std::string& p) {
    std::error_code e;
    fs::path r = fs::weakly_canonical(p, e);
    return e ? fs::absolute(p, e).lexically_normal() : r;
  };
  return absolute(a) == absolute(b);
}

bool WholeFile::writeIfChanged(const std::string& path, std::string_view text, std::string& error) {
  std::error_code ec;
  if (std::filesystem::is_regular_file(path, ec)) {
    std::ifstream old(path, std::ios::binary);
    std::ostringstream oldText;
    oldText << old.rdbuf();
    if (old && oldText.str() == text) return true;
  }
  WholeFile out(path);
  if (!out.open(error)) return false;
  out.write(text);
  return out.commit(error);
}
