#include "core/carpeta_resultados.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/escritura_atomica.h"

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

// Whitespace-separated fields of a whole file, read in blocks; the first
// `cuantosPrimeros` go to `primeros`, `ultimo` gets the last byte. -1 when
// it cannot be read.
int64_t CuentaCampos(const fs::path& p, std::vector<std::string>* primeros, size_t cuantosPrimeros, char* ultimo) {
  std::FILE* f = std::fopen(p.c_str(), "rb");
  if (!f) return -1;
  static const auto blanco = [] {
    std::array<unsigned char, 256> t{};
    for (unsigned char c : {' ', '\n', '\r', '\t'}) t[c] = 1;
    return t;
  }();
  int64_t campos = 0;
  unsigned char anterior = 1;  // a blank before the file
  std::string actual;
  std::vector<char> bloque(1 << 18);
  size_t k;
  *ultimo = '\0';
  while ((k = std::fread(bloque.data(), 1, bloque.size(), f)) > 0) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(bloque.data());
    size_t i = 0;
    // The header fields, kept while they come.
    for (; i < k && primeros && primeros->size() < cuantosPrimeros; ++i) {
      const unsigned char es = blanco[b[i]];
      if (!es) actual.push_back(char(b[i]));
      else if (!anterior) primeros->push_back(std::move(actual)), actual.clear();
      campos += anterior & !es;
      anterior = es;
    }
    // The values: only counted. A field starts at a non-blank after a blank.
    for (; i < k; ++i) {
      const unsigned char es = blanco[b[i]];
      campos += anterior & !es;
      anterior = es;
    }
    *ultimo = char(b[k - 1]);
  }
  const bool error = std::ferror(f) != 0;
  std::fclose(f);
  return error ? -1 : campos;
}

std::string CausaCorte(const fs::path& carpeta) {
  struct statvfs v {};
  if (::statvfs(carpeta.c_str(), &v) == 0 && double(v.f_bavail) * double(v.f_frsize) < 1024.0 * 1024.0)
    return ": " + CausaError(ENOSPC);
  return "";
}

}  // namespace

Resultado VerificaArchivosEjecucion(const std::string& temporal, int nx, int ny) {
  const fs::path dir(temporal);
  std::error_code ec;
  for (const char* nombre : kArchivosEjecucion)
    if (!fs::is_regular_file(dir / nombre, ec))
      return Resultado::Error("El cálculo no dejó el archivo " + std::string(nombre) + CausaCorte(dir) + ".");
  for (const char* nombre : {"SKUPRE.SUP", "SKUVAR.SUP"}) {
    std::vector<std::string> cabecera;
    char ultimo = 0;
    const int64_t campos = CuentaCampos(dir / nombre, &cabecera, 11, &ultimo);
    // "#", lowest, highest (prediction only), "GRID", nx, ny, then hole, dx, dy, xMin, yMin.
    size_t g = 0;
    while (g < cabecera.size() && cabecera[g] != "GRID") ++g;
    const int64_t esperados = int64_t(g) + 8 + int64_t(nx) * ny;
    const bool rejilla = g + 2 < cabecera.size() && cabecera[g + 1] == std::to_string(nx) &&
                         cabecera[g + 2] == std::to_string(ny);
    if (campos != esperados || !rejilla || ultimo != '\n')
      return Resultado::Error("El archivo " + std::string(nombre) + " de este cálculo está incompleto (" +
                              std::to_string(std::max<int64_t>(campos - int64_t(g) - 8, 0)) + " de " +
                              std::to_string(int64_t(nx) * ny) + " valores)" + CausaCorte(dir) + ".");
  }
  // The log's last line is written after every other file.
  std::ifstream log(dir / "KRIGING.LOG", std::ios::binary);
  std::string linea, final;
  while (std::getline(log, linea)) {
    const size_t a = linea.find_first_not_of(" \r\t");
    if (a != std::string::npos) final = linea.substr(a, linea.find_last_not_of(" \r\t") - a + 1);
  }
  if (final != "Terminado.")
    return Resultado::Error("El registro KRIGING.LOG de este cálculo está incompleto" + CausaCorte(dir) + ".");
  return Resultado::Exito();
}

Resultado CerrojoCarpeta::toma(const std::string& carpeta) {
  suelta();
  const fs::path cerrojo = fs::path(carpeta) / kArchivoCerrojo;
  for (int intento = 0; intento < 3; ++intento) {
    const int fd = ::open(cerrojo.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
      return Resultado::Error("No se puede escribir en la carpeta de resultados " + carpeta + ": " +
                              CausaError(errno) + ".");
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int e = errno;
      ::close(fd);
      if (e != EWOULDBLOCK)
        return Resultado::Error("No se puede bloquear la carpeta de resultados " + carpeta + ": " + CausaError(e) +
                                ".");
      const long pid = LeePid(cerrojo);
      return Resultado::Error("La carpeta de resultados " + carpeta + " está en uso por otro cálculo de kriging" +
                              (pid > 0 ? " (proceso " + std::to_string(pid) + ")" : std::string()) +
                              ". Espere a que termine o elija otra carpeta de resultados.");
    }
    // The file may have been removed by its last holder between our open and
    // our lock: then the lock is on a name that no longer exists; again.
    struct stat abierto {}, enCarpeta {};
    if (::fstat(fd, &abierto) != 0 || ::stat(cerrojo.c_str(), &enCarpeta) != 0 || abierto.st_ino != enCarpeta.st_ino ||
        abierto.st_dev != enCarpeta.st_dev) {
      ::close(fd);
      continue;
    }
    const std::string propio = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, propio.data(), propio.size(), 0) != ssize_t(propio.size())) {
      const std::string causa = CausaError(errno ? errno : EIO);
      ::close(fd);
      return Resultado::Error("No se puede escribir en la carpeta de resultados " + carpeta + ": " + causa + ".");
    }
    fd_ = fd;
    carpeta_ = carpeta;
    BorraEjecucionesHuerfanas(carpeta);
    return Resultado::Exito();
  }
  return Resultado::Error("No se puede tomar la carpeta de resultados " + carpeta + ".");
}

void CerrojoCarpeta::suelta() {
  if (carpeta_.empty()) return;
  // Removed while still locked, so that no one takes a name about to go.
  ::unlink((fs::path(carpeta_) / kArchivoCerrojo).c_str());
  ::close(fd_);
  fd_ = -1;
  carpeta_.clear();
}

std::string CreaCarpetaEjecucion(const std::string& carpeta, std::string* error) {
  static std::atomic<unsigned> contador{0};
  for (int intento = 0; intento < 100; ++intento) {
    const fs::path p = fs::path(carpeta) / (std::string(kPrefijoEjecucion) + std::to_string(::getpid()) + "-" +
                                            std::to_string(contador++));
    if (::mkdir(p.c_str(), 0755) == 0) return p.string();
    if (errno != EEXIST) {
      if (error) *error = "No se puede crear la carpeta temporal " + p.string() + ": " + CausaError(errno) + ".";
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
                                carpeta + ": " + CausaError(errno) + ".");
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
