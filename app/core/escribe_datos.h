#pragma once
// Saving the data set: as a ".dae" file (one point per line, commas, "NA" for
// a missing value) or as delimited text with a header row. Numbers are
// written with the fewest digits that read back to the very same double, so
// that saving and opening again changes no value. Files are written
// atomically (see escritura_atomica.h).
#include <string>

#include "core/datos_espaciales.h"
#include "core/resultado.h"
#include "core/texto_delimitado.h"

namespace sorvan {

// `progreso` is told the share of rows written; its false answer cancels (kTextoCancelado).
Resultado EscribeDae(const std::string& ruta, const DatosEspaciales& datos, const AvisoProgreso& progreso = {});
// `formato.separador` (',' ';' '\t' or ' ') and `formato.decimal` ('.' or ',')
// are used as given; missing values are empty fields.
Resultado EscribeTextoDelimitado(const std::string& ruta, const DatosEspaciales& datos,
                                 const FormatoTexto& formato = {}, const AvisoProgreso& progreso = {});
// By the extension: ".csv", ".tsv", ".txt" as text (tab for ".tsv"), else ".dae".
Resultado EscribeDatos(const std::string& ruta, const DatosEspaciales& datos);

// The shortest text of `v` that reads back as `v` ("NA"-free: NaN gives "").
std::string TextoNumero(double v, char decimal = '.');

}  // namespace sorvan
