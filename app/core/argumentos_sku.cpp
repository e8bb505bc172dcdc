#include "core/argumentos_sku.h"

#include <cstring>

namespace sorvan {

bool ArgumentosSKU::coherentes(std::string* motivo) const {
  auto mal = [&](const char* m) {
    if (motivo) *motivo = m;
    return false;
  };
  if (n < 0) return mal("nº de datos negativo");
  if ((!xDoble.empty() || !yDoble.empty()) && (xDoble.size() != size_t(n) || yDoble.size() != size_t(n)))
    return mal("las coordenadas en doble precisión no tienen n valores");
  if (z.size() != size_t(n) || x.size() != size_t(n) || y.size() != size_t(n))
    return mal("las columnas no tienen n valores");
  if (nx < 0 || ny < 0 || gridRows < nx || gridRows < 0) return mal("dimensiones de la rejilla imposibles");
  const size_t nodos = size_t(gridRows) * size_t(ny);
  if (prediction.size() != nodos || variance.size() != nodos) return mal("las superficies no tienen gridRows x ny nodos");
  return true;
}

void ArgumentosSKU::ponRejilla(double x0, double y0, double pasoX, double pasoY) {
  rejillaDoble = RejillaDoble{x0, y0, pasoX, pasoY};
  xMin = float(x0);
  yMin = float(y0);
  dx = float(pasoX);
  dy = float(pasoY);
}

RejillaDoble ArgumentosSKU::rejilla() const { return rejillaDoble.value_or(RejillaDoble{xMin, yMin, dx, dy}); }

void ArgumentosSKU::llama(FuncionSKU sku) {
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
constexpr char kTagPeticion[4] = {'S', 'K', 'U', 'Q'};
constexpr char kTagRespuesta[4] = {'S', 'K', 'U', 'R'};
constexpr char kTagFin[4] = {'F', 'I', 'N', '.'};
constexpr char kTagDoble[4] = {'D', 'O', 'B', 'L'};
constexpr char kTagLocal[4] = {'L', 'O', 'C', 'L'};
constexpr char kTagRejilla[4] = {'R', 'E', 'J', 'D'};

class Escritor {
 public:
  template <typename T>
  void valor(const T& v) { s.append(reinterpret_cast<const char*>(&v), sizeof v); }
  template <typename T>
  void vector(const std::vector<T>& v) {
    valor(int64_t(v.size()));
    s.append(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(T));
  }
  std::string s;
};

class Lector {
 public:
  Lector(const std::string& s, int64_t limite) : s_(s), limite_(limite) {}
  template <typename T>
  bool valor(T& v) {
    if (s_.size() - pos_ < sizeof v) return false;
    std::memcpy(&v, s_.data() + pos_, sizeof v);
    pos_ += sizeof v;
    return true;
  }
  template <typename T>
  bool vector(std::vector<T>& v) {
    int64_t largo = 0;
    if (!valor(largo) || largo < 0 || largo > limite_) return false;
    if (int64_t(s_.size() - pos_) / int64_t(sizeof(T)) < largo) return false;
    v.resize(size_t(largo));
    // An empty vector may have no storage: memcpy takes no null pointer.
    if (largo > 0) std::memcpy(v.data(), s_.data() + pos_, size_t(largo) * sizeof(T));
    pos_ += size_t(largo) * sizeof(T);
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
  int64_t limite_;
  size_t pos_ = 0;
};
}  // namespace

std::string CodificaArgumentos(const ArgumentosSKU& a, bool respuesta) {
  Escritor e;
  e.s.append(respuesta ? kTagRespuesta : kTagPeticion, 4);
  e.valor(a.n);
  e.vector(a.z);
  e.vector(a.x);
  e.vector(a.y);
  e.valor(a.firstLag);
  e.valor(a.lagWidth);
  e.valor(a.lagCount);
  e.valor(a.fitLagCount);
  e.valor(a.modelCode);
  e.valor(a.trendDegree);
  e.valor(a.nx);
  e.valor(a.ny);
  e.valor(a.xMin);
  e.valor(a.yMin);
  e.valor(a.dx);
  e.valor(a.dy);
  e.valor(a.gridRows);
  e.vector(a.prediction);
  e.vector(a.variance);
  e.valor(a.holeValue);
  e.valor(a.VariogramOptions);
  e.valor(a.VariogramParameters);
  if (a.local.activo) {
    e.s.append(kTagLocal, 4);
    e.valor(a.local);
  }
  if (a.rejillaDoble) {
    e.s.append(kTagRejilla, 4);
    e.valor(*a.rejillaDoble);
  }
  e.s.append(kTagFin, 4);
  // A request may carry the coordinates in double after the record.
  if (!respuesta && !a.xDoble.empty()) {
    e.s.append(kTagDoble, 4);
    e.vector(a.xDoble);
    e.vector(a.yDoble);
    e.s.append(kTagFin, 4);
  }
  return e.s;
}

namespace {

constexpr char kTagResumen[4] = {'R', 'E', 'S', 'U'};

bool LeeRejilla(Lector& l, ArgumentosSKU& r) {
  if (!l.tag(kTagRejilla)) return true;
  RejillaDoble g;
  if (!l.valor(g)) return false;
  r.rejillaDoble = g;
  return true;
}

bool LeeArgumentos(Lector& l, bool respuesta, ArgumentosSKU& r) {
  return l.tag(respuesta ? kTagRespuesta : kTagPeticion) && l.valor(r.n) && l.vector(r.z) &&
         l.vector(r.x) && l.vector(r.y) && l.valor(r.firstLag) && l.valor(r.lagWidth) &&
         l.valor(r.lagCount) && l.valor(r.fitLagCount) && l.valor(r.modelCode) &&
         l.valor(r.trendDegree) && l.valor(r.nx) && l.valor(r.ny) && l.valor(r.xMin) &&
         l.valor(r.yMin) && l.valor(r.dx) && l.valor(r.dy) && l.valor(r.gridRows) &&
         l.vector(r.prediction) && l.vector(r.variance) && l.valor(r.holeValue) &&
         l.valor(r.VariogramOptions) && l.valor(r.VariogramParameters) &&
         (!l.tag(kTagLocal) || (l.valor(r.local) && r.local.activo)) && LeeRejilla(l, r) && l.tag(kTagFin);
}

}  // namespace

std::string CodificaResumen(const ResumenMotor& r) {
  Escritor e;
  e.s.append(kTagResumen, 4);
  e.valor(r.modelo);
  for (double v : {r.c0, r.c1, r.a, r.errorAjuste, r.c0Ini, r.c1Ini, r.aIni}) e.valor(v);
  e.valor(r.iteracionesAjuste);
  e.valor(r.iteracionesTendencia);
  for (double v : {r.cambioTendencia, r.meseta, r.zMin, r.zMax}) e.valor(v);
  e.valor(r.variancesNegativas);
  e.vector(r.saltos);
  e.vector(r.coeficientesTendencia);
  for (double v : {r.centroTendenciaX, r.centroTendenciaY, r.escalaTendencia}) e.valor(v);
  e.valor(int64_t(r.avisos.size()));
  for (const std::string& aviso : r.avisos) {
    e.valor(int64_t(aviso.size()));
    e.s += aviso;
  }
  e.s.append(kTagFin, 4);
  return e.s;
}

std::string CodificaRespuesta(const ArgumentosSKU& a, const ResumenMotor& r) {
  return CodificaArgumentos(a, true) + CodificaResumen(r);
}

bool DecodificaRespuesta(const std::string& bytes, ArgumentosSKU& a, ResumenMotor& r, std::string* motivo,
                         int64_t limiteValores) {
  ArgumentosSKU args;
  ResumenMotor res;
  // A reply without a summary (a helper that only echoes the arguments) is
  // still a reply; its model is then unknown.
  if (Lector solo(bytes, limiteValores); LeeArgumentos(solo, true, args) && solo.alFinal()) {
    if (!args.coherentes(motivo)) return false;
    a = std::move(args);
    r = ResumenMotor{};
    return true;
  }
  args = ArgumentosSKU{};
  Lector l(bytes, limiteValores);
  bool ok = LeeArgumentos(l, true, args) && l.tag(kTagResumen) && l.valor(res.modelo) && l.valor(res.c0) &&
            l.valor(res.c1) && l.valor(res.a) && l.valor(res.errorAjuste) && l.valor(res.c0Ini) &&
            l.valor(res.c1Ini) && l.valor(res.aIni) && l.valor(res.iteracionesAjuste) &&
            l.valor(res.iteracionesTendencia) && l.valor(res.cambioTendencia) && l.valor(res.meseta) &&
            l.valor(res.zMin) && l.valor(res.zMax) && l.valor(res.variancesNegativas) && l.vector(res.saltos) &&
            l.vector(res.coeficientesTendencia) && l.valor(res.centroTendenciaX) &&
            l.valor(res.centroTendenciaY) && l.valor(res.escalaTendencia);
  int64_t avisos = 0;
  ok = ok && l.valor(avisos) && avisos >= 0 && avisos <= 100000;
  for (int64_t k = 0; ok && k < avisos; ++k) {
    std::vector<char> texto;
    ok = l.vector(texto);
    if (ok) res.avisos.emplace_back(texto.begin(), texto.end());
  }
  ok = ok && l.tag(kTagFin) && l.alFinal();
  if (!ok) {
    if (motivo) *motivo = "mensaje incompleto o dañado";
    return false;
  }
  if (!args.coherentes(motivo)) return false;
  a = std::move(args);
  r = std::move(res);
  return true;
}

bool DecodificaArgumentos(const std::string& bytes, bool respuesta, ArgumentosSKU& a, std::string* motivo,
                          int64_t limiteValores) {
  Lector l(bytes, limiteValores);
  ArgumentosSKU r;
  bool ok = LeeArgumentos(l, respuesta, r);
  if (ok && !respuesta && !l.alFinal())
    ok = l.tag(kTagDoble) && l.vector(r.xDoble) && l.vector(r.yDoble) && l.tag(kTagFin);
  ok = ok && l.alFinal();
  if (!ok) {
    if (motivo) *motivo = "mensaje incompleto o dañado";
    return false;
  }
  if (!r.coherentes(motivo)) return false;
  a = std::move(r);
  return true;
}

}  // namespace sorvan
