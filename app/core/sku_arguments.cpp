#include "core/sku_arguments.h"

#include <cstring>

namespace sorvan::core {

bool SkuArguments::consistent(std::string* reason) const {
  auto bad = [&](const char* m) {
    if (reason) *reason = m;
    return false;
  };
  if (n < 0) return bad("nº de datos negativo");
  if ((!xDouble.empty() || !yDouble.empty()) && (xDouble.size() != size_t(n) || yDouble.size() != size_t(n)))
    return bad("las coordenadas en doble precisión no tienen n valores");
  if (z.size() != size_t(n) || x.size() != size_t(n) || y.size() != size_t(n))
    return bad("las columnas no tienen n valores");
  if (nx < 0 || ny < 0 || gridRows < nx || gridRows < 0) return bad("dimensiones de la rejilla imposibles");
  const size_t nodes = size_t(gridRows) * size_t(ny);
  if (prediction.size() != nodes || variance.size() != nodes) return bad("las superficies no tienen gridRows x ny nodos");
  return true;
}

void SkuArguments::setGrid(double x0, double y0, double pasoX, double pasoY) {
  doubleGrid = DoubleGrid{x0, y0, pasoX, pasoY};
  xMin = float(x0);
  yMin = float(y0);
  dx = float(pasoX);
  dy = float(pasoY);
}

DoubleGrid SkuArguments::grid() const { return doubleGrid.value_or(DoubleGrid{xMin, yMin, dx, dy}); }

void SkuArguments::call(SkuFunction sku) {
  sku(&n, z.data(), x.data(), y.data(), &firstLag, &lagWidth, &lagCount, &fitLagCount, &modelCode,
      &trendDegree, &nx, &ny, &xMin, &yMin, &dx, &dy, &gridRows, prediction.data(), variance.data(),
      &holeValue, VariogramOptions.data(), VariogramParameters.data());
}

// Layout: a 4-byte tag ("SKUQ" request, "SKUR" reply), the scalars in argument
// order, each array as its int64 length and its values, and the tag "FIN." at
// the end, so that a reply cut short by a dying process is recognised. A local
// run adds the tag "LOCL" and its neighbourhood record before "FIN.", and a
// grid known in double the tag "REJD" and its four values after that.
namespace {
constexpr char kTagRequest[4] = {'S', 'K', 'U', 'Q'};
constexpr char kTagReply[4] = {'S', 'K', 'U', 'R'};
constexpr char kTagEnd[4] = {'F', 'I', 'N', '.'};
constexpr char kTagDouble[4] = {'D', 'O', 'B', 'L'};
constexpr char kTagLocal[4] = {'L', 'O', 'C', 'L'};
constexpr char kTagGrid[4] = {'R', 'E', 'J', 'D'};

class Writer {
 public:
  template <typename T>
  void value(const T& v) { s.append(reinterpret_cast<const char*>(&v), sizeof v); }
  template <typename T>
  void vector(const std::vector<T>& v) {
    value(int64_t(v.size()));
    s.append(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(T));
  }
  std::string s;
};

class Reader {
 public:
  Reader(const std::string& s, int64_t limit) : s_(s), limit_(limit) {}
  template <typename T>
  bool value(T& v) {
    if (s_.size() - pos_ < sizeof v) return false;
    std::memcpy(&v, s_.data() + pos_, sizeof v);
    pos_ += sizeof v;
    return true;
  }
  template <typename T>
  bool vector(std::vector<T>& v) {
    int64_t length = 0;
    if (!value(length) || length < 0 || length > limit_) return false;
    if (int64_t(s_.size() - pos_) / int64_t(sizeof(T)) < length) return false;
    v.resize(size_t(length));
    // An empty vector may have no storage: memcpy takes no null pointer.
    if (length > 0) std::memcpy(v.data(), s_.data() + pos_, size_t(length) * sizeof(T));
    pos_ += size_t(length) * sizeof(T);
    return true;
  }
  bool tag(const char (&t)[4]) {
    if (s_.size() - pos_ < 4 || std::memcmp(s_.data() + pos_, t, 4) != 0) return false;
    pos_ += 4;
    return true;
  }
  bool alFinal() const { return pos_ == s_.size(); }

 private:
  const std::string& s_;
  int64_t limit_;
  size_t pos_ = 0;
};
}  // namespace

std::string EncodeArguments(const SkuArguments& a, bool reply) {
  Writer e;
  e.s.append(reply ? kTagReply : kTagRequest, 4);
  e.value(a.n);
  e.vector(a.z);
  e.vector(a.x);
  e.vector(a.y);
  e.value(a.firstLag);
  e.value(a.lagWidth);
  e.value(a.lagCount);
  e.value(a.fitLagCount);
  e.value(a.modelCode);
  e.value(a.trendDegree);
  e.value(a.nx);
  e.value(a.ny);
  e.value(a.xMin);
  e.value(a.yMin);
  e.value(a.dx);
  e.value(a.dy);
  e.value(a.gridRows);
  e.vector(a.prediction);
  e.vector(a.variance);
  e.value(a.holeValue);
  e.value(a.VariogramOptions);
  e.value(a.VariogramParameters);
  if (a.local.active) {
    e.s.append(kTagLocal, 4);
    e.value(a.local);
  }
  if (a.doubleGrid) {
    e.s.append(kTagGrid, 4);
    e.value(*a.doubleGrid);
  }
  e.s.append(kTagEnd, 4);
  // A request may carry the coordinates in double after the record.
  if (!reply && !a.xDouble.empty()) {
    e.s.append(kTagDouble, 4);
    e.vector(a.xDouble);
    e.vector(a.yDouble);
    e.s.append(kTagEnd, 4);
  }
  return e.s;
}

namespace {

constexpr char kTagSummary[4] = {'R', 'E', 'S', 'U'};

bool ReadGrid(Reader& l, SkuArguments& r) {
  if (!l.tag(kTagGrid)) return true;
  DoubleGrid g;
  if (!l.value(g)) return false;
  r.doubleGrid = g;
  return true;
}

bool ReadArguments(Reader& l, bool reply, SkuArguments& r) {
  return l.tag(reply ? kTagReply : kTagRequest) && l.value(r.n) && l.vector(r.z) &&
         l.vector(r.x) && l.vector(r.y) && l.value(r.firstLag) && l.value(r.lagWidth) &&
         l.value(r.lagCount) && l.value(r.fitLagCount) && l.value(r.modelCode) &&
         l.value(r.trendDegree) && l.value(r.nx) && l.value(r.ny) && l.value(r.xMin) &&
         l.value(r.yMin) && l.value(r.dx) && l.value(r.dy) && l.value(r.gridRows) &&
         l.vector(r.prediction) && l.vector(r.variance) && l.value(r.holeValue) &&
         l.value(r.VariogramOptions) && l.value(r.VariogramParameters) &&
         (!l.tag(kTagLocal) || (l.value(r.local) && r.local.active)) && ReadGrid(l, r) && l.tag(kTagEnd);
}

}  // namespace

std::string EncodeSummary(const EngineSummary& r) {
  Writer e;
  e.s.append(kTagSummary, 4);
  e.value(r.model);
  for (double v : {r.c0, r.c1, r.a, r.fitError, r.c0Ini, r.c1Ini, r.aIni}) e.value(v);
  e.value(r.fitIterations);
  e.value(r.trendIterations);
  for (double v : {r.trendChange, r.sill, r.zMin, r.zMax}) e.value(v);
  e.value(r.negativeVariances);
  e.vector(r.lags);
  e.vector(r.trendCoefficients);
  for (double v : {r.trendCentreX, r.trendCentreY, r.trendScale}) e.value(v);
  e.value(int64_t(r.warnings.size()));
  for (const std::string& warning : r.warnings) {
    e.value(int64_t(warning.size()));
    e.s += warning;
  }
  e.s.append(kTagEnd, 4);
  return e.s;
}

std::string EncodeReply(const SkuArguments& a, const EngineSummary& r) {
  return EncodeArguments(a, true) + EncodeSummary(r);
}

bool DecodeReply(const std::string& bytes, SkuArguments& a, EngineSummary& r, std::string* reason,
                         int64_t valueLimit) {
  SkuArguments args;
  EngineSummary res;
  // A reply without a summary (a helper that only echoes the arguments) is
  // still a reply; its model is then unknown.
  if (Reader solo(bytes, valueLimit); ReadArguments(solo, true, args) && solo.alFinal()) {
    if (!args.consistent(reason)) return false;
    a = std::move(args);
    r = EngineSummary{};
    return true;
  }
  args = SkuArguments{};
  Reader l(bytes, valueLimit);
  bool ok = ReadArguments(l, true, args) && l.tag(kTagSummary) && l.value(res.model) && l.value(res.c0) &&
            l.value(res.c1) && l.value(res.a) && l.value(res.fitError) && l.value(res.c0Ini) &&
            l.value(res.c1Ini) && l.value(res.aIni) && l.value(res.fitIterations) &&
            l.value(res.trendIterations) && l.value(res.trendChange) && l.value(res.sill) &&
            l.value(res.zMin) && l.value(res.zMax) && l.value(res.negativeVariances) && l.vector(res.lags) &&
            l.vector(res.trendCoefficients) && l.value(res.trendCentreX) &&
            l.value(res.trendCentreY) && l.value(res.trendScale);
  int64_t warnings = 0;
  ok = ok && l.value(warnings) && warnings >= 0 && warnings <= 100000;
  for (int64_t k = 0; ok && k < warnings; ++k) {
    std::vector<char> text;
    ok = l.vector(text);
    if (ok) res.warnings.emplace_back(text.begin(), text.end());
  }
  ok = ok && l.tag(kTagEnd) && l.alFinal();
  if (!ok) {
    if (reason) *reason = "mensaje incompleto o dañado";
    return false;
  }
  if (!args.consistent(reason)) return false;
  a = std::move(args);
  r = std::move(res);
  return true;
}

bool DecodeArguments(const std::string& bytes, bool reply, SkuArguments& a, std::string* reason,
                          int64_t valueLimit) {
  Reader l(bytes, valueLimit);
  SkuArguments r;
  bool ok = ReadArguments(l, reply, r);
  if (ok && !reply && !l.alFinal())
    ok = l.tag(kTagDouble) && l.vector(r.xDouble) && l.vector(r.yDouble) && l.tag(kTagEnd);
  ok = ok && l.alFinal();
  if (!ok) {
    if (reason) *reason = "mensaje incompleto o dañado";
    return false;
  }
  if (!r.consistent(reason)) return false;
  a = std::move(r);
  return true;
}

}  // namespace sorvan::core
