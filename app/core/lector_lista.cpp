#include "core/lector_lista.h"

#include <cmath>
#include <limits>
#include <optional>

#include "core/number_text.h"

namespace sorvan {

namespace {
bool EsBlanco(int c) { return c == ' ' || c == '\t'; }
bool EsFinLinea(int c) { return c == '\n' || c == '\r'; }
constexpr int kEOF = std::char_traits<char>::eof();
}  // namespace

LectorLista::LectorLista(std::istream& entrada, std::string nombreArchivo)
    : entrada_(entrada), buf_(entrada.rdbuf()), nombre_(std::move(nombreArchivo)) {
  // Windows editors may start a UTF-8 file with a byte-order mark.
  if (buf_ && mira() == 0xEF) {
    toma();
    if (mira() == 0xBB) toma();
    if (mira() == 0xBF) toma();
  }
}

int LectorLista::mira() {
  if (!buf_) return kEOF;
  int c = buf_->sgetc();
  return c == kEOF ? kEOF : static_cast<unsigned char>(c);
}

int LectorLista::toma() {
  if (!buf_) return kEOF;
  int c = buf_->sbumpc();
  if (c == kEOF) return kEOF;
  c = static_cast<unsigned char>(c);
  // "\r\n", "\n" and a lone "\r" all end one line.
  if (c == '\n') ++linea_;
  if (c == '\r') {
    if (mira() == '\n') buf_->sbumpc();
    ++linea_;
    c = '\n';
  }
  return c;
}

void LectorLista::saltaBlancos() {
  while (EsBlanco(mira())) toma();
}

bool LectorLista::saltaHastaCampo() {
  for (;;) {
    saltaBlancos();
    int c = mira();
    if (c == kEOF) return false;
    if (!EsFinLinea(c)) return true;
    toma();
  }
}

// After a field: blanks, then at most one comma or one line break.
void LectorLista::terminaCampo() {
  saltaBlancos();
  int c = mira();
  if (c == ',' || EsFinLinea(c)) toma();
}

bool LectorLista::fin() { return !saltaHastaCampo(); }

bool LectorLista::leeLinea(std::string& linea, size_t maximo) {
  linea.clear();
  if (mira() == kEOF) return false;
  const int lineaInicio = linea_;
  for (int c = toma(); c != kEOF && c != '\n'; c = toma()) {
    if (linea.size() >= maximo) {
      demasiadoLarga_ = true;
      falla(lineaInicio, "línea", "línea demasiado larga (más de " + std::to_string(maximo) + " caracteres)");
      return false;
    }
    linea.push_back(static_cast<char>(c));
  }
  return true;
}

bool LectorLista::falla(int linea, std::string_view que, const std::string& problema) {
  error_ = nombre_ + ", línea " + std::to_string(linea) + ": " + std::string(que) + ": " + problema;
  return false;
}

bool LectorLista::leeTexto(std::string& texto, std::string_view que) {
  texto.clear();
  if (!saltaHastaCampo()) return falla(linea_, que, "el archivo termina antes de este campo");
  const int lineaCampo = linea_;
  if (mira() == '"') {
    toma();
    for (;;) {
      int c = mira();
      if (c == kEOF || EsFinLinea(c))
        return falla(lineaCampo, que, "falta la comilla de cierre del texto «" + MuestraValor(texto) + "»");
      toma();
      if (c == '"') break;
      if (texto.size() >= kMaxCampo) return falla(lineaCampo, que, "texto demasiado largo");
      texto.push_back(static_cast<char>(c));
    }
    // Anything between the closing quote and the separator is ignored.
    for (int c = mira(); c != kEOF && c != ',' && !EsFinLinea(c); c = mira()) toma();
    terminaCampo();
    return true;
  }
  for (int c = mira(); c != kEOF && c != ',' && !EsFinLinea(c); c = mira()) {
    if (texto.size() >= kMaxCampo) return falla(lineaCampo, que, "texto demasiado largo");
    texto.push_back(static_cast<char>(toma()));
  }
  while (!texto.empty() && EsBlanco(texto.back())) texto.pop_back();
  terminaCampo();
  return true;
}

bool LectorLista::leeToken(std::string& token, int& lineaToken, std::string_view que) {
  token.clear();
  if (!saltaHastaCampo()) return falla(linea_, que, "el archivo termina antes de este número");
  lineaToken = linea_;
  if (mira() == ',') return falla(lineaToken, que, "campo vacío donde se esperaba un número");
  constexpr size_t kMaxNumero = 64;
  for (int c = mira(); c != kEOF && c != ',' && !EsBlanco(c) && !EsFinLinea(c); c = mira()) {
    if (token.size() >= kMaxNumero)
      return falla(lineaToken, que, "se esperaba un número y se encontró «" + MuestraValor(token) + "...»");
    token.push_back(static_cast<char>(toma()));
  }
  terminaCampo();
  return true;
}

bool LectorLista::leeNumero(float& valor, std::string_view que) {
  std::string token;
  int lineaToken = linea_;
  if (!leeToken(token, lineaToken, que)) return false;
  const std::optional<double> numero = ParseNumber(token);
  if (!numero) return falla(lineaToken, que, "se esperaba un número y se encontró «" + MuestraValor(token) + "»");
  const double v = *numero;
  if (std::fabs(v) > std::numeric_limits<float>::max())
    return falla(lineaToken, que, "el valor «" + MuestraValor(token) + "» no cabe en precisión simple");
  valor = static_cast<float>(v);
  return true;
}

bool LectorLista::leeEntero(int64_t& valor, std::string_view que, int64_t minimo, int64_t maximo) {
  std::string token;
  int lineaToken = linea_;
  if (!leeToken(token, lineaToken, que)) return false;
  const std::optional<double> numero = ParseNumber(token);
  const double v = numero.value_or(0.5);
  if (!numero || v != std::floor(v))
    return falla(lineaToken, que, "se esperaba un número entero y se encontró «" + MuestraValor(token) + "»");
  if (v < static_cast<double>(minimo) || v > static_cast<double>(maximo))
    return falla(lineaToken, que,
                 "el valor " + MuestraValor(token) + " está fuera del intervalo " + std::to_string(minimo) +
                     " a " + std::to_string(maximo));
  valor = static_cast<int64_t>(v);
  return true;
}

std::string AjustaAncho(std::string_view texto, size_t ancho) {
  std::string r;
  size_t caracteres = 0;
  for (size_t i = 0; i < texto.size() && caracteres < ancho;) {
    size_t largo = 1;
    unsigned char c = static_cast<unsigned char>(texto[i]);
    if (c >= 0xF0) largo = 4;
    else if (c >= 0xE0) largo = 3;
    else if (c >= 0xC0) largo = 2;
    if (i + largo > texto.size()) largo = texto.size() - i;
    r.append(texto.substr(i, largo));
    i += largo;
    ++caracteres;
  }
  r.append(ancho - caracteres, ' ');
  return r;
}

std::string MuestraValor(std::string_view texto) {
  std::string r;
  for (char ch : texto.substr(0, 40)) {
    unsigned char c = static_cast<unsigned char>(ch);
    r.push_back(c >= 32 && c != 127 ? ch : '?');
  }
  return r;
}

}  // namespace sorvan
