#include "numerics/bounded_least_squares.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "numerics/error_service.h"
#include "numerics/levenberg_marquardt_step.h"
#include "numerics/machine_constant.h"

namespace kriging {
namespace {

// How a run ends; each outcome but kConverged has its message.
enum class Outcome {
  kConverged,
  kRelativeFunction,
  kFalseConvergence,
  kIterations,
  kFunctionEvaluations,
  kJacobianEvaluations,
  kMaximumSteps,
  kStepTolerance
};

constexpr double kChooseSentinel = -999.0;  // STEPMX, DELTA: the solver chooses

void ReportOutcome(Outcome outcome, double rftol) {
  MessageValues v;
  v.r1 = rftol;
  switch (outcome) {
    case Outcome::kConverged: break;
    case Outcome::kRelativeFunction:
      ReportError(3, 1,
                  FormatMessage("RELATIVE FUNCTION CONVERGENCE - Both the scaled actual and "
                                "predicted reductions in the function are less than or equal to "
                                "the relative function convergence tolerance RFTOL = %(R1).",
                                v));
      break;
    case Outcome::kFalseConvergence:
      ReportError(3, 2,
                  "FALSE CONVERGENCE - The iterates appear to be converging to a noncritical "
                  "point.  Incorrect gradient information, a discontinuous function, or stopping "
                  "tolerances being too tight may be the cause.");
      break;
    case Outcome::kIterations:
      ReportError(4, 3, " Maximum number of iterations exceeded.");
      break;
    case Outcome::kFunctionEvaluations:
      ReportError(4, 4, " Maximum number of function evaluations exceeded.");
      break;
    case Outcome::kJacobianEvaluations:
      ReportError(4, 5, " Maximum number of Jacobian evaluations exceeded.");
      break;
    case Outcome::kMaximumSteps:
      ReportError(3, 6,
                  " Five consecutive steps of length STEPMX have been taken; either the function "
                  "is unbounded below, or has a finite asymptote in some direction, or STEPMX is "
                  "too small.");
      break;
    case Outcome::kStepTolerance:
      ReportError(2, 7,
                  "Scaled step tolerance satisfied; the current point may be an approximate local "
                  "solution, or the algorithm is making very slow progress and is not near a "
                  "solution, or STEPTL is too big.");
      break;
  }
}

// Settings after the replacement of values outside their domain.
struct Settings {
  double eta;  // relative accuracy of the residuals (10^-FDIGIT, at least eps)
  int mxiter, maxfcn, maxjac;
  double gradtl, steptl, rftol, aftol, falstl;
  double stepmx;  // <= 0: to be chosen
  double delta;   // <= 0: to be chosen
};

void CheckCount(std::int32_t& value, int fallback, const char* text) {
  if (value > 0) return;
  MessageValues v;
  v.i1 = value;
  ReportError(3, 11, FormatMessage(text, v));
  value = fallback;
}

void CheckTolerance(float& value, float fallback, const char* text) {
  if (value >= 0.0f) return;  // also rejects NaN
  MessageValues v;
  v.r1 = value;
  v.r2 = fallback;
  ReportError(3, 12, FormatMessage(text, v));
  value = fallback;
}

// Replaces bad entries of iparam and rparam by the defaults, writing the
// values used back (STEPMX and DELTA stay: their replacement depends on the
// start point).
Settings CheckSettings(std::int32_t iparam[6], float rparam[7]) {
  std::int32_t defaultI[6];
  float defaultR[7];
  BCLSFDefaults(defaultI, defaultR);
  const double eps = MachineConstant(4);
  Settings s{};
  if (iparam[1] > 0) {
    s.eta = std::max(eps, std::pow(10.0, -static_cast<double>(iparam[1])));
  } else {
    MessageValues v;
    v.i1 = iparam[1];
    ReportError(3, 13,
                FormatMessage("The estimate of the number of good digits in the functions must be "
                              "positive while FDIGIT = %(I1) is given.  The algorithm will assume "
                              "that the function is accurate to the precision of the arithmetic.",
                              v));
    s.eta = eps;
  }
  CheckCount(iparam[2], defaultI[2],
             "The maximum number of iterations must be positive while MXITER = %(I1) is given.  "
             "The algorithm will use MXITER = 100.");
  CheckCount(iparam[3], defaultI[3],
             "The maximum number of function evaluations must be positive while MAXFCN = %(I1) "
             "is given.  The algorithm will use MAXFCN = 400.");
  CheckCount(iparam[4], defaultI[4],
             "The maximum number of Jacobian evaluations must be positive while MAXJAC = %(I1) "
             "is given.  The algorithm will use MAXJAC = 100.");
  CheckTolerance(rparam[0], defaultR[0],
                 "The gradient tolerance must be nonnegative while GRADTL = %(R1) is given.  The "
                 "algorithm will use GRADTL = %(R2).");
  CheckTolerance(rparam[1], defaultR[1],
                 "The step tolerance must be nonnegative while STEPTL = %(R1) is given.  The "
                 "algorithm will use STEPTL = %(R2).");
  CheckTolerance(rparam[2], defaultR[2],
                 "The relative function tolerance must be nonnegative while RFTOL = %(R1) is "
                 "given.  The algorithm will use RFTOL = %(R2).");
  CheckTolerance(rparam[3], defaultR[3],
                 "The absolute function tolerance must be nonnegative while AFTOL = %(R1) is "
                 "given.  The algorithm will use AFTOL = %(R2).");
  CheckTolerance(rparam[4], defaultR[4],
                 "The false convergence tolerance must be nonnegative while FALSTL = %(R1) is "
                 "given.  The algorithm will use FALSTL = %(R2).");
  s.mxiter = iparam[2];
  s.maxfcn = iparam[3];
  s.maxjac = iparam[4];
  s.gradtl = rparam[0];
  s.steptl = rparam[1];
  s.rftol = rparam[2];
  s.aftol = rparam[3];
  s.falstl = rparam[4];
  s.stepmx = rparam[5];
  s.delta = rparam[6];
  return s;
}

// The solver's working state, all in double; points are kept representable
// in float so that the residual function sees exactly the point the solver
// reasons about.
struct Problem {
  ResidualFunction fcn;
  int m, n;
  std::vector<double> lower, upper, d, fscale;
  std::vector<float> xf, ff;  // argument and result of the last residual call
  int functionEvaluations = 0, jacobianEvaluations = 0;

  // 1/2 ||fscale f(at)||^2 with the scaled residuals in out; infinity when a
  // residual is not finite.
  double Evaluate(const std::vector<double>& at, std::vector<double>& out) {
    for (int j = 0; j < n; ++j) xf[j] = static_cast<float>(at[j]);
    fcn(m, n, xf.data(), ff.data());
    double sum = 0.0;
    bool finite = true;
    for (int i = 0; i < m; ++i) {
      out[i] = fscale[i] * ff[i];
      if (!std::isfinite(out[i])) finite = false;
      sum += out[i] * out[i];
    }
    return finite ? 0.5 * sum : HUGE_VAL;
  }

  // The box projection, rounded to float (a float between two float bounds
  // stays between them).
  void Project(std::vector<double>& x) const {
    for (int j = 0; j < n; ++j)
      x[j] = static_cast<float>(std::min(std::max(x[j], lower[j]), upper[j]));
  }

  // Forward-difference Jacobian of the scaled residuals (Dennis & Schnabel,
  // A5.6.3): step sqrt(eta) max(|x_j|, 1 / xscale_j), turned back when it
  // would leave the box, and taken as the float difference actually made.
  void Jacobian(const std::vector<double>& x, const std::vector<double>& f, std::vector<double>& jac,
                std::vector<double>& work, std::vector<double>& trial) {
    ++jacobianEvaluations;
    const double rootEta = std::sqrt(eta);
    for (int j = 0; j < n; ++j) {
      double h = rootEta * std::max(std::fabs(x[j]), 1.0 / d[j]);
      if (x[j] + h > upper[j]) h = -h;
      if (x[j] + h < lower[j]) h = (upper[j] - x[j] >= x[j] - lower[j]) ? upper[j] - x[j] : lower[j] - x[j];
      double* column = &jac[static_cast<std::size_t>(j) * m];
      std::fill(column, column + m, 0.0);
      for (int attempt = 0; attempt < 2 && h != 0.0; ++attempt, h = -h) {
        trial = x;
        trial[j] = static_cast<float>(x[j] + h);
        if (trial[j] == x[j])
          trial[j] = std::nextafter(static_cast<float>(x[j]), h > 0 ? HUGE_VALF : -HUGE_VALF);
        if (trial[j] < lower[j] || trial[j] > upper[j]) continue;
        const double step = trial[j] - x[j];
        if (!std::isfinite(Evaluate(trial, work))) continue;  // try the other side
        for (int i = 0; i < m; ++i) column[i] = (work[i] - f[i]) / step;
        break;
      }
    }
  }

  double eta = 0.0;
};

}  // namespace

void BCLSFDefaults(std::int32_t iparam[6], float rparam[7]) {
  const double eps = MachineConstant(4);
  iparam[0] = 1;
  iparam[1] = static_cast<std::int32_t>(std::trunc(0.1 - std::log10(eps)));
  iparam[2] = 100;
  iparam[3] = 400;
  iparam[4] = 100;
  iparam[5] = 1;
  rparam[0] = static_cast<float>(std::sqrt(eps));
  rparam[1] = static_cast<float>(std::pow(eps, 2.0 / 3.0));
  rparam[2] = static_cast<float>(std::max(std::pow(eps, 2.0 / 3.0), 1e-10));
  rparam[3] = static_cast<float>(std::max(eps * eps, 1e-20));
  rparam[4] = static_cast<float>(100.0 * eps);
  rparam[5] = static_cast<float>(kChooseSentinel);
  rparam[6] = static_cast<float>(kChooseSentinel);
}

// Bounded Levenberg-Marquardt with a trust region (Moré 1978; Dennis &
// Schnabel ch. 6 and 10) on the scaled problem min 1/2 ||Fs f(x)||^2,
// ||Dx s|| <= delta, with Dx = diag(xscale), Fs = diag(fscale). Bounds are
// handled by an active set and projection: a variable at a bound whose
// gradient points out of the box is held fixed, the step is computed for the
// others and the trial point is projected onto the box; the trust region
// then compares the actual reduction with the one the linear model predicts
// for the projected step.
void BCLSF(ResidualFunction fcn, int m, int n, const float* xguess, int ibtype, const float* xlb,
           const float* xub, const float* xscale, const float* fscale, std::int32_t iparam[6],
           float rparam[7], float* x, float* fvec, float* fjac, int ldfjac) {
  ServiceCall call("BCLSF");
  MessageValues v;
  // ---- Arguments.
  if (m <= 0) {
    v.i1 = m;
    ReportError(5, 1, FormatMessage("The number of functions must be positive while M = %(i1) is given.", v));
    return;
  }
  if (n <= 0) {
    v.i1 = n;
    ReportError(5, 2, FormatMessage("The number of variables must be positive while N = %(i1) is given.", v));
    return;
  }
  if (n > m) {
    v.i1 = n;
    v.i2 = m;
    ReportError(5, 4,
                FormatMessage("The number of variables must be less than or equal to the number "
                              "of functions while N = %(i1) and M = %(i2) are given.",
                              v));
    return;
  }
  if (ldfjac < m) {
    v.i1 = ldfjac;
    v.i2 = m;
    ReportError(5, 5,
                FormatMessage("The leading dimension of the Jacobian, FJAC, must be greater than "
                              "or equal to M while LDFJAC = %(I1) and M = %(I2) are given.",
                              v));
    return;
  }
  if (ibtype < 0 || ibtype > 3) {
    v.i1 = ibtype;
    ReportError(5, 6,
                FormatMessage("The value for the type of bounds on the variables, IBTYPE, must be "
                              "greater than or equal to zero and less than four while IBTYPE = "
                              "%(I1) is given.",
                              v));
    return;
  }

  Problem p;
  std::vector<double> xc, xt, f, ft, jac, work, trial, g;
  try {
    p.lower.resize(n);
    p.upper.resize(n);
    p.d.resize(n);
    p.fscale.resize(m);
    p.xf.resize(n);
    p.ff.resize(m);
    xc.resize(n);
    xt.resize(n);
    g.resize(n);
    trial.resize(n);
    f.resize(m);
    ft.resize(m);
    work.resize(m);
    jac.resize(static_cast<std::size_t>(m) * n);
  } catch (const std::bad_alloc&) {
    v.i1 = n;
    v.i2 = m;
    ReportError(5, 3,
                FormatMessage("The required storage cannot be allocated.  The workspace is based "
                              "on N and M, where N = %(i1) and M = %(i2) are given.",
                              v));
    return;
  }
  p.fcn = fcn;
  p.m = m;
  p.n = n;

  // ---- Bounds: 0 each variable its own, 1 nonnegative, 2 nonpositive, 3 the
  // bounds of the first variable for all.
  for (int j = 0; j < n; ++j) {
    switch (ibtype) {
      case 0: p.lower[j] = xlb[j], p.upper[j] = xub[j]; break;
      case 1: p.lower[j] = 0.0, p.upper[j] = HUGE_VAL; break;
      case 2: p.lower[j] = -HUGE_VAL, p.upper[j] = 0.0; break;
      default: p.lower[j] = xlb[0], p.upper[j] = xub[0]; break;
    }
    if (!(p.lower[j] <= p.upper[j])) {
      v.i1 = j + 1;
      v.r1 = p.lower[j];
      v.r2 = p.upper[j];
      ReportError(5, 7,
                  FormatMessage("The lower bound must be less than or equal to the upper bound "
                                "while XLB(%(I1)) = %(R1) and XUB(%(I1)) = %(R2) are given.",
                                v));
      return;
    }
  }

  // ---- Settings and scalings.
  if (iparam[0] == 0) BCLSFDefaults(iparam, rparam);
  Settings s = CheckSettings(iparam, rparam);
  p.eta = s.eta;
  for (int j = 0; j < n; ++j) {
    p.d[j] = xscale[j];
    if (!(xscale[j] > 0.0f)) {
      v.i1 = j + 1;
      v.r1 = xscale[j];
      ReportError(3, 14,
                  FormatMessage("The values for the diagonal scaling matrix must be positive "
                                "while XSCALE(%(I1)) = %(R1) is given.",
                                v));
      p.d[j] = 1.0;
    }
  }
  for (int i = 0; i < m; ++i) {
    p.fscale[i] = fscale[i];
    if (!(fscale[i] > 0.0f)) {
      v.i1 = i + 1;
      v.r1 = fscale[i];
      ReportError(3, 14,
                  FormatMessage("The values for the diagonal scaling matrix must be positive "
                                "while FSCALE(%(I1)) = %(R1) is given.",
                                v));
      p.fscale[i] = 1.0;
    }
  }

  // ---- Start: the guess projected onto the box.
  for (int j = 0; j < n; ++j) xc[j] = xguess[j];
  p.Project(xc);
  {
    double dx = 0.0, dnorm = 0.0;
    for (int j = 0; j < n; ++j) {
      dx = std::hypot(dx, p.d[j] * xc[j]);
      dnorm = std::hypot(dnorm, p.d[j]);
    }
    const double chosen = 1000.0 * std::max(dx, dnorm);
    if (s.stepmx != kChooseSentinel && !(s.stepmx > 0.0)) {
      v.r1 = s.stepmx;
      v.r2 = chosen;
      ReportError(3, 12,
                  FormatMessage("The maximum allowable scaled step length must be positive while "
                                "STEPMX = %(R1) is given.  The algorithm will use STEPMX = %(R2).",
                                v));
      rparam[5] = static_cast<float>(chosen);
    }
    if (!(s.stepmx > 0.0)) s.stepmx = chosen;
  }
  if (s.delta != kChooseSentinel && !(s.delta > 0.0)) {
    v.r1 = s.delta;
    ReportError(3, 12,
                FormatMessage("The initial trust region radius must be positive while DELTA = "
                              "%(R1) is given.  The algorithm will use the length of the initial "
                              "scaled Cauchy step for DELTA.",
                              v));
  }

  auto isFree = [&](int j) {
    return !((xc[j] <= p.lower[j] && g[j] > 0.0) || (xc[j] >= p.upper[j] && g[j] < 0.0));
  };
  auto updateGradient = [&] {
    for (int j = 0; j < n; ++j) {
      double t = 0.0;
      for (int i = 0; i < m; ++i) t += jac[i + static_cast<std::size_t>(j) * m] * f[i];
      g[j] = t;
    }
  };
  // Scaled projected gradient (Dennis & Schnabel 7.2): relative change of
  // the function per relative change of each free variable.
  auto gradientSmall = [&](double fx) {
    double worst = 0.0;
    for (int j = 0; j < n; ++j)
      if (isFree(j))
        worst = std::max(worst, std::fabs(g[j]) * std::max(std::fabs(xc[j]), 1.0 / p.d[j]) /
                                    std::max(fx, 1.0));
    return worst <= s.gradtl;
  };

  double fc = p.Evaluate(xc, f);
  ++p.functionEvaluations;
  bool lastCallAtX = true;
  bool jacobianAtX = false;
  Outcome outcome = Outcome::kConverged;

  if (std::isfinite(fc)) {
    p.Jacobian(xc, f, jac, work, trial);
    lastCallAtX = false;
    jacobianAtX = true;
    updateGradient();
  }
  if (std::isfinite(fc) && !gradientSmall(fc)) {
    // ---- Initial radius: DELTA, or the length of the scaled Cauchy step.
    double delta = s.delta;
    if (!(delta > 0.0)) {
      double gg = 0.0, jg = 0.0;
      for (int i = 0; i < m; ++i) {
        double t = 0.0;
        for (int j = 0; j < n; ++j)
          if (isFree(j)) t += jac[i + static_cast<std::size_t>(j) * m] * g[j] / (p.d[j] * p.d[j]);
        jg += t * t;
      }
      for (int j = 0; j < n; ++j)
        if (isFree(j)) gg += (g[j] / p.d[j]) * (g[j] / p.d[j]);
      delta = jg > 0.0 ? std::pow(gg, 1.5) / jg : s.stepmx;
    }
    delta = std::min(delta, s.stepmx);

    double lambda = 0.0;
    int iterations = 0, maximalSteps = 0;
    std::vector<int> freeIndex;
    std::vector<double> jf, df, sf, js(m);
    for (;;) {
      // ---- Active set and the subproblem in the free variables.
      freeIndex.clear();
      for (int j = 0; j < n; ++j)
        if (isFree(j)) freeIndex.push_back(j);
      const int nf = static_cast<int>(freeIndex.size());
      if (nf == 0) break;  // every variable held at a bound by its gradient
      jf.assign(static_cast<std::size_t>(m) * nf, 0.0);
      df.assign(nf, 0.0);
      for (int k = 0; k < nf; ++k) {
        const int j = freeIndex[k];
        std::copy_n(&jac[static_cast<std::size_t>(j) * m], m, &jf[static_cast<std::size_t>(k) * m]);
        df[k] = p.d[j];
      }

      // ---- Trial steps until one is accepted.
      double ftrial = 0.0, actual = 0.0, gaussNewton = 0.0, stepNorm = 0.0, relativeStep = 0.0;
      for (;;) {
        if (p.functionEvaluations >= s.maxfcn) {
          outcome = Outcome::kFunctionEvaluations;
          break;
        }
        LevenbergMarquardtStep(m, nf, jf, f, df, delta, lambda, sf, gaussNewton);
        xt = xc;
        for (int k = 0; k < nf; ++k) xt[freeIndex[k]] += sf[k];
        p.Project(xt);
        stepNorm = 0.0;
        relativeStep = 0.0;
        for (int j = 0; j < n; ++j) {
          const double step = xt[j] - xc[j];
          stepNorm = std::hypot(stepNorm, p.d[j] * step);
          relativeStep = std::max(relativeStep, std::fabs(step) / std::max(std::fabs(xt[j]), 1.0 / p.d[j]));
        }
        if (stepNorm == 0.0) {
          // The step vanishes in float: nothing more can be gained here.
          outcome = Outcome::kStepTolerance;
          break;
        }
        // Reduction promised by the linear model for the projected step.
        double slope = 0.0, curvature = 0.0;
        for (int i = 0; i < m; ++i) {
          double t = 0.0;
          for (int j = 0; j < n; ++j) t += jac[i + static_cast<std::size_t>(j) * m] * (xt[j] - xc[j]);
          js[i] = t;
          slope += f[i] * t;
          curvature += t * t;
        }
        const double predicted = -slope - 0.5 * curvature;
        ftrial = p.Evaluate(xt, ft);
        ++p.functionEvaluations;
        lastCallAtX = false;
        actual = fc - ftrial;
        const double ratio = predicted > 0.0 ? actual / predicted : -1.0;

        if (ratio >= 1e-4) {
          // Accepted: Moré's radius update.
          if (ratio <= 0.25) {
            delta = 0.5 * std::min(delta, stepNorm);
          } else if (ratio >= 0.75 || lambda == 0.0) {
            delta = std::max(delta, 2.0 * stepNorm);
          }
          delta = std::min(delta, s.stepmx);
          break;
        }
        // A failed step where even the unrestricted model step promises no
        // more than RFTOL: the function is as low as its accuracy allows.
        if (gaussNewton <= s.rftol * fc) {
          outcome = Outcome::kRelativeFunction;
          break;
        }
        // Steps have shrunk to nothing. If the model still promises more
        // than the rounding noise of f (each residual is good to eta), the
        // gradient must be wrong: false convergence. Otherwise the point is
        // as good as the function's accuracy allows, and only the step
        // tolerance describes it honestly.
        if (relativeStep <= s.falstl) {
          outcome = gaussNewton <= 4.0 * s.eta * fc ? Outcome::kStepTolerance
                                                    : Outcome::kFalseConvergence;
          break;
        }
        // Rejected: shrink by the minimiser of the quadratic through f(x),
        // its slope and f(x + s), kept within [0.1, 0.5] (Dennis & Schnabel
        // A6.4.5).
        double gamma = 0.1;
        if (std::isfinite(ftrial)) {
          const double denominator = 2.0 * (ftrial - fc - slope);
          gamma = denominator > 0.0 ? std::clamp(-slope / denominator, 0.1, 0.5) : 0.5;
        }
        delta = gamma * std::min(delta, stepNorm);
      }
      if (outcome != Outcome::kConverged) break;

      // ---- Move to the accepted point.
      const double previous = fc;
      xc = xt;
      f = ft;
      fc = ftrial;
      lastCallAtX = true;
      jacobianAtX = false;
      ++iterations;
      maximalSteps = stepNorm >= 0.99 * s.stepmx ? maximalSteps + 1 : 0;

      // ---- Stopping tests, in order.
      if (fc <= s.aftol) break;  // absolute function convergence
      if (p.jacobianEvaluations < s.maxjac) {
        p.Jacobian(xc, f, jac, work, trial);
        lastCallAtX = false;
        jacobianAtX = true;
        updateGradient();
        if (gradientSmall(fc)) break;
      }
      if (actual <= s.rftol * previous && gaussNewton <= s.rftol * previous) {
        outcome = Outcome::kRelativeFunction;
      } else if (relativeStep <= s.steptl) {
        outcome = Outcome::kStepTolerance;
      } else if (maximalSteps >= 5) {
        outcome = Outcome::kMaximumSteps;
      } else if (iterations >= s.mxiter) {
        outcome = Outcome::kIterations;
      } else if (!jacobianAtX) {
        outcome = Outcome::kJacobianEvaluations;
      }
      if (outcome != Outcome::kConverged) break;
    }
  }

  // ---- Results: the Jacobian and the residuals at x; the last call of the
  // residual function is made at x, so module state it sets matches x.
  if (std::isfinite(fc) && !jacobianAtX) {
    p.Jacobian(xc, f, jac, work, trial);
    lastCallAtX = false;
  }
  if (!lastCallAtX) p.Evaluate(xc, f);
  for (int j = 0; j < n; ++j) {
    x[j] = static_cast<float>(xc[j]);
    for (int i = 0; i < m; ++i)
      fjac[i + static_cast<long long>(j) * ldfjac] =
          std::isfinite(fc) ? static_cast<float>(jac[i + static_cast<std::size_t>(j) * m] / p.fscale[i])
                            : std::numeric_limits<float>::quiet_NaN();
  }
  for (int i = 0; i < m; ++i) fvec[i] = p.ff[i];
  ReportOutcome(outcome, s.rftol);
}

}  // namespace kriging
