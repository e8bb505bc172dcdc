#include "core/list_reader.h"

#include <cmath>
#include <limits>
#include <optional>

#include "core/number_text.h"

namespace sorvan::core {

namespace {
bool IsBlank(int c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(int c) { return c == '\n' || c == '\r'; }
constexpr int kEOF = std::char_traits<char>::eof();
}  // namespace

ListReader::ListReader(std::istream& input, std::string fileName)
    : input_(input), buf_(input.rdbuf()), name_(std::move(fileName)) {
  // Windows editors may start a UTF-8 file with a byte-order mark.
  if (buf_ && peek() == 0xEF) {
    take();
    if (peek() == 0xBB) take();
    if (peek() == 0xBF) take();
  }
}

int ListReader::peek() {
  if (!buf_) return kEOF;
  int c = buf_->sgetc();
  return c == kEOF ? kEOF : static_cast<unsigned char>(c);
}

int ListReader::take() {
  if (!buf_) return kEOF;
  int c = buf_->sbumpc();
  if (c == kEOF) return kEOF;
  c = static_cast<unsigned char>(c);
  // "\r\n", "\n" and a lone "\r" all end one line.
  if (c == '\n') ++line_;
  if (c == '\r') {
    if (peek() == '\n') buf_->sbumpc();
    ++line_;
    c = '\n';
  }
  return c;
}

void ListReader::skipBlanks() {
  while (IsBlank(peek())) take();
}

bool ListReader::skipToField() {
  for (;;) {
    skipBlanks();
    int c = peek();
    if (c == kEOF) return false;
    if (!IsLineEnd(c)) return true;
    take();
  }
}

// After a field: blanks, then at most one comma or one line break.
void ListReader::endField() {
  skipBlanks();
  int c = peek();
  if (c == ',' || IsLineEnd(c)) take();
}

bool ListReader::atEnd() { return !skipToField(); }

bool ListReader::readLine(std::string& line, size_t maximum) {
  line.clear();
  if (peek() == kEOF) return false;
  const int startLine = line_;
  for (int c = take(); c != kEOF && c != '\n'; c = take()) {
    if (line.size() >= maximum) {
      tooLong_ = true;
      fail(startLine, "línea", "línea demasiado larga (más de " + std::to_string(maximum) + " caracteres)");
      return false;
    }
    line.push_back(static_cast<char>(c));
  }
  return true;
}

bool ListReader::fail(int line, std::string_view what, const std::string& problem) {
  error_ = name_ + ", línea " + std::to_string(line) + ": " + std::string(what) + ": " + problem;
  return false;
}

bool ListReader::readText(std::string& text, std::string_view what) {
  text.clear();
  if (!skipToField()) return fail(line_, what, "el archivo termina antes de este campo");
  const int fieldLine = line_;
  if (peek() == '"') {
    take();
    for (;;) {
      int c = peek();
      if (c == kEOF || IsLineEnd(c))
        return fail(fieldLine, what, "falta la comilla de cierre del texto «" + ShowValue(text) + "»");
      take();
      if (c == '"') break;
      if (text.size() >= kMaxField) return fail(fieldLine, what, "texto demasiado largo");
      text.push_back(static_cast<char>(c));
    }
    // Anything between the closing quote and the separator is ignored.
    for (int c = peek(); c != kEOF && c != ',' && !IsLineEnd(c); c = peek()) take();
    endField();
    return true;
  }
  for (int c = peek(); c != kEOF && c != ',' && !IsLineEnd(c); c = peek()) {
    if (text.size() >= kMaxField) return fail(fieldLine, what, "texto demasiado largo");
    text.push_back(static_cast<char>(take()));
  }
  while (!text.empty() && IsBlank(text.back())) text.pop_back();
  endField();
  return true;
}

bool ListReader::readToken(std::string& token, int& tokenLine, std::string_view what) {
  token.clear();
  if (!skipToField()) return fail(line_, what, "el archivo termina antes de este número");
  tokenLine = line_;
  if (peek() == ',') return fail(tokenLine, what, "campo vacío donde se esperaba un número");
  constexpr size_t kMaxNumberLength = 64;
  for (int c = peek(); c != kEOF && c != ',' && !IsBlank(c) && !IsLineEnd(c); c = peek()) {
    if (token.size() >= kMaxNumberLength)
      return fail(tokenLine, what, "se esperaba un número y se encontró «" + ShowValue(token) + "...»");
    token.push_back(static_cast<char>(take()));
  }
  endField();
  return true;
}

bool ListReader::readNumber(float& value, std::string_view what) {
  std::string token;
  int tokenLine = line_;
  if (!readToken(token, tokenLine, what)) return false;
  const std::optional<double> number = ParseNumber(token);
  if (!number) return fail(tokenLine, what, "se esperaba un número y se encontró «" + ShowValue(token) + "»");
  const double v = *number;
  if (std::fabs(v) > std::numeric_limits<float>::max())
    return fail(tokenLine, what, "el valor «" + ShowValue(token) + "» no cabe en precisión simple");
  value = static_cast<float>(v);
  return true;
}

bool ListReader::readInteger(int64_t& value, std::string_view what, int64_t minimum, int64_t maximum) {
  std::string token;
  int tokenLine = line_;
  if (!readToken(token, tokenLine, what)) return false;
  const std::optional<double> number = ParseNumber(token);
  const double v = number.value_or(0.5);
  if (!number || v != std::floor(v))
    return fail(tokenLine, what, "se esperaba un número entero y se encontró «" + ShowValue(token) + "»");
  if (v < static_cast<double>(minimum) || v > static_cast<double>(maximum))
    return fail(tokenLine, what,
                 "el valor " + ShowValue(token) + " está fuera del intervalo " + std::to_string(minimum) +
                     " a " + std::to_string(maximum));
  value = static_cast<int64_t>(v);
  return true;
}

std::string FitWidth(std::string_view text, size_t width) {
  std::string r;
  size_t characters = 0;
  for (size_t i = 0; i < text.size() && characters < width;) {
    size_t length = 1;
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0xF0) length = 4;
    else if (c >= 0xE0) length = 3;
    else if (c >= 0xC0) length = 2;
    if (i + length > text.size()) length = text.size() - i;
    r.append(text.substr(i, length));
    i += length;
    ++characters;
  }
  r.append(width - characters, ' ');
  return r;
}

std::string ShowValue(std::string_view text) {
  std::string r;
  for (char ch : text.substr(0, 40)) {
    unsigned char c = static_cast<unsigned char>(ch);
    r.push_back(c >= 32 && c != 127 ? ch : '?');
  }
  return r;
}

}  // namespace sorvan::core
