#pragma once
// Surface files (".SUP"): the text layout of a kriged grid that the chart
// component's grid-file loader reads.
//
//   #  <zLow 15>  <zHigh 15>          range line, prediction file only
//    GRID nx ny
//    holeValue dx dy xMin yMin
//   one data row per grid index i = 1..nx: the ny values of column i, in lines
//   of at most 100 values of 17 characters (2 blanks + a 15-character number);
//   a row with ny <= 0 is an empty line.
#include <cstdio>
#include <string>

namespace kriging {

// Geometry of a grid held column-major: value (i, j), 0-based, at
// values[i + j * gridRows], node at x = xMin + i dx, y = yMin + j dy.
struct SurfaceGrid {
  int nx = 0, ny = 0;
  int gridRows = 0;  // >= nx
  float xMin = 0, yMin = 0, dx = 0, dy = 0;
  float holeValue = 0;
};

// A number right-justified in 15 characters: fixed point with 4 decimals when
// that fits, otherwise exponent notation with 8 significant digits;
// infinities as "inf" and "-inf", not-a-number as "nan".
std::string FormatSurfaceNumber(float value);

// Writes the prediction file (with range line) and the variance file (without)
// in the documented order: both headers, then row i of each file in turn.
// Replaces earlier files. Returns false, writing nothing more, if a file
// cannot be created, written or closed; then *failedPath (if given) names that
// file and *error (if given) holds the errno of the failure.
bool WriteSurfaceFiles(const char* predictionPath, const char* variancePath,
                       const SurfaceGrid& grid, const float* prediction, const float* variance,
                       float zLow, float zHigh, std::string* failedPath = nullptr,
                       int* error = nullptr);

}  // namespace kriging
