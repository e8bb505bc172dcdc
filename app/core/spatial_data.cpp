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
  std::string buscado = FitWidth(nombre, kNameWidth);
  while (!buscado.empty() && buscado.back() == ' ') buscado.pop_back();
  auto equalIgnoringCase = [](std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char p, char q) {
             return std::tolower(static_cast<unsigned char>(p)) == std::tolower(static_cast<unsigned char>(q));
           });
  };
  for (int k = 1; k <= nvar; ++k)
    if (nameWithoutBlanks(k) == buscado) return k;
  for (int k = 1; k <= nvar; ++k)
    if (equalIgnoringCase(nameWithoutBlanks(k), buscado)) return k;
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
// unless the row needs it (comaFinal).
struct DataLine {
  int line = 0;
  size_t inicio = 0;  // first of its fields in the flat list
  int cuenta = 0;     // fields, not counting a final comma's
  bool comaFinal = false;
};

bool IsDataBlank(char c) { return c == ' ' || c == '\t'; }


}  // namespace

bool IsMissingText(std::string_view field) {
  return field.size() == 2 && (field[0] == 'N' || field[0] == 'n') && (field[1] == 'A' || field[1] == 'a');
}

std::vector<int> CompleteRows(const SpatialData& data, std::initializer_list<int> columns) {
  std::vector<int> rows;
  for (int i = 0; i < data.N; ++i) {
    bool completa = true;
    for (int c : columns) completa = completa && !std::isnan(data.column(c)[i]);
    if (completa) rows.push_back(i);
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
  ListReader lector(input, fileName);
  // Everything goes into a fresh data set that replaces the caller's only
  // when the whole file has been read.
  SpatialData d;
  auto failure = [&] { return Result::Error(lector.error() + "\nNo se ha cargado el archivo."); };
  auto failureAt = [&](int line, const std::string& what) {
    return Result::Error(fileName + ", línea " + std::to_string(line) + ": " + what +
                            "\nNo se ha cargado el archivo.");
  };

  std::string text;
  if (!lector.readText(text, "título")) return failure();
  d.title = FitWidth(text, kTextWidth);

  int64_t nvar = 0, n = 0;
  if (!lector.readInteger(nvar, "nº de variables", 1, kMaxVariables)) return failure();
  if (!lector.readInteger(n, "nº de datos", 1, std::numeric_limits<int32_t>::max())) return failure();
  d.nvar = static_cast<int>(nvar);

  for (int k = 1; k <= d.nvar; ++k) {
    const std::string var = "variable " + std::to_string(k);
    if (!lector.readText(text, "nombre de la " + var)) return failure();
    d.names.push_back(FitWidth(text, kNameWidth));
    if (!lector.readText(text, "descripción de la " + var)) return failure();
    d.descriptions.push_back(FitWidth(text, kTextWidth));
    float number = 0;
    if (!lector.readNumber(number, "número de la cabecera de la " + var)) return failure();
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
  for (long long vueltas = 0;; ++vueltas) {
    // Lines against the points announced: the share read when one holds a point.
    if (!SigueProgreso(options.progreso, vueltas, double(vueltas), double(n))) return Result::Error(kTextoCancelado);
    const int lineNumber = lector.line();
    if (!lector.readLine(text, kMaxDataLine)) {
      if (lector.lineTooLong()) return failure();
      break;
    }
    DataLine l;
    l.line = lineNumber;
    l.inicio = values.size();
    bool hayAlgo = false;
    size_t p = 0;
    // Comma-separated pieces; a piece holds zero (missing) or more numbers.
    for (;;) {
      const size_t coma = text.find(',', p);
      const std::string_view pieza =
          std::string_view(text).substr(p, coma == std::string::npos ? std::string::npos : coma - p);
      size_t q = 0, enPieza = 0;
      while (q < pieza.size()) {
        while (q < pieza.size() && IsDataBlank(pieza[q])) ++q;
        if (q >= pieza.size()) break;
        size_t atEnd = q;
        while (atEnd < pieza.size() && !IsDataBlank(pieza[atEnd])) ++atEnd;
        std::string_view token = pieza.substr(q, atEnd - q);
        q = atEnd;
        ++enPieza;
        hayAlgo = true;
        double v = std::numeric_limits<double>::quiet_NaN();
        if (!IsMissingText(token)) {
          const std::optional<double> number =
              token.size() > kMaxNumberLength ? std::nullopt : ParseNumber(token);
          if (number) v = *number;
          if (!number) {
            // Named by row and variable as far as the layout is known here.
            const size_t field = values.size();
            const size_t row = byLinesSoFar ? lines.size() + 1 : field / nv + 1;
            const int k = byLinesSoFar ? l.cuenta + 1 : int(field % nv) + 1;
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
        ++l.cuenta;
      }
      if (coma == std::string::npos) break;
      hayAlgo = true;
      if (enPieza == 0) {
        // Nothing between two commas, or before the first: a missing value.
        values.push_back(std::numeric_limits<double>::quiet_NaN());
        ++l.cuenta;
      }
      p = coma + 1;
      // A comma that ends the line: see comaFinal.
      if (text.find_first_not_of(" \t", p) == std::string::npos) {
        l.comaFinal = true;
        break;
      }
    }
    if (!hayAlgo) continue;  // a blank line separates nothing
    if (l.cuenta != d.nvar && !(l.comaFinal && l.cuenta + 1 == d.nvar)) byLinesSoFar = false;
    lines.push_back(l);
  }

  // One point per line: the first data line holds a whole row, or most do.
  const auto completa = [&](const DataLine& l) {
    return l.cuenta == d.nvar || (l.comaFinal && l.cuenta + 1 == d.nvar);
  };
  const size_t exactas = size_t(std::count_if(lines.begin(), lines.end(), completa));
  const bool byLines = !lines.empty() && (completa(lines.front()) || 2 * exactas > lines.size());

  std::vector<double> rows;
  std::string warning;
  int64_t leidas = 0;
  if (byLines) {
    for (const DataLine& l : lines) {
      if (!completa(l)) {
        const int64_t row = int64_t(&l - lines.data()) + 1;
        return failureAt(l.line, "la fila " + std::to_string(row) + " tiene " + std::to_string(l.cuenta) +
                                    (l.cuenta == 1 ? " valor" : " valores") + " y debe tener " +
                                    std::to_string(d.nvar) + " (uno por variable)");
      }
    }
    if (int64_t(lines.size()) < n) {
      const int ultima = lines.empty() ? lector.line() : lines.back().line;
      return failureAt(ultima, "el archivo anuncia " + std::to_string(n) + " datos pero solo tiene " +
                                 std::to_string(lines.size()) + " filas");
    }
    leidas = n;
    if (int64_t(lines.size()) > n) {
      const size_t sobran = lines.size() - size_t(n);
      warning = fileName + ": el archivo anuncia " + std::to_string(n) + " datos pero tiene " +
              std::to_string(lines.size()) + " filas; no se han cargado las " + std::to_string(sobran) +
              " filas siguientes (líneas " + std::to_string(lines[size_t(n)].line) + " a " +
              std::to_string(lines.back().line) + ").";
    }
    rows.reserve(size_t(n) * nv);
    for (int64_t i = 0; i < n; ++i) {
      const DataLine& l = lines[size_t(i)];
      rows.insert(rows.end(), values.begin() + std::ptrdiff_t(l.inicio),
                   values.begin() + std::ptrdiff_t(l.inicio + size_t(l.cuenta)));
      if (l.cuenta + 1 == d.nvar) rows.push_back(std::numeric_limits<double>::quiet_NaN());
    }
  } else {
    // Values run on over line breaks: a final comma opens no field.
    const size_t necesarios = size_t(n) * nv;
    if (values.size() < necesarios) {
      const size_t row = values.size() / nv + 1;
      const int k = int(values.size() % nv) + 1;
      return failureAt(lector.line(), "dato " + std::to_string(k) + " de la fila " + std::to_string(row) +
                                         " (variable " + variableName(k) +
                                         "): el archivo termina antes de este número");
    }
    leidas = n;
    rows.assign(values.begin(), values.begin() + std::ptrdiff_t(necesarios));
    if (values.size() > necesarios) {
      int line = lines.back().line;
      for (const DataLine& l : lines)
        if (l.inicio + size_t(l.cuenta) > necesarios) {
          line = l.line;
          break;
        }
      warning = fileName + ": tras los " + std::to_string(n) + " datos anunciados sobran " +
              std::to_string(values.size() - necesarios) + " valores (desde la línea " + std::to_string(line) +
              "); no se han cargado.";
    }
  }
  if (options.rowLimit > 0 && leidas > options.rowLimit) {
    leidas = options.rowLimit;
    rows.resize(size_t(leidas) * nv);
    if (!warning.empty()) warning += "\n";
    warning += fileName + ": se han cargado las primeras " + std::to_string(leidas) + " filas de " +
             std::to_string(n) + ".";
  }
  d.N = static_cast<int>(leidas);
  d.fillFromRows(rows);
  data = std::move(d);
  return Result::Success(warning);
}

}  // namespace sorvan::core
