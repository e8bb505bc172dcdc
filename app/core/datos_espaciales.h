#pragma once
// The spatial data set: N points (rows) by nvar variables (columns), read from
// a ".dae" file. One data set is held by the program at a time (in
// SesionKriging); loading a file replaces it.
//
// The ".dae" file is text read with free-format list input. Fields are
// separated by commas or line breaks, a number also ends at a blank, a text
// field ends at a comma or the end of the line unless it is enclosed in double
// quotes, leading blanks are skipped, numbers use a period as the decimal
// separator. Fields in order: the title; nvar and N (integers); for each
// variable its name, its description and one number; then the N rows of nvar
// values each. Line breaks carry no meaning beyond separating fields.
#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "core/resultado.h"

namespace sorvan {

// Rows the data window holds at most; a file announcing more loads only the
// first kMaxDatos rows (with the warning kAvisoDemasiadosDatos).
inline constexpr int kMaxDatos = 2048;
inline constexpr int kAnchoNombre = 8;        // characters of a variable name
inline constexpr int kAnchoTexto = 64;        // characters of the title and descriptions
inline constexpr int kMaxVariables = 32767;   // nvar is a 16-bit count
inline constexpr const char* kAvisoDemasiadosDatos =
    "El nº de datos es demasiado grande\nNo se cargaron todos los datos.";

struct DatosEspaciales {
  std::string titulo;                       // kAnchoTexto characters, blank-padded or cut
  int nvar = 0;                             // number of variables (columns)
  int N = 0;                                // number of data (rows)
  std::vector<std::string> nombres;         // nvar names, kAnchoNombre characters each, blank-padded or cut
  std::vector<std::string> descripciones;   // nvar texts of kAnchoTexto characters
  std::vector<float> numeros;               // the third field of each variable header, kept unused
  // The values, column-major: variable k (0-based) occupies the N contiguous
  // floats starting at k * N. This is the layout the engine takes directly.
  std::vector<float> matriz;
  std::vector<float> minimo, maximo;        // extremes of each column

  bool vacio() const { return N == 0 || nvar == 0; }
  // Value of row `fila` (1..N) of variable `var` (1..nvar).
  float valor(int fila, int var) const { return matriz[size_t(var - 1) * N + (fila - 1)]; }
  // First of the N contiguous values of variable `var` (1..nvar).
  const float* columna(int var) const { return matriz.data() + size_t(var - 1) * N; }
  // Name of variable `var` (1..nvar) without its trailing blanks.
  std::string nombreSinBlancos(int var) const;
  // Column of the variable called `nombre` (compared without trailing blanks,
  // exact case first, then ignoring ASCII case; a name longer than 8
  // characters is cut as the file's names are), 1-based; 0 when none matches.
  int buscaColumna(std::string_view nombre) const;
};

struct OpcionesLectura {
  // Most rows kept; 0 lifts the limit (the command-line tool's --sin-limite).
  // Memory grows only with the rows actually present in the file, never with
  // the count it announces.
  int limiteFilas = kMaxDatos;
};

// Reads the ".dae" file at `ruta` into `datos`.
// Success: `datos` holds the whole data set; Resultado::mensaje is
// kAvisoDemasiadosDatos when the file announced more rows than the limit (then
// only the first limiteFilas rows are read, the rest of the file is ignored).
// Failure (file missing, truncated, a non-numeric or non-finite value where a
// number is expected, an impossible count, a missing closing quote, a field
// longer than any sane one): the message names the file, the line, the field
// and the value found, and `datos` is left exactly as it was: a partial data
// set is never delivered.
Resultado LeeDatos(const std::string& ruta, DatosEspaciales& datos,
                   const OpcionesLectura& opciones = {});

// The same reading from a stream; `nombreArchivo` is the name used in messages.
Resultado LeeDatos(std::istream& entrada, const std::string& nombreArchivo,
                   DatosEspaciales& datos, const OpcionesLectura& opciones = {});

}  // namespace sorvan
