#pragma once
// The spatial data set: N points (rows) by nvar variables (columns), read from
// a ".dae" file (or a delimited text or GIS file, see importa_*.h). Values are
// kept in double precision; a missing value is a quiet NaN. One data set is held by the program at a time (in
// SesionKriging); loading a file replaces it.
//
// The ".dae" file is text read with free-format list input. Fields are
// separated by commas or line breaks, a number also ends at a blank, a text
// field ends at a comma or the end of the line unless it is enclosed in double
// quotes, leading blanks are skipped, numbers use a period as the decimal
// separator. Fields in order: the title; nvar and N (integers); for each
// variable its name, its description and one number; then the N rows of nvar
// values each. A value may be missing: "NA", an empty field between commas,
// or a value the reader is told stands for "missing" (e.g. -9999).
//
// The rows: when the file puts one point per line (the first data line, or
// most of them, hold nvar values), every data line must hold nvar values and
// a line that does not is an error naming it; lines beyond the N announced
// are not loaded and give a warning saying how many. Otherwise the values run
// on over line breaks (a point wrapped over several lines) and only their
// order counts.
#include <cstdint>
#include <initializer_list>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/progreso.h"
#include "core/resultado.h"

namespace sorvan {

inline constexpr int kAnchoNombre = 8;        // characters of a variable name
inline constexpr int kAnchoTexto = 64;        // characters of the title and descriptions
inline constexpr int kMaxVariables = 32767;   // nvar is a 16-bit count

struct DatosEspaciales {
  std::string titulo;                       // kAnchoTexto characters, blank-padded or cut
  int nvar = 0;                             // number of variables (columns)
  int N = 0;                                // number of data (rows)
  std::vector<std::string> nombres;         // nvar names, kAnchoNombre characters each, blank-padded or cut
  std::vector<std::string> descripciones;   // nvar texts of kAnchoTexto characters
  std::vector<float> numeros;               // the third field of each variable header, kept unused
  // The values, column-major: variable k (0-based) occupies the N contiguous
  // doubles starting at k * N. NaN marks a missing value.
  std::vector<double> matriz;
  // Extremes of each column over its present values (NaN when none is).
  std::vector<double> minimo, maximo;
  // Coordinate reference system of X and Y as WKT or "EPSG:n"; empty if unknown.
  std::string crs;

  bool vacio() const { return N == 0 || nvar == 0; }
  // Value of row `fila` (1..N) of variable `var` (1..nvar).
  double valor(int fila, int var) const { return matriz[size_t(var - 1) * N + (fila - 1)]; }
  // First of the N contiguous values of variable `var` (1..nvar).
  const double* columna(int var) const { return matriz.data() + size_t(var - 1) * N; }
  // Missing values of variable `var` (1..nvar).
  int ausentes(int var) const;
  // Sets minimo/maximo of variable `var` (1..nvar) from its values.
  void recalculaExtremos(int var);
  // Builds matriz, minimo and maximo from `filas`, N rows of nvar values each
  // one after the other (nvar and N must be set).
  void llenaDesdeFilas(const std::vector<double>& filas);
  // Name of variable `var` (1..nvar) without its trailing blanks.
  std::string nombreSinBlancos(int var) const;
  // Column of the variable called `nombre` (compared without trailing blanks,
  // exact case first, then ignoring ASCII case; a name longer than 8
  // characters is cut as the file's names are), 1-based; 0 when none matches.
  int buscaColumna(std::string_view nombre) const;
};

// Rows (0-based) whose values in every column of `columnas` (1-based) are
// present: the rows a run uses.
std::vector<int> FilasCompletas(const DatosEspaciales& datos, std::initializer_list<int> columnas);

// True for the texts that stand for a missing value in data files ("NA" in
// any case; the empty field is handled by each reader).
bool EsTextoAusente(std::string_view campo);

struct OpcionesLectura {
  // Most rows kept; 0, the default, keeps them all. Memory grows only with the
  // rows actually present in the file, never with the count it announces.
  int limiteFilas = 0;
  // A number that stands for a missing value (e.g. -9999), or none.
  std::optional<double> valorAusente;
  // Told how far the reading has got; a false answer cancels it (kTextoCancelado).
  AvisoProgreso progreso;
};

// Reads the ".dae" file at `ruta` into `datos`.
// Success: `datos` holds the whole data set; Resultado::mensaje is a warning
// when the file holds rows beyond the count it announces (their number and
// lines), or more rows than limiteFilas (then only the first are kept).
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
