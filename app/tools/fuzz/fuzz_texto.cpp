// libFuzzer target of the delimited text reader. The first byte chooses the
// separator and decimal mark (or detection); the rest is the file. Any input
// must end in a whole data set or a message naming the file.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/texto_delimitado.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo) {
  if (largo == 0) return 0;
  const std::string texto(reinterpret_cast<const char*>(datos) + 1, largo - 1);
  sorvan::FormatoTexto f = sorvan::DetectaFormato(texto);
  if (datos[0] & 1) f.separador = ";,\t "[(datos[0] >> 1) & 3];
  if (datos[0] & 8) f.decimal = f.decimal == '.' ? ',' : '.';
  sorvan::OpcionesLectura op;
  if (datos[0] & 16) op.valorAusente = -9999.0;
  sorvan::DatosEspaciales d;
  const sorvan::Resultado r = sorvan::LeeTextoDelimitado(texto, "fuzz.csv", f, d, op);
  if (r.ok) {
    if (d.matriz.size() != size_t(d.N) * size_t(d.nvar) || d.nombres.size() != size_t(d.nvar)) std::abort();
    for (double v : d.matriz)
      if (!std::isnan(v) && !std::isfinite(v)) std::abort();
  } else if (r.mensaje.rfind("fuzz.csv", 0) != 0) {
    std::abort();
  }
  (void)sorvan::VistaPrevia(texto, f, 20);
  return 0;
}
