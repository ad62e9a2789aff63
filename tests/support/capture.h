// Captures what the code under test writes to std::cout (or another stream) while the object
// lives. Safe to read while search threads still write; install and remove it only while no search
// runs (the pool's mutexes then order the swap against the threads' writes).
#pragma once

#include <iostream>
#include <mutex>
#include <streambuf>
#include <string>

namespace testsupport {

class StreamCapture {
 public:
  explicit StreamCapture(std::ostream& stream = std::cout) : stream_(stream), old_(stream.rdbuf(&buf_)) {}
  ~StreamCapture() { stream_.rdbuf(old_); }
  StreamCapture(const StreamCapture&) = delete;
  StreamCapture& operator=(const StreamCapture&) = delete;
  std::string text() { return buf_.text(); }

 private:
  class Buffer : public std::streambuf {
   public:
    std::string text() {
      std::lock_guard<std::mutex> lock(m_);
      return text_;
    }

   protected:
    int overflow(int c) override {
      if (c == traits_type::eof()) return 0;
      std::lock_guard<std::mutex> lock(m_);
      text_.push_back(static_cast<char>(c));
      return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
      std::lock_guard<std::mutex> lock(m_);
      text_.append(s, static_cast<std::size_t>(n));
      return n;
    }

   private:
    std::mutex m_;
    std::string text_;
  };

  std::ostream& stream_;
  Buffer buf_;
  std::streambuf* old_;
};

}  // namespace testsupport
