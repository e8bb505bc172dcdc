#include "core/data_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>

#include "core/atomic_writer.h"

namespace sorvan::core {

namespace {

std::string WithoutTrailingBlanks(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// A text field of a ".dae" file: quoted, and a quote inside (which the format
// cannot hold) becomes an apostrophe.
std::string DaeText(std::string s) {
  std::replace(s.begin(), s.end(), '"', '\'');
  std::replace(s.begin(), s.end(), '\n', ' ');
  return "\"" + WithoutTrailingBlanks(s) + "\"";
}

// A header field of delimited text, quoted when it must be.
std::string TextField(const std::string& s, char separator) {
  if (s.find_first_of(std::string("\"\r\n") + separator) == std::string::npos && !s.empty() && s.front() != ' ')
    return s;
  std::string r = "\"";
  for (char c : s) {
    if (c == '"') r += '"';
    r += c;
  }
  return r + "\"";
}

// Writes the header, then each data row as `rowText` gives it, reporting
// progress; a cancel leaves the file as it was.
bool WriteRows(AtomicWriter& w, std::string& message, const SpatialData& d, const ProgressCallback& progress,
               std::string header, const std::function<void(int row, std::string& s)>& rowText) {
  if (!w.write(header)) return false;
  std::string s;
  for (int i = 1; i <= d.N; ++i) {
    if (!KeepGoing(progress, i - 1, i - 1, d.N)) {
      message = kCancelledText;
      return false;
    }
    s.clear();
    rowText(i, s);
    if (!w.write(s)) return false;
  }
  return true;
}

}  // namespace

std::string NumberText(double v, char decimal) {
  if (std::isnan(v)) return {};
  char b[64];
  auto [p, ec] = std::to_chars(b, b + sizeof b, v);
  std::string s(b, ec == std::errc() ? p : b);
  if (decimal == ',') std::replace(s.begin(), s.end(), '.', ',');
  return s;
}

Result WriteDae(const std::string& path, const SpatialData& d, const ProgressCallback& progress) {
  return WriteFileAtomically(path, [&](AtomicWriter& w, std::string& message) {
    std::string s = DaeText(d.title) + "\n" + std::to_string(d.nvar) + "," + std::to_string(d.N) + "\n";
    for (int k = 1; k <= d.nvar; ++k) {
      const float number = size_t(k) <= d.numbers.size() ? d.numbers[size_t(k - 1)] : 0.0f;
      s += DaeText(d.names[size_t(k - 1)]) + "," + DaeText(d.descriptions[size_t(k - 1)]) + "," +
           NumberText(number) + "\n";
    }
    return WriteRows(w, message, d, progress, s, [&](int i, std::string& row) {
      for (int k = 1; k <= d.nvar; ++k) {
        const double v = d.value(i, k);
        row += std::isnan(v) ? std::string("NA") : NumberText(v);
        row += k < d.nvar ? ',' : '\n';
      }
    });
  });
}

Result WriteDelimitedText(const std::string& path, const SpatialData& d, const TextFormat& f,
                          const ProgressCallback& progress) {
  const char sep = f.separator;
  const char decimal = sep == ',' ? '.' : f.decimal;  // a comma cannot be both
  return WriteFileAtomically(path, [&](AtomicWriter& w, std::string& message) {
    std::string s;
    for (int k = 1; k <= d.nvar; ++k) {
      // Text imports keep the whole column name as the description.
      const std::string name = d.nameWithoutBlanks(k);
      const std::string desc = WithoutTrailingBlanks(d.descriptions[size_t(k - 1)]);
      s += TextField(desc.rfind(name, 0) == 0 && !name.empty() ? desc : name, sep);
      s += k < d.nvar ? sep : '\n';
    }
    return WriteRows(w, message, d, progress, s, [&](int i, std::string& row) {
      for (int k = 1; k <= d.nvar; ++k) {
        const double v = d.value(i, k);
        // Blanks as separator cannot show an empty field: "NA" then.
        row += std::isnan(v) && sep == ' ' ? std::string("NA") : NumberText(v, decimal);
        row += k < d.nvar ? sep : '\n';
      }
    });
  });
}

Result WriteData(const std::string& path, const SpatialData& data) {
  if (!IsDelimitedText(path)) return WriteDae(path, data);
  TextFormat f;
  std::string ext = path.substr(path.size() - 4);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  if (ext == ".tsv") f.separator = '\t';
  return WriteDelimitedText(path, data, f);
}

}  // namespace sorvan::core
