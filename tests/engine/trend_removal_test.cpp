// Trend removal: least-squares residuals against double-precision regressions
// on projected coordinates, the covariance sill of each model, and the
// Neuman-Jacobson iteration's branches as the run log shows them.
#include "trend_removal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "drift_terms.h"
#include "kriging_reference.h"
#include "lag_classes.h"
#include "numerics/error_service.h"
#include "variogram_models.h"

namespace kriging {
namespace {

using reference::Data;
using reference::Model;

// Residuals of the ordinary least-squares trend, in double.
std::vector<double> OlsResiduals(const Data& d, int terms) {
  const reference::Drift drift(d, terms);
  std::vector<std::vector<double>> normal(terms, std::vector<double>(terms, 0.0));
  std::vector<double> rhs(terms, 0.0);
  for (int i = 0; i < d.size(); ++i) {
    const std::vector<double> f = drift.At(d.x[i], d.y[i]);
    for (int a = 0; a < terms; ++a) {
      for (int b = 0; b < terms; ++b) normal[a][b] += f[a] * f[b];
      rhs[a] += f[a] * d.z[i];
    }
  }
  const std::vector<double> beta = reference::DenseLU(normal).Solve(rhs);
  std::vector<double> r(d.size());
  for (int i = 0; i < d.size(); ++i) {
    const std::vector<double> f = drift.At(d.x[i], d.y[i]);
    double t = 0;
    for (int a = 0; a < terms; ++a) t += beta[a] * f[a];
    r[i] = d.z[i] - t;
  }
  return r;
}

class TrendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    data_ = reference::Meuse();
    SetDriftFrame(DriftFrameOfData(data_.size(), data_.x.data(), data_.y.data()));
    std::FILE* sink = log_;
    OutputUnit(-2, sink);
  }
  void TearDown() override {
    SetDriftFrame(DriftFrame{});
    std::FILE* err = stderr;
    OutputUnit(-2, err);
    std::fclose(log_);
  }
  std::vector<std::string> LogLines() {
    std::fflush(log_);
    std::rewind(log_);
    std::vector<std::string> lines;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, log_)) {
      std::string line(buffer);
      if (!line.empty() && line.back() == '\n') line.pop_back();
      lines.push_back(line);
    }
    return lines;
  }
  bool Logged(const std::string& text) {
    const auto lines = LogLines();
    return std::find(lines.begin(), lines.end(), text) != lines.end();
  }
  double ScaleZ() const {
    double mean = 0, sq = 0;
    for (float v : data_.z) mean += v;
    mean /= data_.size();
    for (float v : data_.z) sq += (v - mean) * (v - mean);
    return std::sqrt(sq / data_.size());
  }

  Data data_;
  std::FILE* log_ = std::tmpfile();
};

TEST_F(TrendTest, OlsResidualsOnProjectedCoordinatesMatchDoublePrecision) {
  for (int degree = 0; degree <= 3; ++degree) {
    const int p = DriftTermCount(degree);
    std::vector<float> r(data_.size()), beta(p);
    TrendResidualsOLS(data_.size(), data_.x.data(), data_.y.data(), data_.z.data(), r.data(), p,
                      beta.data(), &DriftTerm);
    const std::vector<double> want = OlsResiduals(data_, p);
    for (int i = 0; i < data_.size(); ++i)
      ASSERT_NEAR(r[i], want[i], 1e-4 * ScaleZ()) << "degree " << degree << " datum " << i;
  }
}

TEST_F(TrendTest, GlsResidualsOnProjectedCoordinatesMatchDoublePrecision) {
  const Model models[] = {{1, 0.05, 0.59, 900}, {2, 0.05, 0.6, 300}, {5, 0.05, 2.4e-6, 250000},
                          {4, 0.05, 2e-4, 1.2}};
  for (const Model& m : models) {
    SetModel(m.code, float(m.c0), float(m.c1), float(m.a));
    float params[10] = {float(m.c0), float(m.c1), float(m.a), 0, 0, 0, 0, 0, 0, 3000.0f};
    const float sill = CovarianceSill(m.code, params);
    for (int degree = 1; degree <= 3; ++degree) {
      const int p = DriftTermCount(degree);
      std::vector<float> r(data_.size()), beta(p);
      TrendResidualsGLS(data_.size(), data_.x.data(), data_.y.data(), data_.z.data(), r.data(), p,
                        beta.data(), &DriftTerm, &SemivariogramOfLag, sill);
      const std::vector<double> trend = reference::GlsTrendAtData(data_, m, sill, p);
      const std::vector<double> ols = OlsResiduals(data_, p);
      double worst = 0, fromOls = 0;
      for (int i = 0; i < data_.size(); ++i) {
        worst = std::max(worst, std::fabs(r[i] - (data_.z[i] - trend[i])));
        fromOls = std::max(fromOls, std::fabs(r[i] - ols[i]));
      }
      EXPECT_LT(worst, 1e-3 * ScaleZ()) << "model " << m.code << " degree " << degree;
      EXPECT_GT(fromOls, 1e-2 * ScaleZ()) << "GLS indistinguishable from OLS, model " << m.code;
    }
  }
}

TEST_F(TrendTest, SillOfEachModel) {
  float params[10] = {0.1f, 0.5f, 300.0f, 0, 0, 0, 0, 0, 0, 100.0f};
  EXPECT_FLOAT_EQ(CovarianceSill(1, params), 0.6f);
  EXPECT_FLOAT_EQ(CovarianceSill(2, params), 0.6f);
  EXPECT_FLOAT_EQ(CovarianceSill(6, params), 0.6f);
  EXPECT_FLOAT_EQ(CovarianceSill(5, params), 0.1f + 0.5f * 300.0f);
  SetModel(4, 0.1f, 0.5f, 1.5f);
  params[2] = 1.5f;
  EXPECT_NEAR(CovarianceSill(4, params), 0.1 + 0.5 * std::pow(100 * std::sqrt(2.0), 1.5), 1e-3);
  SetModel(3, 0.1f, 0.5f, 1.0f);
  EXPECT_NEAR(CovarianceSill(3, params), 0.1 + 0.5 * 100 * std::sqrt(2.0), 1e-4);
}

// The iteration, driven through the real semivariogram stage on meuse.
struct StageI {
  float firstLag = 79.831131f, lagWidth = 159.662262f;
  std::int32_t lagCount = 15, fitLagCount = -1;
  std::int32_t options[7] = {-1, -1, -1, 3, -1, -1, -1};
  float params[10] = {0.05f, 0.59f, 900.0f, -1, -1, -1, -1, -1, -1, -1};
  void Run(const Data& d, int modelCode, int p) {
    EstimateTrendAndSemivariogram(d.size(), d.z.data(), d.x.data(), d.y.data(), p, &DriftTerm,
                                  firstLag, lagWidth, lagCount, modelCode, fitLagCount, options,
                                  params);
  }
};

TEST_F(TrendTest, ConstantMeanIsThePlainSemivariogramWithoutIteration) {
  StageI stage;
  stage.Run(data_, 1, 1);
  EXPECT_FALSE(Logged(" Metodo de Neuman y Jacobson"));
  EXPECT_EQ(stage.options[6], -1);  // untouched
  // The classes hold the semivariogram of the raw values (meuse reference,
  // class 1: 195 pairs, classical 0.1581807).
  EXPECT_EQ(CurrentLagTable().count[1], 580);
  EXPECT_NEAR(CurrentLagTable().classical[1], 0.2891516, 2e-5);
}

TEST_F(TrendTest, FixedModelConvergesInTheFirstIterationAndLogsScaledCoefficients) {
  StageI stage;
  stage.options[6] = 1;
  stage.Run(data_, 1, 3);
  const auto lines = LogLines();
  const auto at = [&](const std::string& s) { return std::find(lines.begin(), lines.end(), s); };
  ASSERT_NE(at(" Metodo de Neuman y Jacobson"), lines.end());
  ASSERT_LT(at(" Metodo de Neuman y Jacobson"), at(" Paso inicial (Residuos MCO)"));
  ASSERT_LT(at(" Paso inicial (Residuos MCO)"), at(" Iteración 1"));
  ASSERT_LT(at(" Iteración 1"), at(" El algoritmo converge"));
  EXPECT_EQ(at(" Iteración 2"), lines.end());
  EXPECT_EQ(at(" Se alcanzó el nº máximo de iteraciones"), lines.end());
  EXPECT_EQ(stage.options[6], 1);
  EXPECT_EQ(stage.params[8], 0.0f);
  EXPECT_EQ(stage.params[2], 900.0f);
  const std::string label = " Parametros (coordenadas centradas y escaladas):";
  const auto coefficients = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) {
    return l.rfind(label, 0) == 0;
  });
  ASSERT_NE(coefficients, lines.end());
  std::istringstream numbers(coefficients->substr(label.size()));
  std::vector<double> beta;
  for (double b; numbers >> b;) beta.push_back(b);
  ASSERT_EQ(beta.size(), 3u);
  // Frame coefficients stay O(1) for a variable of order 5..7; raw-coordinate
  // slopes would be of order 1e-4.
  EXPECT_GT(beta[0], 4.0);
  EXPECT_LT(beta[0], 8.0);
  EXPECT_GT(std::fabs(beta[1]) + std::fabs(beta[2]), 0.05);
}

TEST_F(TrendTest, IterationLimitOneWithoutConvergenceSaysSo) {
  // The linear model refits by linear regression alone; GLS residuals move its
  // parameters, and a tolerance of 1e-9 cannot be met in one iteration.
  StageI stage;
  stage.options[3] = 1;
  stage.options[6] = 1;
  stage.params[0] = 0.05f, stage.params[1] = 2e-4f, stage.params[2] = 1.0f;
  stage.params[8] = 1e-9f;
  stage.params[9] = 20000.0f;  // sill far beyond the data: K stays positive definite
  stage.Run(data_, 3, 3);
  EXPECT_TRUE(Logged(" Iteración 1"));
  EXPECT_FALSE(Logged(" Iteración 2"));
  EXPECT_FALSE(Logged(" El algoritmo converge"));
  EXPECT_TRUE(Logged(" Se alcanzó el nº máximo de iteraciones"));
  EXPECT_EQ(stage.options[6], 1);
  EXPECT_GT(stage.params[8], 1e-9f);
}

TEST_F(TrendTest, LinearAndPowerModelsWithoutDistanceStopAfterLeastSquares) {
  for (int code : {3, 4}) {
    StageI stage;
    stage.params[0] = 0.05f, stage.params[1] = 2e-4f, stage.params[2] = 1.0f;
    stage.params[8] = 0.25f;
    stage.options[6] = 9;
    stage.Run(data_, code, 6);
    EXPECT_TRUE(Logged(" No se pueden calcular los residuos por MCG")) << code;
    EXPECT_FALSE(Logged(" Iteración 1")) << code;
    EXPECT_EQ(stage.options[6], 9);
    EXPECT_EQ(stage.params[8], 0.25f);
  }
}

}  // namespace
}  // namespace kriging
