#pragma once
// The meuse example data of the source tree: 155 points, columns x, y and log
// zinc as floats.
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kriging::testing {

struct MeuseData {
  std::vector<float> x, y, logZinc;
};

// Reads examples/meuse.dae below SORVAN_SOURCE_DIR (or the working folder's
// parent chain when the variable is unset). Returns empty columns on failure.
inline MeuseData ReadMeuse() {
  const char* root = std::getenv("SORVAN_SOURCE_DIR");
  std::ifstream in(std::string(root != nullptr ? root : "../..") + "/examples/meuse.dae");
  MeuseData data;
  std::string line;
  std::getline(in, line);  // title
  std::getline(in, line);  // variables, rows
  int variables = 0, rows = 0;
  char comma;
  std::istringstream(line) >> variables >> comma >> rows;
  for (int v = 0; v < variables; ++v) std::getline(in, line);  // names
  for (int r = 0; r < rows && std::getline(in, line); ++r) {
    std::istringstream fields(line);
    std::vector<double> values;
    for (std::string field; std::getline(fields, field, ',');) values.push_back(std::stod(field));
    if (values.size() < 4) return {};
    data.x.push_back(static_cast<float>(values[0]));
    data.y.push_back(static_cast<float>(values[1]));
    data.logZinc.push_back(static_cast<float>(values[3]));
  }
  return data;
}

}  // namespace kriging::testing
