#pragma once
// A command-line program of the build run as a user runs it, its standard
// output and error captured; a file read whole; and the folders CTest names.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace test_data {

// The sources', the build's and the library's folders as CTest passes them
// (SORVAN_SOURCE_DIR, SORVAN_BUILD_DIR, SORVAN_LIB_DIR), or their places from
// the tests' working folder (build/tests).
inline std::string EnvironmentOr(const char* name, const char* byDefault) {
  const char* value = std::getenv(name);
  return value ? value : byDefault;
}
inline std::string SourceDir() { return EnvironmentOr("SORVAN_SOURCE_DIR", "../.."); }
inline std::string BuildDir() { return EnvironmentOr("SORVAN_BUILD_DIR", ".."); }
inline std::string LibraryDir() { return EnvironmentOr("SORVAN_LIB_DIR", "../lib"); }

inline std::string ReadWhole(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct ToolOutput {
  int state = -1;  // exit status, -1 when it did not exit
  std::string out, err;
};

// `program arguments`, with the output kept in files of `folder` (created).
inline ToolOutput RunProgram(const std::string& program, const std::string& arguments,
                             const std::filesystem::path& folder) {
  std::filesystem::create_directories(folder);
  const std::string order = program + " " + arguments + " >" + (folder / "out.txt").string() + " 2>" +
                            (folder / "err.txt").string();
  const int r = std::system(order.c_str());
  return {WIFEXITED(r) ? WEXITSTATUS(r) : -1, ReadWhole(folder / "out.txt"), ReadWhole(folder / "err.txt")};
}

}  // namespace test_data
