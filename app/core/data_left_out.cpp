#include "core/data_left_out.h"

#include <filesystem>
#include <fstream>

namespace sorvan::core {

std::string DataLeftOutText(const DataLeftOut& f) {
  std::string r;
  if (f.rowsWithoutXYZ > 0)
    r = std::to_string(f.rowsWithoutXYZ) + (f.rowsWithoutXYZ == 1 ? " fila" : " filas") + " sin X, Y o Z";
  if (f.pointsMerged > 0) {
    const bool one = f.pointsMerged == 1;
    r += (r.empty() ? "" : "; ") + std::to_string(f.pointsMerged) + (one ? " punto repetido " : " puntos repetidos ") +
         (f.policy == DuplicatePolicy::Average ? (one ? "promediado" : "promediados")
                                                     : (one ? "descartado" : "descartados"));
  }
  return r;
}

std::string DataLeftOutLogLine(const DataLeftOut& f) {
  return "Datos fuera del cálculo: " + DataLeftOutText(f) + ".";
}

Result RecordDataLeftOut(const std::string& folder, const DataLeftOut& f) {
  if (f.empty()) return Result::Success();
  const std::filesystem::path log = std::filesystem::path(folder) / "KRIGING.LOG";
  std::ofstream output(log, std::ios::binary | std::ios::app);
  output << DataLeftOutLogLine(f) << "\n";
  output.close();
  if (!output) return Result::Error("No se pudo anotar en " + log.string() + " los datos fuera del cálculo.");
  return Result::Success();
}

}  // namespace sorvan::core
