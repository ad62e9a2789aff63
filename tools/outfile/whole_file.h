// An output file that is written whole or not at all: the text goes to a temporary file beside the
// target, which replaces the target only when commit() succeeds. A failed or interrupted run leaves
// an earlier file of that name as it was, and never an empty or partial one.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

class WholeFile {
 public:
  explicit WholeFile(std::string target) : target_(std::move(target)) {}
  ~WholeFile();  // removes the temporary file unless committed
  WholeFile(const WholeFile&) = delete;
  WholeFile& operator=(const WholeFile&) = delete;

  // Creates the temporary file (so it also proves early that the target can be written). A target
  // that is no regular file but a device or a pipe (/dev/stdout, /dev/null) is opened and written
  // directly; a directory is refused. On failure sets error to "cannot write PATH: reason".
  bool open(std::string& error);
  // Appends text; a failure is remembered and reported by commit().
  void write(std::string_view text);
  // Pushes what was written so far to the temporary file, for readers who watch it.
  void flush();
  // Flushes, closes and renames the temporary file over the target. False with error set when a
  // write, the flush (a full disk) or the rename failed; the temporary file is then removed.
  bool commit(std::string& error);
  // Removes the temporary file now (what the destructor does).
  void discard();

  const std::string& target() const { return target_; }
  // Where the text goes until commit(): the temporary file, or the target itself when it is a
  // device or a pipe.
  const std::string& path() const { return path_; }

  // Whether two paths name one file: the same file on disk (a link, "./x" and "x"), or for paths
  // that do not exist yet, the same absolute path.
  static bool sameFile(const std::string& a, const std::string& b);

  // Writes text to path whole, unless the file already holds exactly that text: a generated header
  // then keeps its time stamp, so nothing that includes it is rebuilt. False with error set.
  static bool writeIfChanged(const std::string& path, std::string_view text, std::string& error);

  // Installs handlers for SIGINT, SIGTERM and SIGHUP that remove the temporary files of every open
  // WholeFile and then end the process as the signal would have.
  static void removeOnSignal();

 private:
  bool fail(std::string& error, const std::string& what, int err);

  std::string target_;
  std::string path_;
  std::FILE* file_ = nullptr;
  bool direct_ = false;  // writing the target itself (a device or a pipe)
  int writeError_ = 0;   // errno of the first failed write, 0 if none
  int slot_ = -1;        // in the table the signal handler reads
};
