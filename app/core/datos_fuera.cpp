#include "core/datos_fuera.h"

#include <filesystem>
#include <fstream>

namespace sorvan {

std::string TextoDatosFuera(const DatosFuera& f) {
  std::string r;
  if (f.filasSinXYZ > 0)
    r = std::to_string(f.filasSinXYZ) + (f.filasSinXYZ == 1 ? " fila" : " filas") + " sin X, Y o Z";
  if (f.puntosUnidos > 0) {
    const bool uno = f.puntosUnidos == 1;
    r += (r.empty() ? "" : "; ") + std::to_string(f.puntosUnidos) + (uno ? " punto repetido " : " puntos repetidos ") +
         (f.politica == PoliticaDuplicados::Promedio ? (uno ? "promediado" : "promediados")
                                                     : (uno ? "descartado" : "descartados"));
  }
  return r;
}

std::string LineaRegistroDatosFuera(const DatosFuera& f) {
  return "Datos fuera del cálculo: " + TextoDatosFuera(f) + ".";
}

Resultado AnotaDatosFuera(const std::string& carpeta, const DatosFuera& f) {
  if (f.vacio()) return Resultado::Exito();
  const std::filesystem::path log = std::filesystem::path(carpeta) / "KRIGING.LOG";
  std::ofstream salida(log, std::ios::binary | std::ios::app);
  salida << LineaRegistroDatosFuera(f) << "\n";
  salida.close();
  if (!salida) return Resultado::Error("No se pudo anotar en " + log.string() + " los datos fuera del cálculo.");
  return Resultado::Exito();
}

}  // namespace sorvan
