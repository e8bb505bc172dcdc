#pragma once
// The drift basis of universal kriging and of the trend removal: the ten
// monomials of degree <= 3 in two variables, in the order
//   k:  1  2  3  4   5   6   7    8    9    10
//       1  u  v  uu  uv  vv  uuu  uuv  vvu  vvv
// where (u, v) are the coordinates expressed in the current drift frame:
//   u = (x - centreX) / scale,  v = (y - centreY) / scale.
//
// Why a frame: projected coordinates (metres, ~1e5..1e6) make raw monomials of
// degree 3 reach 1e15 and more, and a float kriging system built on them loses
// every significant digit. Centring on the data and scaling by their extent
// keeps every monomial within [-1, 1] over the data. An affine change of
// coordinates maps polynomials of degree <= d onto themselves, so the span of
// the drift, and with it every kriged value, variance and trend surface, is the
// same as with raw monomials; only the trend coefficients refer to (u, v).
//
// The frame is module state, set by the run driver from the data before stage
// I and read by DriftTerm for data and grid nodes alike. Its initial value is
// the identity (raw coordinates).
namespace kriging {

struct DriftFrame {
  double centreX = 0, centreY = 0;
  double scale = 1;  // > 0
};

// Drift monomial k (1..10) at (x, y), evaluated in double on the frame
// coordinates and rounded to float once. k outside 1..10 gives 0.
float DriftTerm(int k, float x, float y);
using DriftFunction = float (*)(int k, float x, float y);

// Number of monomials of a drift of degree d (0..3): (d + 1)(d + 2) / 2.
int DriftTermCount(int degree);

const DriftFrame& CurrentDriftFrame();
void SetDriftFrame(const DriftFrame& frame);
// Frame of the data: centre = midpoint of the bounding box, scale = half the
// larger extent (1 when all points coincide or n < 1).
DriftFrame DriftFrameOfData(int n, const float* x, const float* y);

}  // namespace kriging
