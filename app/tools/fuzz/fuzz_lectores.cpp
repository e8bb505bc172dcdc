// libFuzzer target of the ".dae" and ".per" readers. The first byte chooses
// the reader and the row limit; the rest is the file. Any input must end in
// a data set or a message naming the file, within bounded memory.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "core/datos_espaciales.h"
#include "core/perfil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo) {
  if (largo == 0) return 0;
  const std::string texto(reinterpret_cast<const char*>(datos) + 1, largo - 1);
  std::istringstream entrada(texto);
  sorvan::Resultado r;
  if (datos[0] & 1) {
    sorvan::Perfil p;
    r = sorvan::LeePerfil(entrada, "fuzz.per", p);
    if (r.ok && (p.npts < 3 || p.x.size() != size_t(p.npts))) std::abort();
  } else {
    sorvan::DatosEspaciales d;
    sorvan::OpcionesLectura op;
    op.limiteFilas = (datos[0] & 2) ? 0 : 2048;
    if (datos[0] & 4) op.valorAusente = -9999.0;
    r = sorvan::LeeDatos(entrada, "fuzz.dae", d, op);
    if (r.ok && d.matriz.size() != size_t(d.N) * size_t(d.nvar)) std::abort();
  }
  if (!r.ok && r.mensaje.rfind("fuzz.", 0) != 0) std::abort();
  return 0;
}
