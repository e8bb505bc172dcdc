#pragma once
// An independent double-precision minimiser of the weighted fit criterion
//     Q(c0, c1, a) = sum_i N_i (gamma^_i / gamma(h_i) - 1)^2,   c0, c1 >= 0,
// for checking the fit. For fixed a and a fixed share t of the nugget, the
// overall level enters Q as a quadratic in its reciprocal and is solved in
// closed form; (a, t) are searched on a dense grid (a logarithmic) and the
// best grid points refined by Nelder-Mead.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace kriging::testing {

struct FitClasses {
  std::vector<double> count, distance, estimate;
};

// The unit shapes g(h; a), written out from their closed forms.
inline double UnitShape(int code, double a, double h) {
  if (h < 1e-10) return 0;
  switch (code) {
    case 1: return h < a ? 1.5 * h / a - 0.5 * std::pow(h / a, 3) : 1.0;
    case 2: return h <= 20 * a ? 1 - std::exp(-h / a) : 1.0;
    case 3: return h;
    case 4: return std::pow(h, a);
    case 5: return a * h * h / (h * h + a);
    case 6: return 1 - std::sin(h / a) / (h / a);
  }
  return std::numeric_limits<double>::quiet_NaN();
}

inline double Criterion(const FitClasses& c, int code, double c0, double c1, double a) {
  double q = 0;
  for (size_t i = 0; i < c.count.size(); ++i) {
    const double misfit = c.estimate[i] / (c0 + c1 * UnitShape(code, a, c.distance[i])) - 1;
    q += c.count[i] * misfit * misfit;
  }
  return q;
}

struct Minimum {
  double q = std::numeric_limits<double>::infinity();
  double c0 = 0, c1 = 0, a = 0;
};

// The best level for range a and nugget share t in [0, 1]: c0 = s (1 - t),
// c1 = s t / g(h_m), Q quadratic in 1 / s.
inline Minimum BestLevel(const FitClasses& c, int code, double a, double t) {
  t = std::clamp(t, 0.0, 1.0);
  const double g_last = UnitShape(code, a, c.distance.back());
  double snr = 0, snrr = 0, sn = 0;
  for (size_t i = 0; i < c.count.size(); ++i) {
    const double u = (1 - t) + t * UnitShape(code, a, c.distance[i]) / g_last;
    const double r = c.estimate[i] / u;
    sn += c.count[i], snr += c.count[i] * r, snrr += c.count[i] * r * r;
  }
  Minimum best;
  if (!(snrr > 0) || !(g_last > 0) || !std::isfinite(snrr)) return best;
  const double v = snr / snrr, s = 1 / v;
  best.c0 = s * (1 - t);
  best.c1 = s * t / g_last;
  best.a = a;
  best.q = Criterion(c, code, best.c0, best.c1, a);  // = sn - snr^2 / snrr
  return best;
}

// Minimum over c0, c1 >= 0 and a in [aLow, aHigh] (a ignored by the linear model).
inline Minimum MinimiseCriterion(const FitClasses& c, int code, double aLow, double aHigh) {
  const bool has_range = code != 3;
  const int a_steps = has_range ? 100 : 1, t_steps = has_range ? 101 : 20001;
  const double la = std::log(aLow), lb = std::log(aHigh);
  auto at = [&](double log_a, double t) {
    return BestLevel(c, code, std::exp(std::clamp(log_a, la, lb)), t);
  };
  std::vector<std::array<double, 3>> grid;  // q, log a, t
  for (int i = 0; i < a_steps; ++i)
    for (int j = 0; j < t_steps; ++j) {
      const double log_a = has_range ? la + (lb - la) * i / (a_steps - 1) : 0;
      const double t = double(j) / (t_steps - 1);
      grid.push_back({at(log_a, t).q, log_a, t});
    }
  std::sort(grid.begin(), grid.end());
  Minimum best = at(grid[0][1], grid[0][2]);
  if (!has_range) return best;

  // Nelder-Mead on (log a, t) from the best few grid points, restarted.
  for (int start = 0; start < 4; ++start) {
    std::array<std::array<double, 2>, 3> simplex;
    simplex[0] = {grid[start][1], grid[start][2]};
    for (int restart = 0; restart < 3; ++restart) {
      const double step_a = (lb - la) / 100, step_t = 0.01;
      simplex[1] = {simplex[0][0] + step_a, simplex[0][1]};
      simplex[2] = {simplex[0][0], simplex[0][1] + step_t};
      std::array<double, 3> value;
      for (int k = 0; k < 3; ++k) value[k] = at(simplex[k][0], simplex[k][1]).q;
      for (int iteration = 0; iteration < 250; ++iteration) {
        std::array<int, 3> order = {0, 1, 2};
        std::sort(order.begin(), order.end(), [&](int p, int q) { return value[p] < value[q]; });
        const int lo = order[0], mid = order[1], hi = order[2];
        const double cx = (simplex[lo][0] + simplex[mid][0]) / 2;
        const double cy = (simplex[lo][1] + simplex[mid][1]) / 2;
        auto point = [&](double f) {
          return std::array<double, 2>{cx + f * (simplex[hi][0] - cx), cy + f * (simplex[hi][1] - cy)};
        };
        const auto reflected = point(-1);
        const double fr = at(reflected[0], reflected[1]).q;
        if (fr < value[lo]) {
          const auto expanded = point(-2);
          const double fe = at(expanded[0], expanded[1]).q;
          if (fe < fr) simplex[hi] = expanded, value[hi] = fe;
          else simplex[hi] = reflected, value[hi] = fr;
        } else if (fr < value[mid]) {
          simplex[hi] = reflected, value[hi] = fr;
        } else {
          const auto contracted = point(0.5);
          const double fc = at(contracted[0], contracted[1]).q;
          if (fc < value[hi]) {
            simplex[hi] = contracted, value[hi] = fc;
          } else {  // shrink towards the best point
            for (int k : {mid, hi}) {
              simplex[k] = {(simplex[k][0] + simplex[lo][0]) / 2, (simplex[k][1] + simplex[lo][1]) / 2};
              value[k] = at(simplex[k][0], simplex[k][1]).q;
            }
          }
        }
      }
      const int best_vertex = int(std::min_element(value.begin(), value.end()) - value.begin());
      simplex[0] = simplex[best_vertex];
      const Minimum found = at(simplex[0][0], simplex[0][1]);
      if (found.q < best.q) best = found;
    }
  }
  return best;
}

}  // namespace kriging::testing
