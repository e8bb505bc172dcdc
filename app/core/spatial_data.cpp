#include "core/spatial_data.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>

#include "core/list_reader.h"
#include "core/number_text.h"

namespace sorvan::core {

std::string SpatialData::nameWithoutBlanks(int var) const {
  std::string s = names.at(size_t(var - 1));
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

int SpatialData::findColumn(std::string_view nombre) const {
  std::string sought = FitWidth(nombre, kNameWidth);
  while (!sought.empty() && sought.back() == ' ') sought.pop_back();
  auto equalIgnoringCase = [](std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char p, char q) {
             return std::tolower(static_cast<unsigned char>(p)) == std::tolower(static_cast<unsigned char>(q));
           });
  };
  for (int k = 1; k <= nvar; ++k)
    if (nameWithoutBlanks(k) == sought) return k;
  for (int k = 1; k <= nvar; ++k)
    if (equalIgnoringCase(nameWithoutBlanks(k), sought)) return k;
  return 0;
}

Result ReadData(const std::string& path, SpatialData& data, const ReadOptions& options) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return Result::Error(path + ": es una carpeta, no un archivo de datos.");
  std::ifstream input(path, std::ios::binary);
  if (!input) return Result::Error(path + ": no se puede abrir el archivo de datos.");
  return ReadData(input, path, data, options);
}

namespace {

constexpr size_t kMaxDataLine = size_t(1) << 26;  // 64 MiB: far beyond any real row
constexpr size_t kMaxNumberLength = 64;

// One data line split into fields: commas separate fields, and within the
// text between two commas blanks separate numbers. A field with nothing in
// it is missing; a comma at the end of the line opens no field of its own
// unless the row needs it (trailingComma).
struct DataLine {
  int line = 0;
  size_t start = 0;  // first of its fields in the flat list
  int tally = 0;     // fields, not counting a final comma's
  bool trailingComma = false;
};

bool IsDataBlank(char c) { return c == ' ' || c == '\t'; }


}  // namespace

bool IsMissingText(std::string_view field) {
  return field.size() == 2 && (field[0] == 'N' || field[0] == 'n') && (field[1] == 'A' || field[1] == 'a');
}

std::vector<int> CompleteRows(const SpatialData& data, std::initializer_list<int> columns) {
  std::vector<int> rows;
  for (int i = 0; i < data.N; ++i) {
    bool complete = true;
    for (int c : columns) complete = complete && !std::isnan(data.column(c)[i]);
    if (complete) rows.push_back(i);
  }
  return rows;
}

int SpatialData::missing(int var) const {
  const double* c = column(var);
  return static_cast<int>(std::count_if(c, c + N, [](double v) { return std::isnan(v); }));
}

void SpatialData::recomputeExtremes(int var) {
  double smallest = std::numeric_limits<double>::quiet_NaN(), largest = smallest;
  const double* c = column(var);
  for (int i = 0; i < N; ++i) {
    const double v = c[i];
    if (std::isnan(v)) continue;
    if (std::isnan(smallest) || v < smallest) smallest = v;
    if (std::isnan(largest) || v > largest) largest = v;
  }
  minimum[size_t(var - 1)] = smallest;
  maximum[size_t(var - 1)] = largest;
}

void SpatialData::fillFromRows(const std::vector<double>& rows) {
  matrix.assign(size_t(N) * size_t(nvar), 0.0);
  for (size_t i = 0; i < size_t(N); ++i)
    for (size_t k = 0; k < size_t(nvar); ++k) matrix[k * size_t(N) + i] = rows[i * size_t(nvar) + k];
  minimum.assign(size_t(nvar), 0.0);
  maximum.assign(size_t(nvar), 0.0);
  for (int k = 1; k <= nvar; ++k) recomputeExtremes(k);
}

Result ReadData(std::istream& input, const std::string& fileName, SpatialData& data,
                   const ReadOptions& options) {
  ListReader reader(input, fileName);
  // Everything goes into a fresh data set that replaces the caller's only
  // when the whole file has been read.
  SpatialData d;
  auto failure = [&] { return Result::Error(reader.error() + "\nNo se ha cargado el archivo."); };
  auto failureAt = [&](int line, const std::string& what) {
    return Result::Error(fileName + ", línea " + std::to_string(line) + ": " + what +
                            "\nNo se ha cargado el archivo.");
  };

  std::string text;
  if (!reader.readText(text, "título")) return failure();
  d.title = FitWidth(text, kTextWidth);

  int64_t nvar = 0, n = 0;
  if (!reader.readInteger(nvar, "nº de variables", 1, kMaxVariables)) return failure();
  if (!reader.readInteger(n, "nº de datos", 1, std::numeric_limits<int32_t>::max())) return failure();
  d.nvar = static_cast<int>(nvar);

  for (int k = 1; k <= d.nvar; ++k) {
    const std::string var = "variable " + std::to_string(k);
    if (!reader.readText(text, "nombre de la " + var)) return failure();
    d.names.push_back(FitWidth(text, kNameWidth));
    if (!reader.readText(text, "descripción de la " + var)) return failure();
    d.descriptions.push_back(FitWidth(text, kTextWidth));
    float number = 0;
    if (!reader.readNumber(number, "número de la cabecera de la " + var)) return failure();
    d.numbers.push_back(number);
  }

  // Every data line is split into fields first; whether the file puts one
  // point per line is decided once all line lengths are known. Memory follows
  // what the file really holds, not the count it announces.
  const auto variableName = [&](int k) { return "«" + ShowValue(d.nameWithoutBlanks(k)) + "»"; };
  std::vector<double> values;
  std::vector<DataLine> lines;
  bool byLinesSoFar = true;  // every line so far held nvar fields
  const size_t nv = size_t(d.nvar);
  for (long long rounds = 0;; ++rounds) {
    // Lines against the points announced: the share read when one holds a point.
    if (!KeepGoing(options.progress, rounds, double(rounds), double(n))) return Result::Error(kCancelledText);
    const int lineNumber = reader.line();
    if (!reader.readLine(text, kMaxDataLine)) {
      if (reader.lineTooLong()) return failure();
      break;
    }
    DataLine l;
    l.line = lineNumber;
    l.start = values.size();
    bool anyContent = false;
    size_t p = 0;
    // Comma-separated pieces; a piece holds zero (missing) or more numbers.
    for (;;) {
      const size_t comma = text.find(',', p);
      const std::string_view piece =
          std::string_view(text).substr(p, comma == std::string::npos ? std::string::npos : comma - p);
      size_t q = 0, inPiece = 0;
      while (q < piece.size()) {
        while (q < piece.size() && IsDataBlank(piece[q])) ++q;
        if (q >= piece.size()) break;
        size_t atEnd = q;
        while (atEnd < piece.size() && !IsDataBlank(piece[atEnd])) ++atEnd;
        std::string_view token = piece.substr(q, atEnd - q);
        q = atEnd;
        ++inPiece;
        anyContent = true;
        double v = std::numeric_limits<double>::quiet_NaN();
        if (!IsMissingText(token)) {
          const std::optional<double> number =
              token.size() > kMaxNumberLength ? std::nullopt : ParseNumber(token);
          if (number) v = *number;
          if (!number) {
            // Named by row and variable as far as the layout is known here.
            const size_t field = values.size();
            const size_t row = byLinesSoFar ? lines.size() + 1 : field / nv + 1;
            const int k = byLinesSoFar ? l.tally + 1 : int(field % nv) + 1;
            std::string what = "dato " + std::to_string(k) + " de la fila " + std::to_string(row);
            if (k <= d.nvar) what += " (variable " + variableName(k) + ")";
            return failureAt(lineNumber, what + ": se esperaba un número y se encontró «" +
                                            ShowValue(token) + (token.size() > kMaxNumberLength ? "...»" : "»"));
          }
          if (std::fabs(v) > std::numeric_limits<float>::max())
            return failureAt(lineNumber, "el valor «" + ShowValue(token) + "» no cabe en precisión simple");
          if (options.missingValue && v == *options.missingValue) v = std::numeric_limits<double>::quiet_NaN();
        }
        values.push_back(v);
        ++l.tally;
      }
      if (comma == std::string::npos) break;
      anyContent = true;
      if (inPiece == 0) {
        // Nothing between two commas, or before the first: a missing value.
        values.push_back(std::numeric_limits<double>::quiet_NaN());
        ++l.tally;
      }
      p = comma + 1;
      // A comma that ends the line: see trailingComma.
      if (text.find_first_not_of(" \t", p) == std::string::npos) {
        l.trailingComma = true;
        break;
      }
    }
    if (!anyContent) continue;  // a blank line separates nothing
    if (l.tally != d.nvar && !(l.trailingComma && l.tally + 1 == d.nvar)) byLinesSoFar = false;
    lines.push_back(l);
  }

  // One point per line: the first data line holds a whole row, or most do.
  const auto complete = [&](const DataLine& l) {
    return l.tally == d.nvar || (l.trailingComma && l.tally + 1 == d.nvar);
  };
  const size_t exact = size_t(std::count_if(lines.begin(), lines.end(), complete));
  const bool byLines = !lines.empty() && (complete(lines.front()) || 2 * exact > lines.size());

  std::vector<double> rows;
  std::string warning;
  int64_t readCount = 0;
  if (byLines) {
    for (const DataLine& l : lines) {
      if (!complete(l)) {
        const int64_t row = int64_t(&l - lines.data()) + 1;
        return failureAt(l.line, "la fila " + std::to_string(row) + " tiene " + std::to_string(l.tally) +
                                    (l.tally == 1 ? " valor" : " valores") + " y debe tener " +
                                    std::to_string(d.nvar) + " (uno por variable)");
      }
    }
    if (int64_t(lines.size()) < n) {
      const int lastOne = lines.empty() ? reader.line() : lines.back().line;
      return failureAt(lastOne, "el archivo anuncia " + std::to_string(n) + " datos pero solo tiene " +
                                 std::to_string(lines.size()) + " filas");
    }
    readCount = n;
    if (int64_t(lines.size()) > n) {
      const size_t surplus = lines.size() - size_t(n);
      warning = fileName + ": el archivo anuncia " + std::to_string(n) + " datos pero tiene " +
              std::to_string(lines.size()) + " filas; no se han cargado las " + std::to_string(surplus) +
              " filas siguientes (líneas " + std::to_string(lines[size_t(n)].line) + " a " +
              std::to_string(lines.back().line) + ").";
    }
    rows.reserve(size_t(n) * nv);
    for (int64_t i = 0; i < n; ++i) {
      const DataLine& l = lines[size_t(i)];
      rows.insert(rows.end(), values.begin() + std::ptrdiff_t(l.start),
                   values.begin() + std::ptrdiff_t(l.start + size_t(l.tally)));
      if (l.tally + 1 == d.nvar) rows.push_back(std::numeric_limits<double>::quiet_NaN());
    }
  } else {
    // Values run on over line breaks: a final comma opens no field.
    const size_t required = size_t(n) * nv;
    if (values.size() < required) {
      const size_t row = values.size() / nv + 1;
      const int k = int(values.size() % nv) + 1;
      return failureAt(reader.line(), "dato " + std::to_string(k) + " de la fila " + std::to_string(row) +
                                         " (variable " + variableName(k) +
                                         "): el archivo termina antes de este número");
    }
    readCount = n;
    rows.assign(values.begin(), values.begin() + std::ptrdiff_t(required));
    if (values.size() > required) {
      int line = lines.back().line;
      for (const DataLine& l : lines)
        if (l.start + size_t(l.tally) > required) {
          line = l.line;
          break;
        }
      warning = fileName + ": tras los " + std::to_string(n) + " datos anunciados sobran " +
              std::to_string(values.size() - required) + " valores (desde la línea " + std::to_string(line) +
              "); no se han cargado.";
    }
  }
  if (options.rowLimit > 0 && readCount > options.rowLimit) {
    readCount = options.rowLimit;
    rows.resize(size_t(readCount) * nv);
    if (!warning.empty()) warning += "\n";
    warning += fileName + ": se han cargado las primeras " + std::to_string(readCount) + " filas de " +
             std::to_string(n) + ".";
  }
  d.N = static_cast<int>(readCount);
  d.fillFromRows(rows);
  data = std::move(d);
  return Result::Success(warning);
}

}  // namespace sorvan::core
