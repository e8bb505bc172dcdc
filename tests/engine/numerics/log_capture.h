#pragma once
// A temporary file used as destination 3 (error messages) and 2 of the
// output-unit service, so that tests can read what the services printed.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "numerics/error_service.h"

namespace kriging::testing {

class LogCapture {
 public:
  explicit LogCapture(const std::string& tag) {
    path_ = (std::filesystem::temp_directory_path() /
             ("sorvan_" + tag + "_" + std::to_string(::getpid()) + "_" +
              std::to_string(counter_++) + ".log"))
                .string();
    std::filesystem::remove(path_);
  }
  ~LogCapture() {
    Close();
    std::filesystem::remove(path_);
  }
  // Opens the file and points destinations 2 and 3 at it.
  void Open() {
    file_ = std::fopen(path_.c_str(), "w");
    OutputUnit(-2, file_);
    OutputUnit(-3, file_);
  }
  // Points the destinations back at stderr and closes the file.
  void Close() {
    if (file_ == nullptr) return;
    std::FILE* err = stderr;
    OutputUnit(-2, err);
    OutputUnit(-3, err);
    std::fclose(file_);
    file_ = nullptr;
  }
  std::string Text() const {
    std::ifstream in(path_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // The text with every message joined back into one line, for searching.
  std::string Unwrapped() const {
    const std::string t = Text();
    const std::string continuation = "\n ***          ";
    std::string out;
    size_t from = 0;
    for (size_t p; (p = t.find(continuation, from)) != std::string::npos; from = p + continuation.size())
      out += t.substr(from, p - from) + " ";
    return out + t.substr(from);
  }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::istringstream in(Text());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

 private:
  static inline int counter_ = 0;
  std::string path_;
  std::FILE* file_ = nullptr;
};

// Death-test predicate: the process ended by itself with a non-zero status.
inline bool StoppedWithFailure(int status) { return WIFEXITED(status) && WEXITSTATUS(status) != 0; }

}  // namespace kriging::testing
