// A fresh temporary directory per test, removed with its contents at the end, and whole-file reads
// and writes.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

namespace testsupport {

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

class TempDir {
 public:
  TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quorvane-test-XXXXXX").string();
    const char* p = ::mkdtemp(pattern.data());
    EXPECT_NE(p, nullptr);
    path_ = p ? p : "/tmp";
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string file(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }
  // Writes text to the named file (creating the directories on its way) and returns its path.
  std::string write(const std::string& name, const std::string& text) const {
    const std::string f = file(name);
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(f).parent_path(), ec);
    std::ofstream(f, std::ios::binary) << text;
    return f;
  }

 private:
  std::string path_;
};

}  // namespace testsupport
