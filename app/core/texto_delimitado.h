#pragma once
// Delimited text data (".csv", ".tsv", ".txt"): a header row with the column
// names, then one row per point. The separator (comma, semicolon, tab or runs
// of blanks) and the decimal mark (period or comma) are detected from the
// first lines and may be corrected by the user; fields may be enclosed in
// double quotes ("" inside stands for one quote, and a quoted field may hold
// separators and line breaks); the file may be UTF-8 (with or without a
// byte-order mark) or Windows-1252.
//
// Columns whose first present value is a number become the data set's
// variables; the others (labels, dates...) are left out and named in the
// warning. A missing value is an empty field, "NA", or the value the reader
// is told stands for "missing".
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "core/datos_espaciales.h"
#include "core/resultado.h"

namespace sorvan {

struct FormatoTexto {
  char separador = ',';  // ',', ';', '\t', or ' ' for runs of blanks
  char decimal = '.';    // '.' or ','
  bool windows1252 = false;  // the bytes are Windows-1252, not UTF-8
};

// The format that fits the start of a file best.
FormatoTexto DetectaFormato(std::string_view muestra);

// The text as UTF-8: a byte-order mark is dropped, and text that is not valid
// UTF-8 is taken as Windows-1252 and converted (windows1252 says which).
std::string ComoUtf8(std::string_view bytes, bool& windows1252);

// The first `maxFilas` records (header included) split into fields, for a
// preview. Never fails: an unterminated quote ends the preview.
std::vector<std::vector<std::string>> VistaPrevia(std::string_view textoUtf8, const FormatoTexto& formato,
                                                  size_t maxFilas);

// Reads the whole file. Failures name the file, line and column (by number and
// name): a row with more or fewer fields than the header, text in a numeric
// column, a quote never closed, a field longer than any sane one, no numeric
// column, no data row. `datos` is replaced only on success.
Resultado LeeTextoDelimitado(const std::string& ruta, const FormatoTexto& formato, DatosEspaciales& datos,
                             const OpcionesLectura& opciones = {});
Resultado LeeTextoDelimitado(std::string_view bytes, const std::string& nombreArchivo, const FormatoTexto& formato,
                             DatosEspaciales& datos, const OpcionesLectura& opciones = {});

// Reads the file at `ruta` whole into `bytes` (at most `maximo` bytes).
Resultado LeeArchivoEntero(const std::string& ruta, std::string& bytes, size_t maximo = size_t(1) << 31);

// The same file with the detected format, for the command line and tests.
Resultado LeeTextoDelimitado(const std::string& ruta, DatosEspaciales& datos, const OpcionesLectura& opciones = {});

// True for the extensions read as delimited text (".csv", ".tsv", ".txt", any case).
bool EsTextoDelimitado(const std::string& ruta);

}  // namespace sorvan
