#pragma once
// The spatial data set: N points (rows) by nvar variables (columns), read from
// a ".dae" file (or a delimited text or GIS file, see delimited_text.h and the GIS adapter). Values are
// kept in double precision; a missing value is a quiet NaN. One data set is held by the program at a time (in
// KrigingSession); loading a file replaces it.
//
// The ".dae" file is text read with free-format list input. Fields are
// separated by commas or line breaks, a number also ends at a blank, a text
// field ends at a comma or the end of the line unless it is enclosed in double
// quotes, leading blanks are skipped, numbers use a period as the decimal
// separator. Fields in order: the title; nvar and N (integers); for each
// variable its name, its description and one number; then the N rows of nvar
// values each. A value may be missing: "NA", an empty field between commas,
// or a value the reader is told stands for "missing" (e.g. -9999).
//
// The rows: when the file puts one point per line (the first data line, or
// most of them, hold nvar values), every data line must hold nvar values and
// a line that does not is an error naming it; lines beyond the N announced
// are not loaded and give a warning saying how many. Otherwise the values run
// on over line breaks (a point wrapped over several lines) and only their
// order counts.
#include <cstdint>
#include <initializer_list>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/progress.h"
#include "core/result.h"

namespace sorvan::core {

inline constexpr int kNameWidth = 8;        // characters of a variable name
inline constexpr int kTextWidth = 64;        // characters of the title and descriptions
inline constexpr int kMaxVariables = 32767;   // nvar is a 16-bit count

struct SpatialData {
  std::string title;                       // kTextWidth characters, blank-padded or cut
  int nvar = 0;                             // number of variables (columns)
  int N = 0;                                // number of data (rows)
  std::vector<std::string> names;         // nvar names, kNameWidth characters each, blank-padded or cut
  std::vector<std::string> descriptions;   // nvar texts of kTextWidth characters
  std::vector<float> numbers;               // the third field of each variable header, kept unused
  // The values, column-major: variable k (0-based) occupies the N contiguous
  // doubles starting at k * N. NaN marks a missing value.
  std::vector<double> matrix;
  // Extremes of each column over its present values (NaN when none is).
  std::vector<double> minimum, maximum;
  // Coordinate reference system of X and Y as WKT or "EPSG:n"; empty if unknown.
  std::string crs;

  bool empty() const { return N == 0 || nvar == 0; }
  // Value of row `row` (1..N) of variable `var` (1..nvar).
  double value(int row, int var) const { return matrix[size_t(var - 1) * N + (row - 1)]; }
  // First of the N contiguous values of variable `var` (1..nvar).
  const double* column(int var) const { return matrix.data() + size_t(var - 1) * N; }
  // Missing values of variable `var` (1..nvar).
  int missing(int var) const;
  // Sets minimo/maximo of variable `var` (1..nvar) from its values.
  void recomputeExtremes(int var);
  // Builds matriz, minimo and maximo from `rows`, N rows of nvar values each
  // one after the other (nvar and N must be set).
  void fillFromRows(const std::vector<double>& rows);
  // Name of variable `var` (1..nvar) without its trailing blanks.
  std::string nameWithoutBlanks(int var) const;
  // Column of the variable called `nombre` (compared without trailing blanks,
  // exact case first, then ignoring ASCII case; a name longer than 8
  // characters is cut as the file's names are), 1-based; 0 when none matches.
  int findColumn(std::string_view nombre) const;
};

// Rows (0-based) whose values in every column of `columns` (1-based) are
// present: the rows a run uses.
std::vector<int> CompleteRows(const SpatialData& data, std::initializer_list<int> columns);

// True for the texts that stand for a missing value in data files ("NA" in
// any case; the empty field is handled by each reader).
bool IsMissingText(std::string_view field);

struct ReadOptions {
  // Most rows kept; 0, the default, keeps them all. Memory grows only with the
  // rows actually present in the file, never with the count it announces.
  int rowLimit = 0;
  // A number that stands for a missing value (e.g. -9999), or none.
  std::optional<double> missingValue;
  // Told how far the reading has got; a false answer cancels it (kCancelledText).
  ProgressCallback progress;
};

// Reads the ".dae" file at `path` into `data`.
// Success: `data` holds the whole data set; Result::mensaje is a warning
// when the file holds rows beyond the count it announces (their number and
// lines), or more rows than rowLimit (then only the first are kept).
// Failure (file missing, truncated, a non-numeric or non-finite value where a
// number is expected, an impossible count, a missing closing quote, a field
// longer than any sane one): the message names the file, the line, the field
// and the value found, and `data` is left exactly as it was: a partial data
// set is never delivered.
Result ReadData(const std::string& path, SpatialData& data,
                   const ReadOptions& options = {});

// The same reading from a stream; `fileName` is the name used in messages.
Result ReadData(std::istream& input, const std::string& fileName,
                   SpatialData& data, const ReadOptions& options = {});

}  // namespace sorvan::core
