#include "core/ejecuta_kriging.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/estimacion_recursos.h"
#include "core/validacion_opciones.h"
#include "local_kriging.h"

namespace sorvan {

std::string MensajeGenerando(const std::string& nombre) {
  return "Generando superficies kriging (" + nombre + ")...";
}

Resultado PreparaArgumentos(const SesionKriging& s, ArgumentosSKU& a, DatosFuera* cuenta) {
  const DatosEspaciales& d = s.datos;
  const OpcionesKriging& op = s.opciones;
  if (d.vacio()) return Resultado::Error("No hay datos cargados.");
  for (int col : {s.colX, s.colY, s.colZ})
    if (col < 1 || col > d.nvar)
      return Resultado::Error("La columna " + std::to_string(col) + " no existe: los datos tienen " +
                              std::to_string(d.nvar) + " variables.");
  // What is wrong with the data is said first: points on one line also
  // leave the automatic grid without a spacing.
  Resultado basicos = CompruebaDatos(d, s.colX, s.colY, s.colZ, op.Media);
  if (!basicos) return basicos;
  Resultado valido = ValidaOpciones(op);
  if (!valido) return valido;
  Resultado vecindario = ValidaVecindario(op);
  if (!vecindario) return vecindario;
  // Before any work: a global system that cannot fit in memory is refused
  // with the figures rather than failing after minutes (a local run solves
  // one small system per node).
  Resultado recursos = op.KrigingLocal
                           ? Resultado::Exito()
                           : CompruebaRecursos(EstimaRecursos(d.N, int64_t(op.NRx) * op.NRy, op.Media));
  if (!recursos) return recursos;
  Resultado datos = CompruebaSaltos(d, s.colX, s.colY, s.colZ, op);
  if (!datos) return datos;

  // Only rows with X, Y and Z all present take part; the rest are counted.
  const std::vector<int> filas = FilasCompletas(d, {s.colX, s.colY, s.colZ});
  const int fuera = d.N - int(filas.size());
  if (filas.size() < 2)
    return Resultado::Error("Solo " + std::to_string(filas.size()) + " de las " + std::to_string(d.N) +
                            " filas tienen X, Y y Z presentes: hacen falta al menos 2.");
  // Points at the same place, as the session's policy says.
  std::vector<double> px, py, pz;
  std::string avisoDuplicados;
  Resultado dup = ResuelveDuplicados(d, s.colX, s.colY, s.colZ, filas, s.duplicados, px, py, pz, avisoDuplicados);
  if (!dup) return dup;
  ArgumentosSKU r;
  r.n = int32_t(px.size());
  // The engine takes single precision.
  r.x.assign(px.begin(), px.end());
  r.y.assign(py.begin(), py.end());
  r.z.assign(pz.begin(), pz.end());
  // And the coordinates as the data hold them, for the engine's double path.
  r.xDoble = px;
  r.yDoble = py;
  r.firstLag = op.SaltoIni;
  r.lagWidth = op.RSalto;
  r.lagCount = op.NSaltos;   // a copy: what the engine writes back is dropped
  r.fitLagCount = op.NAjus;  // likewise
  r.modelCode = op.Modelo;
  r.trendDegree = op.Media;
  r.nx = op.NRx;
  r.ny = op.NRy;
  r.ponRejilla(op.MinRx, op.MinRy, op.LRx, op.LRy);
  r.gridRows = op.NRx;
  r.holeValue = kValorHueco;
  const size_t nodos = size_t(op.NRx) * size_t(op.NRy);
  r.prediction.assign(nodos, 1.0f);
  r.variance.assign(nodos, 0.0f);
  // The mask is built here for this very grid: one kept from another grid, or
  // never built, would exclude the wrong nodes.
  if (op.perfil.asociado()) {
    const std::vector<int16_t> mascara =
        MascaraPerfil(op.perfil, op.MinRx, op.MinRy, op.LRx, op.LRy, op.NRx, op.NRy);
    size_t excluidos = 0;
    for (size_t k = 0; k < nodos; ++k)
      if (mascara[k] == op.perfil.lado) r.prediction[k] = kValorHueco, ++excluidos;
    if (excluidos == nodos)
      return Resultado::Error("El perfil " + TextoSeguro(op.perfil.archivo) + " excluye todos los nodos de la rejilla (" +
                              std::string(op.perfil.lado == 0 ? "exteriores" : "interiores") +
                              "): no queda nada que estimar. Cambie la rejilla o el lado excluido.");
  }
  r.VariogramOptions = {op.Estimador, op.NMinAjus, -1, op.MetodoAjuste, op.LongVar ? 2 : 1, op.NApor, -1};
  r.VariogramParameters.fill(-1.0f);
  if (op.C0Ini >= 0) {
    r.VariogramParameters[0] = op.C0Ini;
    r.VariogramParameters[1] = op.C1Ini;
    r.VariogramParameters[2] = op.AIni;
  }
  if (op.KrigingLocal) {
    r.local.activo = 1;
    r.local.maxVecinos = op.NVecinos;
    r.local.minVecinos = op.NMinVecinos;
    r.local.sectores = op.Cuadrantes ? 4 : 1;
    r.local.distanciaMax = op.DistVecinos;
    r.local.tendenciaLocal = op.TendLocal ? 1 : 0;
    r.local.variogramaLocal = op.VarioLocal ? 1 : 0;
    r.local.submuestra = op.Submuestra;
    r.local.semilla = op.Semilla;
  }
  a = std::move(r);
  if (cuenta) *cuenta = DatosFuera{fuera, int(filas.size() - px.size()), s.duplicados};
  // The rows left out, the points merged, then the warning of a slow or
  // large run, if any.
  std::string aviso;
  if (fuera > 0) {
    // The rows by their number in the file (1-based), as the data window shows them.
    std::vector<int> numeros;
    size_t k = 0;
    for (int i = 0; i < d.N && int(numeros.size()) < fuera; ++i) {
      if (k < filas.size() && filas[k] == i) ++k;
      else numeros.push_back(i + 1);
    }
    aviso = MensajeFilasFuera(fuera, numeros);
  }
  if (!avisoDuplicados.empty()) aviso += (aviso.empty() ? "" : "\n") + avisoDuplicados;
  if (!recursos.mensaje.empty()) aviso += (aviso.empty() ? "" : "\n") + recursos.mensaje;
  return Resultado::Exito(aviso);
}

Resultado ValidaVecindario(const OpcionesKriging& op) {
  if (!op.KrigingLocal) return Resultado::Exito();
  kriging::LocalNeighbourhood v;
  v.maxPoints = op.NVecinos;
  v.minPoints = op.NMinVecinos;
  v.maxDistance = op.DistVecinos;
  v.sectors = op.Cuadrantes ? 4 : 1;
  const std::string problema = kriging::CheckNeighbourhood(v, op.Media);
  if (!problema.empty()) return Resultado::Error(problema);
  if (op.VarioLocal && !std::isfinite(op.DistVecinos))
    return Resultado::Error("Kriging local: «Variograma» cuenta los pares hasta la distancia máxima; "
                            "indique una distancia máxima.");
  if (op.Submuestra < 0 || op.Submuestra == 1)
    return Resultado::Error("Kriging local: el tamaño de la submuestra (" + std::to_string(op.Submuestra) +
                            ") debe ser 0 (automático) o al menos 2.");
  return Resultado::Exito();
}

std::string MensajeFilasFuera(int filas, const std::vector<int>& numeros) {
  std::string r = "Se han dejado fuera " + std::to_string(filas) + (filas == 1 ? " fila" : " filas") +
                  " con valores ausentes en X, Y o Z";
  if (!numeros.empty()) {
    constexpr size_t kNombradas = 10;
    r += numeros.size() == 1 ? " (fila " : " (filas ";
    for (size_t i = 0; i < numeros.size() && i < kNombradas; ++i)
      r += (i == 0 ? "" : i + 1 == numeros.size() ? " y " : ", ") + std::to_string(numeros[i]);
    if (numeros.size() > kNombradas) r += " y " + std::to_string(numeros.size() - kNombradas) + " más";
    r += ")";
  }
  return r + ".";
}

namespace {
// Reals of a free-format line after `etiqueta`.
std::vector<float> NumerosTras(const std::string& linea, size_t desde) {
  std::vector<float> v;
  std::istringstream in(linea.substr(desde));
  std::string token;
  while (in >> token) {
    float f = 0;
    auto [p, ec] = std::from_chars(token.data(), token.data() + token.size(), f);
    if (ec != std::errc() || p != token.data() + token.size()) break;
    v.push_back(f);
  }
  return v;
}
}  // namespace

ModeloAjustado LeeModeloAjustado(const std::string& carpeta, const ArgumentosSKU& salida) {
  ModeloAjustado m;
  m.codigo = salida.modelCode;
  m.a = salida.VariogramParameters[2];
  m.errorAjuste = salida.VariogramParameters[3];
  m.c0Ini = salida.VariogramParameters[5];
  m.c1Ini = salida.VariogramParameters[6];
  m.aIni = salida.VariogramParameters[7];
  // Entries 1 and 2 of the real options come back holding the range of the
  // prediction, so c0 and c1 are taken from the engine's last report of the
  // estimated parameters in its log. The accented letter may be in any code
  // page: the label is matched from "metros estimados:".
  std::ifstream log(std::filesystem::path(carpeta) / "KRIGING.LOG", std::ios::binary);
  std::string linea;
  const std::string etiqueta = "metros estimados:";
  while (log && std::getline(log, linea)) {
    const size_t p = linea.find(etiqueta);
    if (p == std::string::npos) continue;
    std::vector<float> v = NumerosTras(linea, p + etiqueta.size());
    if (v.size() >= 2) {
      m.c0 = v[0];
      m.c1 = v[1];
      if (v.size() >= 3) m.a = v[2];
      m.conocido = true;
    }
  }
  return m;
}

ModeloAjustado ModeloDelResumen(const ResumenMotor& r) {
  ModeloAjustado m;
  m.conocido = r.modelo != 0;
  m.codigo = r.modelo;
  m.c0 = float(r.c0), m.c1 = float(r.c1), m.a = float(r.a);
  m.errorAjuste = float(r.errorAjuste);
  m.c0Ini = float(r.c0Ini), m.c1Ini = float(r.c1Ini), m.aIni = float(r.aIni);
  return m;
}

void AplicaResultado(SesionKriging& s, const ResultadoMotor& r, const std::string& nombre,
                     const std::string& carpeta) {
  AplicaSuperficies(s, r.salida, nombre, carpeta);
  s.modelo = r.modelo;
  s.avisos = r.resumen.avisos;
  const ResumenMotor& m = r.resumen;
  s.tendencia = TrendFit{r.salida.trendDegree, m.coeficientesTendencia, m.centroTendenciaX, m.centroTendenciaY,
                         m.escalaTendencia};
}

void AplicaResultado(SesionKriging& s, const ArgumentosSKU& salida, const std::string& nombre,
                     const std::string& carpeta) {
  AplicaSuperficies(s, salida, nombre, carpeta);
  s.modelo = LeeModeloAjustado(carpeta, salida);
  s.avisos.clear();  // the arguments carry no warnings
  s.tendencia = {};  // nor the trend
}

void AplicaSuperficies(SesionKriging& s, const ArgumentosSKU& salida, const std::string& nombre,
                       const std::string& carpeta) {
  s.resumenLocal = ResumenLocal{salida.local.activo != 0, salida.local.nodosCalculados,
                                salida.local.huecosPocosVecinos, salida.local.huecosSingulares};
  SuperficiesKriging& sup = s.superficies;
  sup.nx = salida.nx;
  sup.ny = salida.ny;
  const RejillaDoble rejilla = salida.rejilla();
  sup.xMin = rejilla.xMin;
  sup.yMin = rejilla.yMin;
  sup.dx = rejilla.dx;
  sup.dy = rejilla.dy;
  // gridRows equals nx for the program's own grids, but copy row by row in
  // case a caller used a larger leading dimension.
  sup.SupPred.resize(size_t(salida.nx) * size_t(salida.ny));
  sup.SupVar.resize(sup.SupPred.size());
  for (size_t j = 0; j < size_t(salida.ny); ++j)
    for (size_t i = 0; i < size_t(salida.nx); ++i) {
      sup.SupPred[i + j * size_t(salida.nx)] = salida.prediction[i + j * size_t(salida.gridRows)];
      sup.SupVar[i + j * size_t(salida.nx)] = salida.variance[i + j * size_t(salida.gridRows)];
    }
  sup.zMin = salida.VariogramParameters[0];
  sup.zMax = salida.VariogramParameters[1];
  s.opciones.SaltoIni = salida.firstLag;
  s.opciones.RSalto = salida.lagWidth;
  s.haySuperficies = true;
  s.variableSuperficies = nombre;
  s.carpetaResultados = carpeta;
}

Resultado EjecutaKriging(SesionKriging& s, const std::string& nombre, const std::string& carpeta,
                         MotorKriging& motor) {
  ArgumentosSKU a;
  DatosFuera fuera;
  Resultado preparado = PreparaArgumentos(s, a, &fuera);
  if (!preparado) return preparado;
  ResultadoMotor r = motor.run(a, carpeta);
  if (!r.ok) return Resultado::Error(r.textoCompleto());
  std::error_code ec;
  const std::string dir = carpeta.empty() ? std::filesystem::current_path(ec).string()
                                          : std::filesystem::absolute(carpeta, ec).string();
  AplicaResultado(s, r, nombre, dir);
  // After the engine's log has reached the folder: its lines stay as they are.
  if (Resultado anotado = AnotaDatosFuera(dir, fuera); !anotado)
    preparado.mensaje += (preparado.mensaje.empty() ? "" : "\n") + anotado.mensaje;
  return preparado;  // with the rows left out and the run's warning, if any
}

}  // namespace sorvan
