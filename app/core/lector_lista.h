#pragma once
// Free-format list input, the way ".dae" and ".per" files are read: fields
// separated by commas or line breaks, a number also ending at a blank, text
// ending at a comma or the end of the line unless enclosed in double quotes,
// leading blanks skipped, a period as the decimal separator. Empty lines are
// skipped between fields. A UTF-8 byte-order mark at the start is ignored.
//
// Every read names what it expects (`que`, e.g. "dato 3 de la fila 4"); on
// failure error() holds "<archivo>, línea L: <que>: <problema>". Memory stays
// bounded whatever the input: text beyond kMaxCampo characters is refused.
#include <cstdint>
#include <istream>
#include <string>
#include <string_view>

namespace sorvan {

class LectorLista {
 public:
  static constexpr size_t kMaxCampo = 4096;

  LectorLista(std::istream& entrada, std::string nombreArchivo);

  bool leeTexto(std::string& texto, std::string_view que);
  // A finite number representable as a single-precision float.
  bool leeNumero(float& valor, std::string_view que);
  // An integral number within [minimo, maximo].
  bool leeEntero(int64_t& valor, std::string_view que, int64_t minimo, int64_t maximo);
  // True when only blanks and line breaks remain.
  bool fin();
  // The rest of the current line, without its line break; false at the end of
  // the file. A line longer than `maximo` bytes is an error (error() says so).
  bool leeLinea(std::string& linea, size_t maximo);
  // True after leeLinea failed on a line that was too long.
  bool lineaDemasiadoLarga() const { return demasiadoLarga_; }

  const std::string& error() const { return error_; }
  int linea() const { return linea_; }

 private:
  int mira();
  int toma();
  void saltaBlancos();
  bool saltaHastaCampo();  // false at end of file
  void terminaCampo();
  bool falla(int linea, std::string_view que, const std::string& problema);
  bool leeToken(std::string& token, int& lineaToken, std::string_view que);

  std::istream& entrada_;
  std::streambuf* buf_;
  std::string nombre_;
  std::string error_;
  int linea_ = 1;
  bool demasiadoLarga_ = false;
};

// `texto` cut or padded with blanks to `ancho` characters (UTF-8 aware: a
// character is never split).
std::string AjustaAncho(std::string_view texto, size_t ancho);
// `texto` as shown in a message: at most 40 characters, bytes that are not
// printable replaced by '?'.
std::string MuestraValor(std::string_view texto);

}  // namespace sorvan
