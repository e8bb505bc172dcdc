#include "core/delimited_text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>

#include "core/list_reader.h"
#include "core/number_text.h"

namespace sorvan::core {

namespace {

constexpr size_t kMaxTextField = size_t(1) << 20;  // 1 MiB: no real value comes near

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Splits delimited text into records, one at a time, keeping line numbers.
class RecordSplitter {
 public:
  RecordSplitter(std::string_view text, const TextFormat& f) : t_(text), f_(f) {}

  // The next record with at least one field; false at the end or on error
  // (then error() is "línea L, columna C: problema").
  bool next(std::vector<std::string>& fields, int& line) {
    for (;;) {
      if (p_ >= t_.size()) return false;
      fields.clear();
      line = line_;
      bool lineEnd = false;
      while (!lineEnd) {
        if (!field(fields, lineEnd)) return false;
      }
      // A line with nothing but blanks holds no record.
      if (fields.size() == 1 && fields[0].empty() && !lastQuoted_) continue;
      // Runs of blanks: blanks at the end of a line open no field.
      if (f_.separator == ' ' && !fields.empty() && fields.back().empty() && !lastQuoted_)
        fields.pop_back();
      if (fields.empty()) continue;
      return true;
    }
  }
  const std::string& error() const { return error_; }
  int errorLine() const { return errorLine_; }
  size_t position() const { return p_; }  // bytes of the text consumed so far

 private:
  int peek() const { return p_ < t_.size() ? static_cast<unsigned char>(t_[p_]) : -1; }
  // Consumes a line break if one is here.
  bool takeLineEnd() {
    if (peek() == '\r') {
      ++p_;
      if (peek() == '\n') ++p_;
      ++line_;
      return true;
    }
    if (peek() == '\n') {
      ++p_;
      ++line_;
      return true;
    }
    return false;
  }
  bool isSeparator(int c) const { return f_.separator == ' ' ? (c == ' ' || c == '\t') : c == f_.separator; }
  bool fail(int column, const std::string& problem) {
    errorLine_ = line_;
    error_ = "línea " + std::to_string(line_) + ", columna " + std::to_string(column) + ": " + problem;
    return false;
  }

  bool field(std::vector<std::string>& fields, bool& lineEnd) {
    std::string v;
    const int column = int(fields.size()) + 1;
    lastQuoted_ = false;
    // Leading blanks never belong to a field (and separate fields when the
    // separator is blanks).
    while (peek() >= 0 && IsBlank(char(peek())) && !(f_.separator == '\t' && peek() == '\t')) ++p_;
    if (peek() == '"') {
      lastQuoted_ = true;
      const int startLine = line_;
      ++p_;
      for (;;) {
        const int c = peek();
        if (c < 0) {
          line_ = startLine;
          return fail(column, "falta la comilla de cierre del campo que empieza en esta línea");
        }
        if (c == '"') {
          ++p_;
          if (peek() == '"') {
            v.push_back('"');
            ++p_;
            continue;
          }
          break;
        }
        if (c == '\r' || c == '\n') {
          takeLineEnd();
          v.push_back('\n');
        } else {
          v.push_back(char(c));
          ++p_;
        }
        if (v.size() > kMaxTextField)
          return fail(column, "campo demasiado largo (más de " + std::to_string(kMaxTextField) + " caracteres)");
      }
      // Text between the closing quote and the separator is kept.
      while (peek() >= 0 && !isSeparator(peek()) && peek() != '\r' && peek() != '\n') v.push_back(t_[p_++]);
    } else {
      while (peek() >= 0 && !isSeparator(peek()) && peek() != '\r' && peek() != '\n') {
        v.push_back(t_[p_++]);
        if (v.size() > kMaxTextField)
          return fail(column, "campo demasiado largo (más de " + std::to_string(kMaxTextField) + " caracteres)");
      }
    }
    while (!v.empty() && IsBlank(v.back()) && !lastQuoted_) v.pop_back();
    fields.push_back(std::move(v));
    if (f_.separator == ' ') {
      // A run of blanks is one separator.
      while (peek() >= 0 && IsBlank(char(peek()))) ++p_;
    } else if (isSeparator(peek())) {
      ++p_;
      // A separator right before the end of the line opens one more (empty) field.
      if (peek() < 0 || peek() == '\r' || peek() == '\n') {
        fields.emplace_back();
        lineEnd = true;
        takeLineEnd();
      }
      return true;
    }
    if (peek() < 0 || takeLineEnd()) lineEnd = true;
    return true;
  }

  std::string_view t_;
  TextFormat f_;
  size_t p_ = 0;
  int line_ = 1;
  bool lastQuoted_ = false;
  std::string error_;
  int errorLine_ = 0;
};

// A number in the chosen decimal mark; a blank-trimmed field.
bool ConvertNumber(std::string_view s, char decimal, double& v) {
  std::string n(s);
  if (decimal == ',') {
    if (n.find('.') != std::string::npos) return false;
    std::replace(n.begin(), n.end(), ',', '.');
  }
  // The blanks were trimmed: a field of blanks around a number is not read
  // here any differently from the rest of the program.
  const std::optional<double> number = ParseNumber(n);
  if (!number) return false;
  v = *number;
  return true;
}

bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n = 0;
    if (c < 0x80) n = 0;
    else if (c >= 0xC2 && c <= 0xDF) n = 1;
    else if (c >= 0xE0 && c <= 0xEF) n = 2;
    else if (c >= 0xF0 && c <= 0xF4) n = 3;
    else return false;
    if (n > 0 && i + n >= s.size()) return false;
    for (size_t k = 1; k <= n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n + 1;
  }
  return true;
}

void AppendUtf8(std::string& r, unsigned cp) {
  if (cp < 0x80) {
    r.push_back(char(cp));
  } else if (cp < 0x800) {
    r.push_back(char(0xC0 | (cp >> 6)));
    r.push_back(char(0x80 | (cp & 0x3F)));
  } else {
    r.push_back(char(0xE0 | (cp >> 12)));
    r.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    r.push_back(char(0x80 | (cp & 0x3F)));
  }
}

// Windows-1252 bytes 0x80..0x9F; the rest of the upper half is Latin-1.
constexpr std::array<unsigned, 32> kCp1252 = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

std::string ColumnOf(int k, const std::vector<std::string>& header) {
  std::string r = "columna " + std::to_string(k);
  if (k >= 1 && size_t(k) <= header.size() && !header[size_t(k - 1)].empty())
    r += " («" + ShowValue(header[size_t(k - 1)]) + "»)";
  return r;
}

}  // namespace

std::string AsUtf8(std::string_view bytes, bool& windows1252) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  windows1252 = !IsValidUtf8(bytes);
  if (!windows1252) return std::string(bytes);
  std::string r;
  r.reserve(bytes.size() + bytes.size() / 8);
  for (char ch : bytes) {
    const unsigned char c = static_cast<unsigned char>(ch);
    AppendUtf8(r, c < 0x80 ? c : c < 0xA0 ? kCp1252[c - 0x80] : c);
  }
  return r;
}

TextFormat DetectFormat(std::string_view sample) {
  TextFormat f;
  // A sample cut at a line break, so that no character is split.
  if (sample.size() > (1 << 16)) {
    const size_t cut = sample.find_last_of('\n', 1 << 16);
    sample = sample.substr(0, cut == std::string_view::npos ? (1 << 16) : cut);
  }
  std::string text = AsUtf8(sample, f.windows1252);
  // Up to 20 non-empty lines, with the separators counted outside quotes.
  std::vector<std::string> lines;
  {
    // A line break inside quotes belongs to the field.
    std::string l;
    bool quotes = false;
    for (size_t p = 0; p <= text.size() && lines.size() < 20; ++p) {
      const char c = p < text.size() ? text[p] : '\n';
      if (c == '"') quotes = !quotes;
      if ((c == '\n' || c == '\r') && (!quotes || p == text.size())) {
        if (l.find_first_not_of(" \t") != std::string::npos) lines.push_back(l);
        l.clear();
      } else {
        l.push_back(c);
      }
    }
  }
  auto tally = [](const std::string& l, char sep) {
    int n = 0;
    bool quotes = false;
    for (char c : l) {
      if (c == '"') quotes = !quotes;
      else if (c == sep && !quotes) ++n;
    }
    return n;
  };
  // The candidate found on most lines as often as on the header line (a
  // ragged row here and there is the reader's to report), most often.
  size_t bestAgreement = 0;
  int best = 0;
  f.separator = ' ';
  for (char sep : {'\t', ';', ','}) {
    if (lines.empty()) break;
    const int n = tally(lines[0], sep);
    if (n == 0) continue;
    size_t agreement = 0;
    for (const std::string& l : lines) agreement += tally(l, sep) == n;
    if (2 * agreement < lines.size()) continue;
    if (agreement > bestAgreement || (agreement == bestAgreement && n > best)) {
      bestAgreement = agreement;
      best = n;
      f.separator = sep;
    }
  }
  // Decimal comma: numbers like "3,25" and none like "3.25" in the data lines.
  f.decimal = '.';
  if (f.separator != ',') {
    bool commas = false, points = false;
    RecordSplitter d(text, f);
    std::vector<std::string> fields;
    int line = 0;
    bool header = true;
    while (d.next(fields, line)) {
      if (header) {
        header = false;
        continue;
      }
      for (const std::string& c : fields) {
        double v = 0;
        if (c.find(',') != std::string::npos && ConvertNumber(c, ',', v)) commas = true;
        if (c.find('.') != std::string::npos && ConvertNumber(c, '.', v)) points = true;
      }
    }
    if (commas && !points) f.decimal = ',';
  }
  return f;
}

std::vector<std::vector<std::string>> Preview(std::string_view utf8Text, const TextFormat& format,
                                                  size_t maxRows) {
  std::vector<std::vector<std::string>> rows;
  RecordSplitter d(utf8Text, format);
  std::vector<std::string> fields;
  int line = 0;
  while (rows.size() < maxRows && d.next(fields, line)) rows.push_back(fields);
  return rows;
}

Result ReadWholeFile(const std::string& path, std::string& bytes, size_t maximum) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return Result::Error(path + ": es una carpeta, no un archivo de datos.");
  std::ifstream f(path, std::ios::binary);
  if (!f) return Result::Error(path + ": no se puede abrir el archivo de datos.");
  bytes.clear();
  char buf[1 << 16];
  while (f.read(buf, sizeof buf) || f.gcount() > 0) {
    bytes.append(buf, size_t(f.gcount()));
    if (bytes.size() > maximum) return Result::Error(path + ": el archivo es demasiado grande.");
  }
  if (f.bad()) return Result::Error(path + ": error al leer el archivo.");
  return Result::Success();
}

Result ReadDelimitedText(std::string_view bytes, const std::string& fileName, const TextFormat& format,
                             SpatialData& data, const ReadOptions& options) {
  auto error = [&](const std::string& what) {
    return Result::Error(fileName + ", " + what + "\nNo se ha cargado el archivo.");
  };
  bool w1252 = false;
  const std::string text = AsUtf8(bytes, w1252);
  RecordSplitter divisor(text, format);
  std::vector<std::string> header, fields;
  int line = 0;
  if (!divisor.next(header, line)) {
    if (!divisor.error().empty()) return error(divisor.error());
    return Result::Error(fileName + ": el archivo está vacío.");
  }
  const size_t nc = header.size();
  // Columns: -1 undecided, 0 text (left out), 1 numeric.
  std::vector<int> kind(nc, -1);
  std::vector<double> values;  // nc per row, NaN for text columns too
  std::vector<int> lines;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  while (divisor.next(fields, line)) {
    if (!KeepGoing(options.progress, (long long)lines.size(), double(divisor.position()), double(text.size())))
      return Result::Error(kCancelledText);
    if (fields.size() != nc)
      return error("línea " + std::to_string(line) + ": la fila tiene " + std::to_string(fields.size()) +
                   (fields.size() == 1 ? " campo" : " campos") + " y la cabecera " + std::to_string(nc) +
                   " (separador «" + (format.separator == '\t' ? std::string("tabulador") :
                                      format.separator == ' ' ? std::string("espacios") : std::string(1, format.separator)) +
                   "»)");
    for (size_t k = 0; k < nc; ++k) {
      const std::string& c = fields[k];
      double v = nan;
      if (!c.empty() && !IsMissingText(c)) {
        const bool number = ConvertNumber(c, format.decimal, v);
        if (kind[k] < 0) kind[k] = number ? 1 : 0;
        if (kind[k] == 0) {
          v = nan;
        } else if (!number) {
          return error("línea " + std::to_string(line) + ", " + ColumnOf(int(k + 1), header) +
                       ": se esperaba un número y se encontró «" + ShowValue(c) + (c.size() > 40 ? "...»" : "»"));
        } else if (std::fabs(v) > std::numeric_limits<float>::max()) {
          return error("línea " + std::to_string(line) + ", " + ColumnOf(int(k + 1), header) + ": el valor «" +
                       ShowValue(c) + "» es demasiado grande");
        } else if (options.missingValue && v == *options.missingValue) {
          v = nan;
        }
      }
      values.push_back(v);
    }
    lines.push_back(line);
    if (options.rowLimit > 0 && int64_t(lines.size()) >= options.rowLimit) break;
  }
  if (!divisor.error().empty()) return error(divisor.error());
  if (lines.empty()) return Result::Error(fileName + ": no hay filas de datos tras la cabecera.");

  SpatialData d;
  std::vector<size_t> numeric;
  std::string texts;
  for (size_t k = 0; k < nc; ++k) {
    if (kind[k] == 0) {
      texts += (texts.empty() ? "" : ", ") + std::string("«") + ShowValue(header[k]) + "»";
      continue;
    }
    numeric.push_back(k);
  }
  if (numeric.empty()) return Result::Error(fileName + ": ninguna columna tiene valores numéricos.");
  if (numeric.size() > size_t(kMaxVariables))
    return Result::Error(fileName + ": demasiadas columnas (máximo " + std::to_string(kMaxVariables) + ").");
  d.title = FitWidth(std::filesystem::path(fileName).stem().string(), kTextWidth);
  d.nvar = int(numeric.size());
  d.N = int(lines.size());
  for (size_t k : numeric) {
    const std::string nombre = header[k].empty() ? "col" + std::to_string(k + 1) : header[k];
    d.names.push_back(FitWidth(nombre, kNameWidth));
    d.descriptions.push_back(FitWidth(nombre, kTextWidth));
    d.numbers.push_back(0.0f);
  }
  std::vector<double> rows;
  rows.reserve(size_t(d.N) * numeric.size());
  for (size_t i = 0; i < lines.size(); ++i)
    for (size_t k : numeric) rows.push_back(values[i * nc + k]);
  d.fillFromRows(rows);
  data = std::move(d);
  std::string warning;
  if (!texts.empty()) warning = fileName + ": columnas sin valores numéricos, no cargadas: " + texts + ".";
  return Result::Success(warning);
}

Result ReadDelimitedText(const std::string& path, const TextFormat& format, SpatialData& data,
                             const ReadOptions& options) {
  std::string bytes;
  Result r = ReadWholeFile(path, bytes);
  if (!r) return r;
  return ReadDelimitedText(bytes, path, format, data, options);
}

Result ReadDelimitedText(const std::string& path, SpatialData& data, const ReadOptions& options) {
  std::string bytes;
  Result r = ReadWholeFile(path, bytes);
  if (!r) return r;
  return ReadDelimitedText(bytes, path, DetectFormat(bytes), data, options);
}

bool IsDelimitedText(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return ext == ".csv" || ext == ".tsv" || ext == ".txt";
}

}  // namespace sorvan::core
