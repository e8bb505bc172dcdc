#include "core/texto_delimitado.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>

#include "core/lector_lista.h"
#include "core/number_text.h"

namespace sorvan {

namespace {

constexpr size_t kMaxCampoTexto = size_t(1) << 20;  // 1 MiB: no real value comes near

bool EsBlanco(char c) { return c == ' ' || c == '\t'; }

// Splits delimited text into records, one at a time, keeping line numbers.
class DivisorRegistros {
 public:
  DivisorRegistros(std::string_view texto, const FormatoTexto& f) : t_(texto), f_(f) {}

  // The next record with at least one field; false at the end or on error
  // (then error() is "línea L, columna C: problema").
  bool siguiente(std::vector<std::string>& campos, int& linea) {
    for (;;) {
      if (p_ >= t_.size()) return false;
      campos.clear();
      linea = linea_;
      bool finLinea = false;
      while (!finLinea) {
        if (!campo(campos, finLinea)) return false;
      }
      // A line with nothing but blanks holds no record.
      if (campos.size() == 1 && campos[0].empty() && !ultimoEntreComillas_) continue;
      // Runs of blanks: blanks at the end of a line open no field.
      if (f_.separador == ' ' && !campos.empty() && campos.back().empty() && !ultimoEntreComillas_)
        campos.pop_back();
      if (campos.empty()) continue;
      return true;
    }
  }
  const std::string& error() const { return error_; }
  int lineaError() const { return lineaError_; }
  size_t posicion() const { return p_; }  // bytes of the text consumed so far

 private:
  int mira() const { return p_ < t_.size() ? static_cast<unsigned char>(t_[p_]) : -1; }
  // Consumes a line break if one is here.
  bool tomaFinLinea() {
    if (mira() == '\r') {
      ++p_;
      if (mira() == '\n') ++p_;
      ++linea_;
      return true;
    }
    if (mira() == '\n') {
      ++p_;
      ++linea_;
      return true;
    }
    return false;
  }
  bool esSeparador(int c) const { return f_.separador == ' ' ? (c == ' ' || c == '\t') : c == f_.separador; }
  bool falla(int columna, const std::string& problema) {
    lineaError_ = linea_;
    error_ = "línea " + std::to_string(linea_) + ", columna " + std::to_string(columna) + ": " + problema;
    return false;
  }

  bool campo(std::vector<std::string>& campos, bool& finLinea) {
    std::string v;
    const int columna = int(campos.size()) + 1;
    ultimoEntreComillas_ = false;
    // Leading blanks never belong to a field (and separate fields when the
    // separator is blanks).
    while (mira() >= 0 && EsBlanco(char(mira())) && !(f_.separador == '\t' && mira() == '\t')) ++p_;
    if (mira() == '"') {
      ultimoEntreComillas_ = true;
      const int lineaInicio = linea_;
      ++p_;
      for (;;) {
        const int c = mira();
        if (c < 0) {
          linea_ = lineaInicio;
          return falla(columna, "falta la comilla de cierre del campo que empieza en esta línea");
        }
        if (c == '"') {
          ++p_;
          if (mira() == '"') {
            v.push_back('"');
            ++p_;
            continue;
          }
          break;
        }
        if (c == '\r' || c == '\n') {
          tomaFinLinea();
          v.push_back('\n');
        } else {
          v.push_back(char(c));
          ++p_;
        }
        if (v.size() > kMaxCampoTexto)
          return falla(columna, "campo demasiado largo (más de " + std::to_string(kMaxCampoTexto) + " caracteres)");
      }
      // Text between the closing quote and the separator is kept.
      while (mira() >= 0 && !esSeparador(mira()) && mira() != '\r' && mira() != '\n') v.push_back(t_[p_++]);
    } else {
      while (mira() >= 0 && !esSeparador(mira()) && mira() != '\r' && mira() != '\n') {
        v.push_back(t_[p_++]);
        if (v.size() > kMaxCampoTexto)
          return falla(columna, "campo demasiado largo (más de " + std::to_string(kMaxCampoTexto) + " caracteres)");
      }
    }
    while (!v.empty() && EsBlanco(v.back()) && !ultimoEntreComillas_) v.pop_back();
    campos.push_back(std::move(v));
    if (f_.separador == ' ') {
      // A run of blanks is one separator.
      while (mira() >= 0 && EsBlanco(char(mira()))) ++p_;
    } else if (esSeparador(mira())) {
      ++p_;
      // A separator right before the end of the line opens one more (empty) field.
      if (mira() < 0 || mira() == '\r' || mira() == '\n') {
        campos.emplace_back();
        finLinea = true;
        tomaFinLinea();
      }
      return true;
    }
    if (mira() < 0 || tomaFinLinea()) finLinea = true;
    return true;
  }

  std::string_view t_;
  FormatoTexto f_;
  size_t p_ = 0;
  int linea_ = 1;
  bool ultimoEntreComillas_ = false;
  std::string error_;
  int lineaError_ = 0;
};

// A number in the chosen decimal mark; a blank-trimmed field.
bool ConvierteNumero(std::string_view s, char decimal, double& v) {
  std::string n(s);
  if (decimal == ',') {
    if (n.find('.') != std::string::npos) return false;
    std::replace(n.begin(), n.end(), ',', '.');
  }
  // The blanks were trimmed: a field of blanks around a number is not read
  // here any differently from the rest of the program.
  const std::optional<double> numero = ParseNumber(n);
  if (!numero) return false;
  v = *numero;
  return true;
}

bool EsUtf8Valido(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n = 0;
    if (c < 0x80) n = 0;
    else if (c >= 0xC2 && c <= 0xDF) n = 1;
    else if (c >= 0xE0 && c <= 0xEF) n = 2;
    else if (c >= 0xF0 && c <= 0xF4) n = 3;
    else return false;
    if (n > 0 && i + n >= s.size()) return false;
    for (size_t k = 1; k <= n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n + 1;
  }
  return true;
}

void AnadeUtf8(std::string& r, unsigned cp) {
  if (cp < 0x80) {
    r.push_back(char(cp));
  } else if (cp < 0x800) {
    r.push_back(char(0xC0 | (cp >> 6)));
    r.push_back(char(0x80 | (cp & 0x3F)));
  } else {
    r.push_back(char(0xE0 | (cp >> 12)));
    r.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    r.push_back(char(0x80 | (cp & 0x3F)));
  }
}

// Windows-1252 bytes 0x80..0x9F; the rest of the upper half is Latin-1.
constexpr std::array<unsigned, 32> kCp1252 = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

std::string Columna(int k, const std::vector<std::string>& cabecera) {
  std::string r = "columna " + std::to_string(k);
  if (k >= 1 && size_t(k) <= cabecera.size() && !cabecera[size_t(k - 1)].empty())
    r += " («" + MuestraValor(cabecera[size_t(k - 1)]) + "»)";
  return r;
}

}  // namespace

std::string ComoUtf8(std::string_view bytes, bool& windows1252) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  windows1252 = !EsUtf8Valido(bytes);
  if (!windows1252) return std::string(bytes);
  std::string r;
  r.reserve(bytes.size() + bytes.size() / 8);
  for (char ch : bytes) {
    const unsigned char c = static_cast<unsigned char>(ch);
    AnadeUtf8(r, c < 0x80 ? c : c < 0xA0 ? kCp1252[c - 0x80] : c);
  }
  return r;
}

FormatoTexto DetectaFormato(std::string_view muestra) {
  FormatoTexto f;
  // A sample cut at a line break, so that no character is split.
  if (muestra.size() > (1 << 16)) {
    const size_t corte = muestra.find_last_of('\n', 1 << 16);
    muestra = muestra.substr(0, corte == std::string_view::npos ? (1 << 16) : corte);
  }
  std::string texto = ComoUtf8(muestra, f.windows1252);
  // Up to 20 non-empty lines, with the separators counted outside quotes.
  std::vector<std::string> lineas;
  {
    // A line break inside quotes belongs to the field.
    std::string l;
    bool comillas = false;
    for (size_t p = 0; p <= texto.size() && lineas.size() < 20; ++p) {
      const char c = p < texto.size() ? texto[p] : '\n';
      if (c == '"') comillas = !comillas;
      if ((c == '\n' || c == '\r') && (!comillas || p == texto.size())) {
        if (l.find_first_not_of(" \t") != std::string::npos) lineas.push_back(l);
        l.clear();
      } else {
        l.push_back(c);
      }
    }
  }
  auto cuenta = [](const std::string& l, char sep) {
    int n = 0;
    bool comillas = false;
    for (char c : l) {
      if (c == '"') comillas = !comillas;
      else if (c == sep && !comillas) ++n;
    }
    return n;
  };
  // The candidate found on most lines as often as on the header line (a
  // ragged row here and there is the reader's to report), most often.
  size_t mejorAcuerdo = 0;
  int mejor = 0;
  f.separador = ' ';
  for (char sep : {'\t', ';', ','}) {
    if (lineas.empty()) break;
    const int n = cuenta(lineas[0], sep);
    if (n == 0) continue;
    size_t acuerdo = 0;
    for (const std::string& l : lineas) acuerdo += cuenta(l, sep) == n;
    if (2 * acuerdo < lineas.size()) continue;
    if (acuerdo > mejorAcuerdo || (acuerdo == mejorAcuerdo && n > mejor)) {
      mejorAcuerdo = acuerdo;
      mejor = n;
      f.separador = sep;
    }
  }
  // Decimal comma: numbers like "3,25" and none like "3.25" in the data lines.
  f.decimal = '.';
  if (f.separador != ',') {
    bool comas = false, puntos = false;
    DivisorRegistros d(texto, f);
    std::vector<std::string> campos;
    int linea = 0;
    bool cabecera = true;
    while (d.siguiente(campos, linea)) {
      if (cabecera) {
        cabecera = false;
        continue;
      }
      for (const std::string& c : campos) {
        double v = 0;
        if (c.find(',') != std::string::npos && ConvierteNumero(c, ',', v)) comas = true;
        if (c.find('.') != std::string::npos && ConvierteNumero(c, '.', v)) puntos = true;
      }
    }
    if (comas && !puntos) f.decimal = ',';
  }
  return f;
}

std::vector<std::vector<std::string>> VistaPrevia(std::string_view textoUtf8, const FormatoTexto& formato,
                                                  size_t maxFilas) {
  std::vector<std::vector<std::string>> filas;
  DivisorRegistros d(textoUtf8, formato);
  std::vector<std::string> campos;
  int linea = 0;
  while (filas.size() < maxFilas && d.siguiente(campos, linea)) filas.push_back(campos);
  return filas;
}

Resultado LeeArchivoEntero(const std::string& ruta, std::string& bytes, size_t maximo) {
  std::error_code ec;
  if (std::filesystem::is_directory(ruta, ec)) return Resultado::Error(ruta + ": es una carpeta, no un archivo de datos.");
  std::ifstream f(ruta, std::ios::binary);
  if (!f) return Resultado::Error(ruta + ": no se puede abrir el archivo de datos.");
  bytes.clear();
  char buf[1 << 16];
  while (f.read(buf, sizeof buf) || f.gcount() > 0) {
    bytes.append(buf, size_t(f.gcount()));
    if (bytes.size() > maximo) return Resultado::Error(ruta + ": el archivo es demasiado grande.");
  }
  if (f.bad()) return Resultado::Error(ruta + ": error al leer el archivo.");
  return Resultado::Exito();
}

Resultado LeeTextoDelimitado(std::string_view bytes, const std::string& nombreArchivo, const FormatoTexto& formato,
                             DatosEspaciales& datos, const OpcionesLectura& opciones) {
  auto error = [&](const std::string& que) {
    return Resultado::Error(nombreArchivo + ", " + que + "\nNo se ha cargado el archivo.");
  };
  bool w1252 = false;
  const std::string texto = ComoUtf8(bytes, w1252);
  DivisorRegistros divisor(texto, formato);
  std::vector<std::string> cabecera, campos;
  int linea = 0;
  if (!divisor.siguiente(cabecera, linea)) {
    if (!divisor.error().empty()) return error(divisor.error());
    return Resultado::Error(nombreArchivo + ": el archivo está vacío.");
  }
  const size_t nc = cabecera.size();
  // Columns: -1 undecided, 0 text (left out), 1 numeric.
  std::vector<int> tipo(nc, -1);
  std::vector<double> valores;  // nc per row, NaN for text columns too
  std::vector<int> lineas;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  while (divisor.siguiente(campos, linea)) {
    if (!SigueProgreso(opciones.progreso, (long long)lineas.size(), double(divisor.posicion()), double(texto.size())))
      return Resultado::Error(kTextoCancelado);
    if (campos.size() != nc)
      return error("línea " + std::to_string(linea) + ": la fila tiene " + std::to_string(campos.size()) +
                   (campos.size() == 1 ? " campo" : " campos") + " y la cabecera " + std::to_string(nc) +
                   " (separador «" + (formato.separador == '\t' ? std::string("tabulador") :
                                      formato.separador == ' ' ? std::string("espacios") : std::string(1, formato.separador)) +
                   "»)");
    for (size_t k = 0; k < nc; ++k) {
      const std::string& c = campos[k];
      double v = nan;
      if (!c.empty() && !EsTextoAusente(c)) {
        const bool numero = ConvierteNumero(c, formato.decimal, v);
        if (tipo[k] < 0) tipo[k] = numero ? 1 : 0;
        if (tipo[k] == 0) {
          v = nan;
        } else if (!numero) {
          return error("línea " + std::to_string(linea) + ", " + Columna(int(k + 1), cabecera) +
                       ": se esperaba un número y se encontró «" + MuestraValor(c) + (c.size() > 40 ? "...»" : "»"));
        } else if (std::fabs(v) > std::numeric_limits<float>::max()) {
          return error("línea " + std::to_string(linea) + ", " + Columna(int(k + 1), cabecera) + ": el valor «" +
                       MuestraValor(c) + "» es demasiado grande");
        } else if (opciones.valorAusente && v == *opciones.valorAusente) {
          v = nan;
        }
      }
      valores.push_back(v);
    }
    lineas.push_back(linea);
    if (opciones.limiteFilas > 0 && int64_t(lineas.size()) >= opciones.limiteFilas) break;
  }
  if (!divisor.error().empty()) return error(divisor.error());
  if (lineas.empty()) return Resultado::Error(nombreArchivo + ": no hay filas de datos tras la cabecera.");

  DatosEspaciales d;
  std::vector<size_t> numericas;
  std::string textos;
  for (size_t k = 0; k < nc; ++k) {
    if (tipo[k] == 0) {
      textos += (textos.empty() ? "" : ", ") + std::string("«") + MuestraValor(cabecera[k]) + "»";
      continue;
    }
    numericas.push_back(k);
  }
  if (numericas.empty()) return Resultado::Error(nombreArchivo + ": ninguna columna tiene valores numéricos.");
  if (numericas.size() > size_t(kMaxVariables))
    return Resultado::Error(nombreArchivo + ": demasiadas columnas (máximo " + std::to_string(kMaxVariables) + ").");
  d.titulo = AjustaAncho(std::filesystem::path(nombreArchivo).stem().string(), kAnchoTexto);
  d.nvar = int(numericas.size());
  d.N = int(lineas.size());
  for (size_t k : numericas) {
    const std::string nombre = cabecera[k].empty() ? "col" + std::to_string(k + 1) : cabecera[k];
    d.nombres.push_back(AjustaAncho(nombre, kAnchoNombre));
    d.descripciones.push_back(AjustaAncho(nombre, kAnchoTexto));
    d.numeros.push_back(0.0f);
  }
  std::vector<double> filas;
  filas.reserve(size_t(d.N) * numericas.size());
  for (size_t i = 0; i < lineas.size(); ++i)
    for (size_t k : numericas) filas.push_back(valores[i * nc + k]);
  d.llenaDesdeFilas(filas);
  datos = std::move(d);
  std::string aviso;
  if (!textos.empty()) aviso = nombreArchivo + ": columnas sin valores numéricos, no cargadas: " + textos + ".";
  return Resultado::Exito(aviso);
}

Resultado LeeTextoDelimitado(const std::string& ruta, const FormatoTexto& formato, DatosEspaciales& datos,
                             const OpcionesLectura& opciones) {
  std::string bytes;
  Resultado r = LeeArchivoEntero(ruta, bytes);
  if (!r) return r;
  return LeeTextoDelimitado(bytes, ruta, formato, datos, opciones);
}

Resultado LeeTextoDelimitado(const std::string& ruta, DatosEspaciales& datos, const OpcionesLectura& opciones) {
  std::string bytes;
  Resultado r = LeeArchivoEntero(ruta, bytes);
  if (!r) return r;
  return LeeTextoDelimitado(bytes, ruta, DetectaFormato(bytes), datos, opciones);
}

bool EsTextoDelimitado(const std::string& ruta) {
  std::string ext = std::filesystem::path(ruta).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return ext == ".csv" || ext == ".tsv" || ext == ".txt";
}

}  // namespace sorvan
