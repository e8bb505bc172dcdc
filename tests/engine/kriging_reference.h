#pragma once
// Independent double-precision references for the kriging tests: the six
// semivariogram models written out from their closed forms, a dense Gaussian
// elimination with partial pivoting, universal kriging on the full system and
// generalized least squares. The drift is built on coordinates centred on the
// data mean and scaled by their standard deviation, a frame deliberately
// different from the engine's, so that agreement also checks that the span of
// the drift, not its basis, decides the results.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace kriging::reference {

struct Model {
  int code;
  double c0, c1, a;
};

inline double Gamma(const Model& m, double h) {
  if (h < 1e-10) return 0.0;
  const double c0 = m.c0, c1 = m.c1, a = m.a;
  switch (m.code) {
    case 1: return h < a ? c0 + c1 * (1.5 * h / a - 0.5 * std::pow(h / a, 3)) : c0 + c1;
    case 2: return h <= 20 * a ? c0 + c1 * (1 - std::exp(-h / a)) : c0 + c1;
    case 3: return c0 + c1 * h;
    case 4: return c0 + c1 * std::pow(h, a);
    case 5: return c0 + c1 * a * h * h / (h * h + a);
    case 6: return c0 + c1 * (1 - std::sin(h / a) / (h / a));
  }
  std::abort();
}

// Row-major dense matrix with LU factors (partial pivoting) for repeated solves.
class DenseLU {
 public:
  explicit DenseLU(std::vector<std::vector<double>> a) : lu_(std::move(a)), perm_(lu_.size()) {
    const std::size_t n = lu_.size();
    for (std::size_t i = 0; i < n; ++i) perm_[i] = i;
    for (std::size_t k = 0; k < n; ++k) {
      std::size_t pivot = k;
      for (std::size_t i = k + 1; i < n; ++i)
        if (std::fabs(lu_[i][k]) > std::fabs(lu_[pivot][k])) pivot = i;
      std::swap(lu_[k], lu_[pivot]);
      std::swap(perm_[k], perm_[pivot]);
      if (lu_[k][k] == 0) std::abort();
      for (std::size_t i = k + 1; i < n; ++i) {
        const double factor = lu_[i][k] / lu_[k][k];
        lu_[i][k] = factor;
        for (std::size_t j = k + 1; j < n; ++j) lu_[i][j] -= factor * lu_[k][j];
      }
    }
  }
  std::vector<double> Solve(const std::vector<double>& b) const {
    const std::size_t n = lu_.size();
    std::vector<double> x(n);
    for (std::size_t i = 0; i < n; ++i) {
      double s = b[perm_[i]];
      for (std::size_t j = 0; j < i; ++j) s -= lu_[i][j] * x[j];
      x[i] = s;
    }
    for (std::size_t i = n; i-- > 0;) {
      double s = x[i];
      for (std::size_t j = i + 1; j < n; ++j) s -= lu_[i][j] * x[j];
      x[i] = s / lu_[i][i];
    }
    return x;
  }

 private:
  std::vector<std::vector<double>> lu_;
  std::vector<std::size_t> perm_;
};

struct Data {
  std::vector<float> x, y, z;
  int size() const { return static_cast<int>(x.size()); }
};

// Drift monomials 1, u, v, uu, uv, vv, uuu, uuv, vvu, vvv on the mean/sd frame.
class Drift {
 public:
  Drift(const Data& d, int terms) : terms_(terms) {
    const double n = d.size();
    double sx = 0, sy = 0;
    for (int i = 0; i < d.size(); ++i) sx += d.x[i], sy += d.y[i];
    mx_ = sx / n, my_ = sy / n;
    double vx = 0, vy = 0;
    for (int i = 0; i < d.size(); ++i)
      vx += (d.x[i] - mx_) * (d.x[i] - mx_), vy += (d.y[i] - my_) * (d.y[i] - my_);
    s_ = std::sqrt((vx + vy) / (2 * n));
    if (!(s_ > 0)) s_ = 1;
  }
  int terms() const { return terms_; }
  std::vector<double> At(double x, double y) const {
    const double u = (x - mx_) / s_, v = (y - my_) / s_;
    const double all[10] = {1, u, v, u * u, u * v, v * v, u * u * u, u * u * v, v * v * u, v * v * v};
    return std::vector<double>(all, all + terms_);
  }

 private:
  int terms_;
  double mx_ = 0, my_ = 0, s_ = 1;
};

// Universal kriging on the full (n + p) system, factored once.
class Kriging {
 public:
  Kriging(const Data& d, const Model& m, int terms) : data_(d), model_(m), drift_(d, terms) {
    const int n = d.size(), p = terms, order = n + p;
    std::vector<std::vector<double>> a(order, std::vector<double>(order, 0.0));
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j < n; ++j)
        a[i][j] = Gamma(m, std::hypot(double(d.x[i]) - d.x[j], double(d.y[i]) - d.y[j]));
      const std::vector<double> f = drift_.At(d.x[i], d.y[i]);
      for (int k = 0; k < p; ++k) a[i][n + k] = a[n + k][i] = f[k];
    }
    lu_ = std::make_unique<DenseLU>(std::move(a));
  }
  // Kriged value and variance at (x0, y0); weights optional.
  std::pair<double, double> At(double x0, double y0, std::vector<double>* weights = nullptr) const {
    const int n = data_.size(), p = drift_.terms();
    std::vector<double> b(n + p);
    for (int i = 0; i < n; ++i) b[i] = Gamma(model_, std::hypot(data_.x[i] - x0, data_.y[i] - y0));
    const std::vector<double> f = drift_.At(x0, y0);
    for (int k = 0; k < p; ++k) b[n + k] = f[k];
    const std::vector<double> s = lu_->Solve(b);
    double value = 0, variance = 0;
    for (int i = 0; i < n; ++i) value += s[i] * data_.z[i];
    for (int i = 0; i < n + p; ++i) variance += s[i] * b[i];
    if (weights) weights->assign(s.begin(), s.begin() + n);
    return {value, variance};
  }

 private:
  const Data& data_;
  Model model_;
  Drift drift_;
  std::unique_ptr<DenseLU> lu_;
};

// Generalized least-squares trend under K(i, j) = sill - gamma(h_ij): the
// fitted trend at the data and the residuals z - trend.
inline std::vector<double> GlsTrendAtData(const Data& d, const Model& m, double sill, int terms) {
  const int n = d.size();
  const Drift drift(d, terms);
  std::vector<std::vector<double>> k(n, std::vector<double>(n));
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      k[i][j] = sill - Gamma(m, std::hypot(double(d.x[i]) - d.x[j], double(d.y[i]) - d.y[j]));
  const DenseLU kLU(k);
  std::vector<std::vector<double>> kInvX(terms, std::vector<double>());  // columns K^-1 f_j
  std::vector<std::vector<double>> X(n);
  for (int i = 0; i < n; ++i) X[i] = drift.At(d.x[i], d.y[i]);
  for (int j = 0; j < terms; ++j) {
    std::vector<double> col(n);
    for (int i = 0; i < n; ++i) col[i] = X[i][j];
    kInvX[j] = kLU.Solve(col);
  }
  std::vector<std::vector<double>> normal(terms, std::vector<double>(terms, 0.0));
  std::vector<double> rhs(terms, 0.0);
  for (int a = 0; a < terms; ++a) {
    for (int b = 0; b < terms; ++b)
      for (int i = 0; i < n; ++i) normal[a][b] += kInvX[a][i] * X[i][b];
    for (int i = 0; i < n; ++i) rhs[a] += kInvX[a][i] * d.z[i];
  }
  const std::vector<double> beta = DenseLU(normal).Solve(rhs);
  std::vector<double> trend(n, 0.0);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < terms; ++j) trend[i] += beta[j] * X[i][j];
  return trend;
}

// Columns of a ".dae" file: title line, "nvar,N", nvar name lines, N rows.
inline Data ReadDae(const std::string& path, int colX, int colY, int colZ) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  std::getline(in, line);
  const int nvar = std::atoi(line.c_str());
  const int rows = std::atoi(line.substr(line.find(',') + 1).c_str());
  for (int i = 0; i < nvar; ++i) std::getline(in, line);
  Data d;
  for (int r = 0; r < rows && std::getline(in, line); ++r) {
    std::vector<float> v;
    std::stringstream s(line);
    std::string cell;
    while (std::getline(s, cell, ',')) v.push_back(std::strtof(cell.c_str(), nullptr));
    d.x.push_back(v.at(colX));
    d.y.push_back(v.at(colY));
    d.z.push_back(v.at(colZ));
  }
  return d;
}

inline Data Meuse() {
  const char* source = std::getenv("SORVAN_SOURCE_DIR");
  const std::string root = source ? source : ".";
  return ReadDae(root + "/examples/meuse.dae", 0, 1, 3);
}

// Runs the test body inside a fresh temporary directory (the engine writes its
// files to the current directory) and removes it afterwards.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    previous_ = std::filesystem::current_path();
    char pattern[] = "/tmp/sorvan_test_XXXXXX";
    path_ = mkdtemp(pattern);
    std::filesystem::current_path(path_);
  }
  ~ScratchDirectory() {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path previous_, path_;
};

inline std::vector<std::string> ReadLines(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace kriging::reference
