#pragma once
// Files written whole or not at all. The content goes to a temporary file in
// the destination's folder (so the final rename stays on one file system);
// every write and the close are checked, the data is synced to disk, and only
// then is the temporary renamed over the real name. On any failure the
// temporary is removed, the real file keeps what it had, and the message names
// the file and the cause in Spanish ("no queda espacio en el disco", ...).
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>

#include "core/resultado.h"

namespace sorvan {

class EscrituraAtomica {
 public:
  explicit EscrituraAtomica(std::string ruta);
  ~EscrituraAtomica();  // an unconfirmed write is discarded
  EscrituraAtomica(const EscrituraAtomica&) = delete;
  EscrituraAtomica& operator=(const EscrituraAtomica&) = delete;

  // Creates the temporary file; false (with error()) when it cannot.
  bool abre();
  // Appends bytes (buffered); false once anything has failed.
  bool escribe(std::string_view bytes);
  bool escribe(const void* bytes, size_t n) { return escribe(std::string_view(static_cast<const char*>(bytes), n)); }
  // Flushes, syncs, closes and renames. Fails (and cleans up) if anything
  // before failed.
  Resultado confirma();
  // Drops the temporary file; the real file is untouched.
  void descarta();

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  const std::string& ruta() const { return ruta_; }
  const std::string& rutaTemporal() const { return temporal_; }

  // The system call that writes, replaceable by tests to inject faults.
  using FuncionEscritura = ssize_t (*)(int fd, const void* datos, size_t n);
  static void PonFuncionEscritura(FuncionEscritura f);

 private:
  bool vacia();  // writes the buffer out
  void falla(int errnoValor, const char* que);

  std::string ruta_, temporal_, buffer_, error_;
  int fd_ = -1;
};

// The Spanish cause for a system error number ("no queda espacio en el disco"
// for ENOSPC, "permiso denegado" for EACCES, ...).
std::string CausaError(int errnoValor);

// Writes `contenido` to `ruta` atomically.
Resultado EscribeArchivoAtomico(const std::string& ruta, std::string_view contenido);
// Writes to `ruta` atomically whatever `productor` writes; the producer
// returns false to abandon (with its own message in `mensaje`).
Resultado EscribeArchivoAtomico(const std::string& ruta,
                                const std::function<bool(EscrituraAtomica&, std::string& mensaje)>& productor);

}  // namespace sorvan
