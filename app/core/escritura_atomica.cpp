#include "core/escritura_atomica.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace sorvan {

namespace {
constexpr size_t kBuffer = size_t(1) << 16;
std::atomic<EscrituraAtomica::FuncionEscritura> g_escribe{&::write};
std::atomic<unsigned> g_contador{0};
}  // namespace

void EscrituraAtomica::PonFuncionEscritura(FuncionEscritura f) { g_escribe = f ? f : &::write; }

std::string CausaError(int e) {
  switch (e) {
    case ENOSPC: return "no queda espacio en el disco";
    case EDQUOT: return "se ha superado la cuota de disco";
    case EACCES:
    case EPERM: return "permiso denegado";
    case EROFS: return "el disco es de solo lectura";
    case ENOENT: return "la carpeta no existe";
    case ENOTDIR: return "una parte de la ruta no es una carpeta";
    case EISDIR: return "es una carpeta";
    case EIO: return "error de entrada/salida del disco";
    case EFBIG: return "el archivo es demasiado grande";
    case ENAMETOOLONG: return "el nombre es demasiado largo";
    case EMFILE:
    case ENFILE: return "hay demasiados archivos abiertos";
    default: return "error del sistema " + std::to_string(e) + " (" + std::strerror(e) + ")";
  }
}

EscrituraAtomica::EscrituraAtomica(std::string ruta) : ruta_(std::move(ruta)) {}

EscrituraAtomica::~EscrituraAtomica() { descarta(); }

void EscrituraAtomica::falla(int e, const char* que) {
  if (error_.empty()) error_ = "No se pudo " + std::string(que) + " el archivo «" + ruta_ + "»: " + CausaError(e) + ".";
}

bool EscrituraAtomica::abre() {
  namespace fs = std::filesystem;
  const fs::path destino(ruta_);
  std::error_code ec;
  if (fs::is_directory(destino, ec)) {
    falla(EISDIR, "escribir");
    return false;
  }
  const fs::path carpeta = destino.has_parent_path() ? destino.parent_path() : fs::path(".");
  // A hidden name beside the real one; O_EXCL never reuses someone else's.
  for (int intento = 0; intento < 100; ++intento) {
    const std::string nombre = "." + destino.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-" +
                               std::to_string(g_contador++);
    temporal_ = (carpeta / nombre).string();
    fd_ = ::open(temporal_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) return true;
    if (errno != EEXIST) break;
  }
  const int e = errno;
  temporal_.clear();
  falla(e, "crear");
  return false;
}

bool EscrituraAtomica::vacia() {
  size_t hecho = 0;
  while (hecho < buffer_.size()) {
    const ssize_t n = g_escribe.load()(fd_, buffer_.data() + hecho, buffer_.size() - hecho);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      falla(n < 0 ? errno : ENOSPC, "escribir");
      return false;
    }
    hecho += size_t(n);
  }
  buffer_.clear();
  return true;
}

bool EscrituraAtomica::escribe(std::string_view bytes) {
  if (!ok()) return false;
  if (fd_ < 0) {
    falla(EBADF, "escribir");
    return false;
  }
  buffer_.append(bytes);
  return buffer_.size() < kBuffer || vacia();
}

Resultado EscrituraAtomica::confirma() {
  if (ok() && fd_ < 0) falla(EBADF, "escribir");
  if (ok() && vacia()) {
    if (::fsync(fd_) != 0) falla(errno, "escribir");
  }
  if (fd_ >= 0) {
    // close can report a delayed write error (e.g. on network folders).
    if (::close(fd_) != 0) falla(errno, "escribir");
    fd_ = -1;
  }
  if (ok() && ::rename(temporal_.c_str(), ruta_.c_str()) != 0) falla(errno, "guardar");
  if (!ok()) {
    descarta();
    return Resultado::Error(error_);
  }
  temporal_.clear();
  return Resultado::Exito();
}

void EscrituraAtomica::descarta() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporal_.empty()) ::unlink(temporal_.c_str());
  temporal_.clear();
  buffer_.clear();
}

Resultado EscribeArchivoAtomico(const std::string& ruta, std::string_view contenido) {
  return EscribeArchivoAtomico(ruta, [&](EscrituraAtomica& w, std::string&) { return w.escribe(contenido); });
}

Resultado EscribeArchivoAtomico(const std::string& ruta,
                                const std::function<bool(EscrituraAtomica&, std::string& mensaje)>& productor) {
  EscrituraAtomica w(ruta);
  if (!w.abre()) return Resultado::Error(w.error());
  std::string mensaje;
  if (!productor(w, mensaje)) {
    w.descarta();
    return Resultado::Error(!mensaje.empty() ? mensaje : w.error());
  }
  return w.confirma();
}

}  // namespace sorvan
