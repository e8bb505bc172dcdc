#pragma once
// Delimited text data (".csv", ".tsv", ".txt"): a header row with the column
// names, then one row per point. The separator (comma, semicolon, tab or runs
// of blanks) and the decimal mark (period or comma) are detected from the
// first lines and may be corrected by the user; fields may be enclosed in
// double quotes ("" inside stands for one quote, and a quoted field may hold
// separators and line breaks); the file may be UTF-8 (with or without a
// byte-order mark) or Windows-1252.
//
// Columns whose first present value is a number become the data set's
// variables; the others (labels, dates...) are left out and named in the
// warning. A missing value is an empty field, "NA", or the value the reader
// is told stands for "missing".
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "core/spatial_data.h"
#include "core/result.h"

namespace sorvan::core {

struct TextFormat {
  char separator = ',';  // ',', ';', '\t', or ' ' for runs of blanks
  char decimal = '.';    // '.' or ','
  bool windows1252 = false;  // the bytes are Windows-1252, not UTF-8
};

// The format that fits the start of a file best.
TextFormat DetectFormat(std::string_view sample);

// The text as UTF-8: a byte-order mark is dropped, and text that is not valid
// UTF-8 is taken as Windows-1252 and converted (windows1252 says which).
std::string AsUtf8(std::string_view bytes, bool& windows1252);

// The first `maxRows` records (header included) split into fields, for a
// preview. Never fails: an unterminated quote ends the preview.
std::vector<std::vector<std::string>> Preview(std::string_view utf8Text, const TextFormat& format,
                                                  size_t maxRows);

// Reads the whole file. Failures name the file, line and column (by number and
// name): a row with more or fewer fields than the header, text in a numeric
// column, a quote never closed, a field longer than any sane one, no numeric
// column, no data row. `data` is replaced only on success.
Result ReadDelimitedText(const std::string& path, const TextFormat& format, SpatialData& data,
                             const ReadOptions& options = {});
Result ReadDelimitedText(std::string_view bytes, const std::string& fileName, const TextFormat& format,
                             SpatialData& data, const ReadOptions& options = {});

// Reads the file at `path` whole into `bytes` (at most `maximum` bytes).
Result ReadWholeFile(const std::string& path, std::string& bytes, size_t maximum = size_t(1) << 31);

// The same file with the detected format, for the command line and tests.
Result ReadDelimitedText(const std::string& path, SpatialData& data, const ReadOptions& options = {});

// True for the extensions read as delimited text (".csv", ".tsv", ".txt", any case).
bool IsDelimitedText(const std::string& path);

}  // namespace sorvan::core
