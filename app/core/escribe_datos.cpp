#include "core/escribe_datos.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "core/escritura_atomica.h"

namespace sorvan {

namespace {

std::string SinBlancosFinales(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// A text field of a ".dae" file: quoted, and a quote inside (which the format
// cannot hold) becomes an apostrophe.
std::string TextoDae(std::string s) {
  std::replace(s.begin(), s.end(), '"', '\'');
  std::replace(s.begin(), s.end(), '\n', ' ');
  return "\"" + SinBlancosFinales(s) + "\"";
}

// A header field of delimited text, quoted when it must be.
std::string CampoTexto(const std::string& s, char separador) {
  if (s.find_first_of(std::string("\"\r\n") + separador) == std::string::npos && !s.empty() && s.front() != ' ')
    return s;
  std::string r = "\"";
  for (char c : s) {
    if (c == '"') r += '"';
    r += c;
  }
  return r + "\"";
}

}  // namespace

std::string TextoNumero(double v, char decimal) {
  if (std::isnan(v)) return {};
  char b[64];
  auto [p, ec] = std::to_chars(b, b + sizeof b, v);
  std::string s(b, ec == std::errc() ? p : b);
  if (decimal == ',') std::replace(s.begin(), s.end(), '.', ',');
  return s;
}

Resultado EscribeDae(const std::string& ruta, const DatosEspaciales& d, const AvisoProgreso& progreso) {
  return EscribeArchivoAtomico(ruta, [&](EscrituraAtomica& w, std::string& mensaje) {
    std::string s = TextoDae(d.titulo) + "\n" + std::to_string(d.nvar) + "," + std::to_string(d.N) + "\n";
    for (int k = 1; k <= d.nvar; ++k) {
      const float numero = size_t(k) <= d.numeros.size() ? d.numeros[size_t(k - 1)] : 0.0f;
      s += TextoDae(d.nombres[size_t(k - 1)]) + "," + TextoDae(d.descripciones[size_t(k - 1)]) + "," +
           TextoNumero(numero) + "\n";
    }
    if (!w.escribe(s)) return false;
    for (int i = 1; i <= d.N; ++i) {
      if (!SigueProgreso(progreso, i - 1, i - 1, d.N)) {
        mensaje = kTextoCancelado;  // the file keeps what it had
        return false;
      }
      s.clear();
      for (int k = 1; k <= d.nvar; ++k) {
        const double v = d.valor(i, k);
        s += std::isnan(v) ? std::string("NA") : TextoNumero(v);
        s += k < d.nvar ? ',' : '\n';
      }
      if (!w.escribe(s)) return false;
    }
    return true;
  });
}

Resultado EscribeTextoDelimitado(const std::string& ruta, const DatosEspaciales& d, const FormatoTexto& f,
                                 const AvisoProgreso& progreso) {
  const char sep = f.separador;
  const char decimal = sep == ',' ? '.' : f.decimal;  // a comma cannot be both
  return EscribeArchivoAtomico(ruta, [&](EscrituraAtomica& w, std::string& mensaje) {
    std::string s;
    for (int k = 1; k <= d.nvar; ++k) {
      // Text imports keep the whole column name as the description.
      const std::string nombre = d.nombreSinBlancos(k);
      const std::string desc = SinBlancosFinales(d.descripciones[size_t(k - 1)]);
      s += CampoTexto(desc.rfind(nombre, 0) == 0 && !nombre.empty() ? desc : nombre, sep);
      s += k < d.nvar ? sep : '\n';
    }
    if (!w.escribe(s)) return false;
    for (int i = 1; i <= d.N; ++i) {
      if (!SigueProgreso(progreso, i - 1, i - 1, d.N)) {
        mensaje = kTextoCancelado;  // the file keeps what it had
        return false;
      }
      s.clear();
      for (int k = 1; k <= d.nvar; ++k) {
        const double v = d.valor(i, k);
        // Blanks as separator cannot show an empty field: "NA" then.
        s += std::isnan(v) && sep == ' ' ? std::string("NA") : TextoNumero(v, decimal);
        s += k < d.nvar ? sep : '\n';
      }
      if (!w.escribe(s)) return false;
    }
    return true;
  });
}

Resultado EscribeDatos(const std::string& ruta, const DatosEspaciales& datos) {
  if (!EsTextoDelimitado(ruta)) return EscribeDae(ruta, datos);
  FormatoTexto f;
  std::string ext = ruta.substr(ruta.size() - 4);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  if (ext == ".tsv") f.separador = '\t';
  return EscribeTextoDelimitado(ruta, datos, f);
}

}  // namespace sorvan
