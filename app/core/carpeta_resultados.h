#pragma once
// The result folder of kriging runs: one run at a time in it (a lock file
// holding the pid of the process that runs), each run working in its own
// temporary folder inside it, and the run's files moved in only when the run
// has succeeded, so that a failed or cancelled run leaves the previous
// results as they were.
#include <string>

#include "core/resultado.h"
#include "core/sesion_kriging.h"

namespace sorvan {

inline constexpr const char* kArchivoCerrojo = ".sorvan-en-uso";          // holds the pid of the run
inline constexpr const char* kPrefijoEjecucion = ".sorvan-ejecucion-";    // + pid + "-" + counter
inline constexpr const char* kArchivoLogFallido = "KRIGING-FALLO.LOG";    // log of the last failed run
// Files a run leaves in the result folder.
inline constexpr const char* kArchivosEjecucion[] = {"KRIGING.LOG",  "SKUPRE.SUP",  "SKUVAR.SUP", "SKUESTIM.SV",
                                                     "SKUESTIM.FMT", "SKUEAJUS.SV", "SKUEAJUS.FMT"};

// Holds the lock of one result folder while it lives.
class CerrojoCarpeta {
 public:
  CerrojoCarpeta() = default;
  ~CerrojoCarpeta() { suelta(); }
  CerrojoCarpeta(const CerrojoCarpeta&) = delete;
  CerrojoCarpeta& operator=(const CerrojoCarpeta&) = delete;

  // Takes the folder (which must exist): the lock file holds an exclusive
  // advisory lock (flock) while the run lasts, which the system drops when
  // the process ends however it ends, and the pid of the process. Refused
  // with a message naming the folder and the process when another holder
  // has it (another taking of this process included); the lock file of a
  // process that no longer holds it is taken over, and the temporary folders
  // of processes that no longer exist are removed.
  Resultado toma(const std::string& carpeta);
  void suelta();
  bool tomado() const { return !carpeta_.empty(); }

 private:
  std::string carpeta_;
  int fd_ = -1;
};

// A new, empty temporary folder for one run inside `carpeta`; "" with
// `error` set when it cannot be made.
std::string CreaCarpetaEjecucion(const std::string& carpeta, std::string* error);

// Checks, before they are moved in, that the files a run left in `temporal`
// are whole: all seven are there, each surface file holds the nx * ny values
// of its header (and ends with a line break), and the log ends with the
// engine's closing line "Terminado.". A file cut short by a full disk fails
// with a message naming it and, when the disk has no room left, saying so.
Resultado VerificaArchivosEjecucion(const std::string& temporal, int nx, int ny);

// Moves the run's files (kArchivosEjecucion) from `temporal` into `carpeta`,
// replacing the previous ones; a name the run did not write is removed from
// `carpeta`, so files of two runs never mix. Then removes `temporal`.
Resultado TrasladaResultados(const std::string& temporal, const std::string& carpeta);

// Removes a run's temporary folder and everything in it.
void BorraCarpetaEjecucion(const std::string& temporal);

// Default result folder of a data file: "<name>_resultados" beside the data
// when that folder can be written, else the same name under
// `carpetaUsuario` (the user's data folder).
std::string CarpetaResultadosPorDefecto(const std::string& archivoDatos, const std::string& carpetaUsuario);

// Where the session's next run writes: the folder the user chose for this
// data file, else CarpetaResultadosPorDefecto of the data file (the current
// folder's "resultados" when no file is loaded).
std::string CarpetaResultadosSesion(const SesionKriging& sesion, const std::string& carpetaUsuario);

// True when `carpeta` exists (or can be created) and can be written.
bool CarpetaEscribible(const std::string& carpeta);

}  // namespace sorvan
