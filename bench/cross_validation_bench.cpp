// Leave-one-out cross-validation of global kriging by the closed form:
// n = 2048 scattered points (or the n given), spherical model fixed, ordinary
// kriging and a linear drift. Prints the wall-clock seconds, best of three.
//
//   cross_validation_bench [n] [folds]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "cross_validation.h"

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 2048;
  const int folds = argc > 2 ? std::atoi(argv[2]) : 0;
  std::vector<double> x(n), y(n), z(n);
  for (int i = 0; i < n; ++i) {
    x[i] = 5000 * std::fmod(0.6180339887 * (i + 1), 1.0);
    y[i] = 4000 * std::fmod(0.7548776662 * (i + 1) + 0.3, 1.0);
    z[i] = std::sin(x[i] / 700) + std::cos(y[i] / 900) + 0.1 * std::sin(17.0 * i);
  }
  const kriging::CrossValidationModel model{1, 0.05, 1.0, 1500};
  for (int degree : {0, 1}) {
    double best = 1e30;
    kriging::CrossValidationResult result;
    for (int repeat = 0; repeat < 3; ++repeat) {
      const auto start = std::chrono::steady_clock::now();
      result = kriging::CrossValidateGlobal(n, x.data(), y.data(), z.data(), model, degree, folds);
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
      best = std::min(best, took.count());
    }
    std::printf("n = %d, drift degree %d, %s: %.3f s (status %d, RMSE %.5f)\n", n, degree,
                folds > 1 ? "K-fold" : "leave-one-out", best, result.status,
                result.summary.rootMeanSquareError);
  }
}
