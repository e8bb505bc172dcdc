#include "core/carpeta_resultados.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace sorvan {

namespace fs = std::filesystem;

namespace {

// A process holding a lock is alive when it can be signalled (or exists but
// belongs to someone else).
bool ProcesoVivo(long pid) {
  if (pid <= 0) return false;
  return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

long LeePid(const fs::path& p) {
  std::ifstream in(p);
  long pid = 0;
  if (!(in >> pid)) return 0;
  return pid;
}

// Temporary run folders of processes that no longer exist (killed runs).
void BorraEjecucionesHuerfanas(const fs::path& carpeta) {
  std::error_code ec;
  const std::string prefijo = kPrefijoEjecucion;
  for (fs::directory_iterator it(carpeta, ec), fin; !ec && it != fin; it.increment(ec)) {
    const std::string nombre = it->path().filename().string();
    if (nombre.rfind(prefijo, 0) != 0) continue;
    const long pid = std::strtol(nombre.c_str() + prefijo.size(), nullptr, 10);
    if (!ProcesoVivo(pid)) {
      std::error_code ec2;
      fs::remove_all(it->path(), ec2);
    }
  }
}

}  // namespace

Resultado CerrojoCarpeta::toma(const std::string& carpeta) {
  suelta();
  const fs::path cerrojo = fs::path(carpeta) / kArchivoCerrojo;
  const std::string propio = std::to_string(::getpid()) + "\n";
  for (int intento = 0; intento < 2; ++intento) {
    const int fd = ::open(cerrojo.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
      const bool escrito = ::write(fd, propio.data(), propio.size()) == ssize_t(propio.size());
      const bool cerrado = ::close(fd) == 0;
      if (!escrito || !cerrado) {
        const std::string causa = std::strerror(errno ? errno : EIO);
        ::unlink(cerrojo.c_str());
        return Resultado::Error("No se puede escribir en la carpeta de resultados " + carpeta + ": " + causa + ".");
      }
      carpeta_ = carpeta;
      BorraEjecucionesHuerfanas(carpeta);
      return Resultado::Exito();
    }
    if (errno != EEXIST)
      return Resultado::Error("No se puede escribir en la carpeta de resultados " + carpeta + ": " +
                              std::strerror(errno) + ".");
    const long pid = LeePid(cerrojo);
    if (ProcesoVivo(pid))
      return Resultado::Error("La carpeta de resultados " + carpeta + " está en uso por otro cálculo de kriging (proceso " +
                              std::to_string(pid) +
                              "). Espere a que termine o elija otra carpeta de resultados.");
    // The lock of a process that is gone: take it over.
    ::unlink(cerrojo.c_str());
  }
  return Resultado::Error("No se puede tomar la carpeta de resultados " + carpeta + ".");
}

void CerrojoCarpeta::suelta() {
  if (carpeta_.empty()) return;
  const fs::path cerrojo = fs::path(carpeta_) / kArchivoCerrojo;
  // Only our own lock is removed.
  if (LeePid(cerrojo) == long(::getpid())) ::unlink(cerrojo.c_str());
  carpeta_.clear();
}

std::string CreaCarpetaEjecucion(const std::string& carpeta, std::string* error) {
  static std::atomic<unsigned> contador{0};
  for (int intento = 0; intento < 100; ++intento) {
    const fs::path p = fs::path(carpeta) / (std::string(kPrefijoEjecucion) + std::to_string(::getpid()) + "-" +
                                            std::to_string(contador++));
    if (::mkdir(p.c_str(), 0755) == 0) return p.string();
    if (errno != EEXIST) {
      if (error) *error = "No se puede crear la carpeta temporal " + p.string() + ": " + std::strerror(errno) + ".";
      return {};
    }
  }
  if (error) *error = "No se puede crear una carpeta temporal en " + carpeta + ".";
  return {};
}

Resultado TrasladaResultados(const std::string& temporal, const std::string& carpeta) {
  std::error_code ec;
  for (const char* nombre : kArchivosEjecucion) {
    const fs::path origen = fs::path(temporal) / nombre;
    const fs::path destino = fs::path(carpeta) / nombre;
    if (fs::exists(origen, ec)) {
      if (::rename(origen.c_str(), destino.c_str()) != 0)
        return Resultado::Error("No se puede llevar " + std::string(nombre) + " a la carpeta de resultados " +
                                carpeta + ": " + std::strerror(errno) + ".");
    } else {
      fs::remove(destino, ec);
    }
  }
  BorraCarpetaEjecucion(temporal);
  return Resultado::Exito();
}

void BorraCarpetaEjecucion(const std::string& temporal) {
  if (temporal.empty()) return;
  std::error_code ec;
  fs::remove_all(temporal, ec);
}

bool CarpetaEscribible(const std::string& carpeta) {
  std::error_code ec;
  fs::path p(carpeta);
  if (fs::is_directory(p, ec)) return ::access(p.c_str(), W_OK | X_OK) == 0;
  if (fs::exists(p, ec)) return false;
  // A folder still to be made: its nearest existing parent must be writable.
  for (fs::path padre = p.parent_path(); !padre.empty(); padre = padre.parent_path()) {
    if (fs::is_directory(padre, ec)) return ::access(padre.c_str(), W_OK | X_OK) == 0;
    if (padre == padre.root_path()) break;
  }
  return false;
}

std::string CarpetaResultadosPorDefecto(const std::string& archivoDatos, const std::string& carpetaUsuario) {
  std::error_code ec;
  const fs::path datos = fs::absolute(archivoDatos, ec);
  const std::string nombre = datos.stem().string() + "_resultados";
  const fs::path junto = datos.parent_path() / nombre;
  if (CarpetaEscribible(junto.string())) return junto.string();
  return (fs::path(carpetaUsuario) / nombre).string();
}

}  // namespace sorvan

namespace sorvan {

std::string CarpetaResultadosSesion(const SesionKriging& s, const std::string& carpetaUsuario) {
  if (!s.carpetaElegida.empty() && s.carpetaElegidaPara == s.archivoDatos) return s.carpetaElegida;
  if (s.archivoDatos.empty()) {
    std::error_code ec;
    return (fs::current_path(ec) / "resultados").string();
  }
  return CarpetaResultadosPorDefecto(s.archivoDatos, carpetaUsuario);
}

}  // namespace sorvan
