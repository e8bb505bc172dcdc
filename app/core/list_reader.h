#pragma once
// Free-format list input, the way ".dae" and ".per" files are read: fields
// separated by commas or line breaks, a number also ending at a blank, text
// ending at a comma or the end of the line unless enclosed in double quotes,
// leading blanks skipped, a period as the decimal separator. Empty lines are
// skipped between fields. A UTF-8 byte-order mark at the start is ignored.
//
// Every read names what it expects (`what`, e.g. "dato 3 de la fila 4"); on
// failure error() holds "<archivo>, línea L: <que>: <problema>". Memory stays
// bounded whatever the input: text beyond kMaxField characters is refused.
#include <cstdint>
#include <istream>
#include <string>
#include <string_view>

namespace sorvan::core {

class ListReader {
 public:
  static constexpr size_t kMaxField = 4096;

  ListReader(std::istream& input, std::string fileName);

  bool readText(std::string& text, std::string_view what);
  // A finite number representable as a single-precision float.
  bool readNumber(float& value, std::string_view what);
  // An integral number within [minimo, maximo].
  bool readInteger(int64_t& value, std::string_view what, int64_t minimum, int64_t maximum);
  // True when only blanks and line breaks remain.
  bool atEnd();
  // The rest of the current line, without its line break; false at the end of
  // the file. A line longer than `maximum` bytes is an error (error() says so).
  bool readLine(std::string& line, size_t maximum);
  // True after readLine failed on a line that was too long.
  bool lineTooLong() const { return tooLong_; }

  const std::string& error() const { return error_; }
  int line() const { return line_; }

 private:
  int peek();
  int take();
  void skipBlanks();
  bool skipToField();  // false at end of file
  void endField();
  bool fail(int line, std::string_view what, const std::string& problem);
  bool readToken(std::string& token, int& tokenLine, std::string_view what);

  std::istream& input_;
  std::streambuf* buf_;
  std::string name_;
  std::string error_;
  int line_ = 1;
  bool tooLong_ = false;
};

// `text` cut or padded with blanks to `width` characters (UTF-8 aware: a
// character is never split).
std::string FitWidth(std::string_view text, size_t width);
// `text` as shown in a message: at most 40 characters, bytes that are not
// printable replaced by '?'.
std::string ShowValue(std::string_view text);

}  // namespace sorvan::core
