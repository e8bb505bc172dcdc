#include "core/datos_espaciales.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>

#include "core/lector_lista.h"
#include "core/number_text.h"

namespace sorvan {

std::string DatosEspaciales::nombreSinBlancos(int var) const {
  std::string s = nombres.at(size_t(var - 1));
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

int DatosEspaciales::buscaColumna(std::string_view nombre) const {
  std::string buscado = AjustaAncho(nombre, kAnchoNombre);
  while (!buscado.empty() && buscado.back() == ' ') buscado.pop_back();
  auto igualSinMayusculas = [](std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char p, char q) {
             return std::tolower(static_cast<unsigned char>(p)) == std::tolower(static_cast<unsigned char>(q));
           });
  };
  for (int k = 1; k <= nvar; ++k)
    if (nombreSinBlancos(k) == buscado) return k;
  for (int k = 1; k <= nvar; ++k)
    if (igualSinMayusculas(nombreSinBlancos(k), buscado)) return k;
  return 0;
}

Resultado LeeDatos(const std::string& ruta, DatosEspaciales& datos, const OpcionesLectura& opciones) {
  std::error_code ec;
  if (std::filesystem::is_directory(ruta, ec)) return Resultado::Error(ruta + ": es una carpeta, no un archivo de datos.");
  std::ifstream entrada(ruta, std::ios::binary);
  if (!entrada) return Resultado::Error(ruta + ": no se puede abrir el archivo de datos.");
  return LeeDatos(entrada, ruta, datos, opciones);
}

namespace {

constexpr size_t kMaxLineaDatos = size_t(1) << 26;  // 64 MiB: far beyond any real row
constexpr size_t kMaxNumero = 64;

// One data line split into fields: commas separate fields, and within the
// text between two commas blanks separate numbers. A field with nothing in
// it is missing; a comma at the end of the line opens no field of its own
// unless the row needs it (comaFinal).
struct LineaDatos {
  int linea = 0;
  size_t inicio = 0;  // first of its fields in the flat list
  int cuenta = 0;     // fields, not counting a final comma's
  bool comaFinal = false;
};

bool EsBlancoDato(char c) { return c == ' ' || c == '\t'; }


}  // namespace

bool EsTextoAusente(std::string_view campo) {
  return campo.size() == 2 && (campo[0] == 'N' || campo[0] == 'n') && (campo[1] == 'A' || campo[1] == 'a');
}

std::vector<int> FilasCompletas(const DatosEspaciales& datos, std::initializer_list<int> columnas) {
  std::vector<int> filas;
  for (int i = 0; i < datos.N; ++i) {
    bool completa = true;
    for (int c : columnas) completa = completa && !std::isnan(datos.columna(c)[i]);
    if (completa) filas.push_back(i);
  }
  return filas;
}

int DatosEspaciales::ausentes(int var) const {
  const double* c = columna(var);
  return static_cast<int>(std::count_if(c, c + N, [](double v) { return std::isnan(v); }));
}

void DatosEspaciales::recalculaExtremos(int var) {
  double menor = std::numeric_limits<double>::quiet_NaN(), mayor = menor;
  const double* c = columna(var);
  for (int i = 0; i < N; ++i) {
    const double v = c[i];
    if (std::isnan(v)) continue;
    if (std::isnan(menor) || v < menor) menor = v;
    if (std::isnan(mayor) || v > mayor) mayor = v;
  }
  minimo[size_t(var - 1)] = menor;
  maximo[size_t(var - 1)] = mayor;
}

void DatosEspaciales::llenaDesdeFilas(const std::vector<double>& filas) {
  matriz.assign(size_t(N) * size_t(nvar), 0.0);
  for (size_t i = 0; i < size_t(N); ++i)
    for (size_t k = 0; k < size_t(nvar); ++k) matriz[k * size_t(N) + i] = filas[i * size_t(nvar) + k];
  minimo.assign(size_t(nvar), 0.0);
  maximo.assign(size_t(nvar), 0.0);
  for (int k = 1; k <= nvar; ++k) recalculaExtremos(k);
}

Resultado LeeDatos(std::istream& entrada, const std::string& nombreArchivo, DatosEspaciales& datos,
                   const OpcionesLectura& opciones) {
  LectorLista lector(entrada, nombreArchivo);
  // Everything goes into a fresh data set that replaces the caller's only
  // when the whole file has been read.
  DatosEspaciales d;
  auto fallo = [&] { return Resultado::Error(lector.error() + "\nNo se ha cargado el archivo."); };
  auto falloEn = [&](int linea, const std::string& que) {
    return Resultado::Error(nombreArchivo + ", línea " + std::to_string(linea) + ": " + que +
                            "\nNo se ha cargado el archivo.");
  };

  std::string texto;
  if (!lector.leeTexto(texto, "título")) return fallo();
  d.titulo = AjustaAncho(texto, kAnchoTexto);

  int64_t nvar = 0, n = 0;
  if (!lector.leeEntero(nvar, "nº de variables", 1, kMaxVariables)) return fallo();
  if (!lector.leeEntero(n, "nº de datos", 1, std::numeric_limits<int32_t>::max())) return fallo();
  d.nvar = static_cast<int>(nvar);

  for (int k = 1; k <= d.nvar; ++k) {
    const std::string var = "variable " + std::to_string(k);
    if (!lector.leeTexto(texto, "nombre de la " + var)) return fallo();
    d.nombres.push_back(AjustaAncho(texto, kAnchoNombre));
    if (!lector.leeTexto(texto, "descripción de la " + var)) return fallo();
    d.descripciones.push_back(AjustaAncho(texto, kAnchoTexto));
    float numero = 0;
    if (!lector.leeNumero(numero, "número de la cabecera de la " + var)) return fallo();
    d.numeros.push_back(numero);
  }

  // Every data line is split into fields first; whether the file puts one
  // point per line is decided once all line lengths are known. Memory follows
  // what the file really holds, not the count it announces.
  const auto nombreVar = [&](int k) { return "«" + MuestraValor(d.nombreSinBlancos(k)) + "»"; };
  std::vector<double> valores;
  std::vector<LineaDatos> lineas;
  bool porLineasHastaAhora = true;  // every line so far held nvar fields
  const size_t nv = size_t(d.nvar);
  for (long long vueltas = 0;; ++vueltas) {
    // Lines against the points announced: the share read when one holds a point.
    if (!SigueProgreso(opciones.progreso, vueltas, double(vueltas), double(n))) return Resultado::Error(kTextoCancelado);
    const int numeroLinea = lector.linea();
    if (!lector.leeLinea(texto, kMaxLineaDatos)) {
      if (lector.lineaDemasiadoLarga()) return fallo();
      break;
    }
    LineaDatos l;
    l.linea = numeroLinea;
    l.inicio = valores.size();
    bool hayAlgo = false;
    size_t p = 0;
    // Comma-separated pieces; a piece holds zero (missing) or more numbers.
    for (;;) {
      const size_t coma = texto.find(',', p);
      const std::string_view pieza =
          std::string_view(texto).substr(p, coma == std::string::npos ? std::string::npos : coma - p);
      size_t q = 0, enPieza = 0;
      while (q < pieza.size()) {
        while (q < pieza.size() && EsBlancoDato(pieza[q])) ++q;
        if (q >= pieza.size()) break;
        size_t fin = q;
        while (fin < pieza.size() && !EsBlancoDato(pieza[fin])) ++fin;
        std::string_view token = pieza.substr(q, fin - q);
        q = fin;
        ++enPieza;
        hayAlgo = true;
        double v = std::numeric_limits<double>::quiet_NaN();
        if (!EsTextoAusente(token)) {
          const std::optional<double> numero =
              token.size() > kMaxNumero ? std::nullopt : ParseNumber(token);
          if (numero) v = *numero;
          if (!numero) {
            // Named by row and variable as far as the layout is known here.
            const size_t campo = valores.size();
            const size_t fila = porLineasHastaAhora ? lineas.size() + 1 : campo / nv + 1;
            const int k = porLineasHastaAhora ? l.cuenta + 1 : int(campo % nv) + 1;
            std::string que = "dato " + std::to_string(k) + " de la fila " + std::to_string(fila);
            if (k <= d.nvar) que += " (variable " + nombreVar(k) + ")";
            return falloEn(numeroLinea, que + ": se esperaba un número y se encontró «" +
                                            MuestraValor(token) + (token.size() > kMaxNumero ? "...»" : "»"));
          }
          if (std::fabs(v) > std::numeric_limits<float>::max())
            return falloEn(numeroLinea, "el valor «" + MuestraValor(token) + "» no cabe en precisión simple");
          if (opciones.valorAusente && v == *opciones.valorAusente) v = std::numeric_limits<double>::quiet_NaN();
        }
        valores.push_back(v);
        ++l.cuenta;
      }
      if (coma == std::string::npos) break;
      hayAlgo = true;
      if (enPieza == 0) {
        // Nothing between two commas, or before the first: a missing value.
        valores.push_back(std::numeric_limits<double>::quiet_NaN());
        ++l.cuenta;
      }
      p = coma + 1;
      // A comma that ends the line: see comaFinal.
      if (texto.find_first_not_of(" \t", p) == std::string::npos) {
        l.comaFinal = true;
        break;
      }
    }
    if (!hayAlgo) continue;  // a blank line separates nothing
    if (l.cuenta != d.nvar && !(l.comaFinal && l.cuenta + 1 == d.nvar)) porLineasHastaAhora = false;
    lineas.push_back(l);
  }

  // One point per line: the first data line holds a whole row, or most do.
  const auto completa = [&](const LineaDatos& l) {
    return l.cuenta == d.nvar || (l.comaFinal && l.cuenta + 1 == d.nvar);
  };
  const size_t exactas = size_t(std::count_if(lineas.begin(), lineas.end(), completa));
  const bool porLineas = !lineas.empty() && (completa(lineas.front()) || 2 * exactas > lineas.size());

  std::vector<double> filas;
  std::string aviso;
  int64_t leidas = 0;
  if (porLineas) {
    for (const LineaDatos& l : lineas) {
      if (!completa(l)) {
        const int64_t fila = int64_t(&l - lineas.data()) + 1;
        return falloEn(l.linea, "la fila " + std::to_string(fila) + " tiene " + std::to_string(l.cuenta) +
                                    (l.cuenta == 1 ? " valor" : " valores") + " y debe tener " +
                                    std::to_string(d.nvar) + " (uno por variable)");
      }
    }
    if (int64_t(lineas.size()) < n) {
      const int ultima = lineas.empty() ? lector.linea() : lineas.back().linea;
      return falloEn(ultima, "el archivo anuncia " + std::to_string(n) + " datos pero solo tiene " +
                                 std::to_string(lineas.size()) + " filas");
    }
    leidas = n;
    if (int64_t(lineas.size()) > n) {
      const size_t sobran = lineas.size() - size_t(n);
      aviso = nombreArchivo + ": el archivo anuncia " + std::to_string(n) + " datos pero tiene " +
              std::to_string(lineas.size()) + " filas; no se han cargado las " + std::to_string(sobran) +
              " filas siguientes (líneas " + std::to_string(lineas[size_t(n)].linea) + " a " +
              std::to_string(lineas.back().linea) + ").";
    }
    filas.reserve(size_t(n) * nv);
    for (int64_t i = 0; i < n; ++i) {
      const LineaDatos& l = lineas[size_t(i)];
      filas.insert(filas.end(), valores.begin() + std::ptrdiff_t(l.inicio),
                   valores.begin() + std::ptrdiff_t(l.inicio + size_t(l.cuenta)));
      if (l.cuenta + 1 == d.nvar) filas.push_back(std::numeric_limits<double>::quiet_NaN());
    }
  } else {
    // Values run on over line breaks: a final comma opens no field.
    const size_t necesarios = size_t(n) * nv;
    if (valores.size() < necesarios) {
      const size_t fila = valores.size() / nv + 1;
      const int k = int(valores.size() % nv) + 1;
      return falloEn(lector.linea(), "dato " + std::to_string(k) + " de la fila " + std::to_string(fila) +
                                         " (variable " + nombreVar(k) +
                                         "): el archivo termina antes de este número");
    }
    leidas = n;
    filas.assign(valores.begin(), valores.begin() + std::ptrdiff_t(necesarios));
    if (valores.size() > necesarios) {
      int linea = lineas.back().linea;
      for (const LineaDatos& l : lineas)
        if (l.inicio + size_t(l.cuenta) > necesarios) {
          linea = l.linea;
          break;
        }
      aviso = nombreArchivo + ": tras los " + std::to_string(n) + " datos anunciados sobran " +
              std::to_string(valores.size() - necesarios) + " valores (desde la línea " + std::to_string(linea) +
              "); no se han cargado.";
    }
  }
  if (opciones.limiteFilas > 0 && leidas > opciones.limiteFilas) {
    leidas = opciones.limiteFilas;
    filas.resize(size_t(leidas) * nv);
    if (!aviso.empty()) aviso += "\n";
    aviso += nombreArchivo + ": se han cargado las primeras " + std::to_string(leidas) + " filas de " +
             std::to_string(n) + ".";
  }
  d.N = static_cast<int>(leidas);
  d.llenaDesdeFilas(filas);
  datos = std::move(d);
  return Resultado::Exito(aviso);
}

}  // namespace sorvan
