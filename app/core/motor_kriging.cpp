#include "core/motor_kriging.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "core/ejecuta_kriging.h"
#include "core/escritura_atomica.h"

extern char** environ;

namespace sorvan {

namespace fs = std::filesystem;

namespace {

constexpr const char* kArchivoLog = "KRIGING.LOG";
constexpr char kTagErrorAyudante[4] = {'S', 'K', 'U', 'E'};
// Room for the run's summary after the arguments in a reply (lag table,
// trend, warnings); anything beyond is a broken reply.
constexpr size_t kResumenMaximo = size_t(4) << 20;

std::string CarpetaEjecutable() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string();
}

bool EsEjecutable(const fs::path& p) { return ::access(p.c_str(), X_OK) == 0 && fs::is_regular_file(p); }

// Bytes that are not valid UTF-8 (the engine may write its log in a Windows
// code page) are taken as Latin-1, so that the text shows correctly.
std::string ComoUtf8(const std::string& s) {
  std::string r;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t largo = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    bool valido = largo > 0 && i + largo <= s.size();
    for (size_t k = 1; valido && k < largo; ++k) valido = (static_cast<unsigned char>(s[i + k]) >> 6) == 2;
    if (valido) {
      r.append(s, i, largo);
      i += largo;
    } else {
      r.push_back(static_cast<char>(0xC0 | (c >> 6)));
      r.push_back(static_cast<char>(0x80 | (c & 0x3F)));
      ++i;
    }
  }
  return r;
}

}  // namespace

std::string UltimasLineasLog(const std::string& carpeta, int lineas) {
  std::ifstream log(fs::path(carpeta) / kArchivoLog, std::ios::binary);
  if (!log) return {};
  // Only the tail matters; a runaway log must not be read whole.
  constexpr std::streamoff kCola = 64 * 1024;
  log.seekg(0, std::ios::end);
  const std::streamoff largo = log.tellg();
  log.seekg(largo > kCola ? largo - kCola : 0);
  std::string texto((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  std::vector<std::string> utiles;
  size_t inicio = 0;
  while (inicio <= texto.size()) {
    size_t fin = texto.find('\n', inicio);
    if (fin == std::string::npos) fin = texto.size();
    std::string linea = texto.substr(inicio, fin - inicio);
    while (!linea.empty() && (linea.back() == '\r' || linea.back() == ' ')) linea.pop_back();
    size_t primero = linea.find_first_not_of(' ');
    if (primero != std::string::npos) utiles.push_back(linea.substr(primero));
    inicio = fin + 1;
  }
  std::string r;
  const size_t desde = utiles.size() > size_t(lineas) ? utiles.size() - size_t(lineas) : 0;
  for (size_t i = desde; i < utiles.size(); ++i) {
    if (!r.empty()) r += '\n';
    r += utiles[i];
  }
  return ComoUtf8(r);
}

MotorKriging::MotorKriging(std::string ayudante) : ayudante_(std::move(ayudante)) {}

MotorKriging::~MotorKriging() {
  if (enMarcha_) cancel();
}

std::string MotorKriging::rutaAyudante() const {
  if (!ayudante_.empty()) return EsEjecutable(ayudante_) ? ayudante_ : std::string();
  const fs::path dir = CarpetaEjecutable();
  if (dir.empty()) return {};
  for (const fs::path& p : {dir / kNombreAyudanteMotor, dir / ".." / "bin" / kNombreAyudanteMotor})
    if (EsEjecutable(p)) return fs::weakly_canonical(p).string();
  return {};
}

Resultado MotorKriging::start(const ArgumentosSKU& argumentos, const std::string& carpeta) {
  if (enMarcha_) return Resultado::Error("Ya hay un cálculo de kriging en marcha.");
  std::string motivo;
  if (!argumentos.coherentes(&motivo)) return Resultado::Error("Argumentos del kriging incoherentes: " + motivo);
  const std::string ayudante = rutaAyudante();
  if (ayudante.empty())
    return Resultado::Error(std::string("No se encuentra el programa auxiliar ") + kNombreAyudanteMotor +
                            (ayudante_.empty() ? " junto al ejecutable." : " en " + ayudante_ + "."));

  std::error_code ec;
  const fs::path dir = carpeta.empty() ? fs::current_path(ec) : fs::path(carpeta);
  fs::create_directories(dir, ec);
  const int creada = ec ? ec.value() : 0;
  if (!fs::is_directory(dir, ec)) return Resultado::Error("No se puede crear la carpeta de resultados " + dir.string() + (creada ? ": " + CausaError(creada) : std::string()) + ".");
  if (::access(dir.c_str(), W_OK | X_OK) != 0)
    return Resultado::Error("No se puede escribir en la carpeta de resultados " + dir.string() + ": " +
                            CausaError(errno) + ".");
  carpeta_ = fs::absolute(dir, ec).string();
  // One run at a time per folder; the engine works apart, in its own folder,
  // so that the previous results stay until this run has succeeded.
  Resultado tomada = cerrojo_.toma(carpeta_);
  if (!tomada) return tomada;
  std::string error;
  temporal_ = CreaCarpetaEjecucion(carpeta_, &error);
  if (temporal_.empty()) {
    cerrojo_.suelta();
    return Resultado::Error(error);
  }
  auto abandona = [&](const std::string& mensaje) {
    BorraCarpetaEjecucion(temporal_);
    temporal_.clear();
    cerrojo_.suelta();
    return Resultado::Error(mensaje);
  };

  int par[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, par) != 0)
    return abandona(std::string("No se puede crear el canal con el motor: ") + std::strerror(errno));
  // The helper's end becomes its descriptor 3; keep it off 3 here so that the
  // dup2 below really clears close-on-exec.
  int hijo = par[1];
  if (hijo <= 3) {
    hijo = ::fcntl(par[1], F_DUPFD_CLOEXEC, 10);
    ::close(par[1]);
  }
  posix_spawn_file_actions_t acciones;
  posix_spawn_file_actions_init(&acciones);
  posix_spawn_file_actions_addopen(&acciones, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&acciones, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&acciones, hijo, 3);
  std::string canal = "3";
  std::vector<char*> argv = {const_cast<char*>(ayudante.c_str()), const_cast<char*>("--carpeta"),
                             const_cast<char*>(temporal_.c_str()), const_cast<char*>("--canal"),
                             canal.data(), nullptr};
  pid_t pid = -1;
  const int err = ::posix_spawn(&pid, ayudante.c_str(), &acciones, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&acciones);
  ::close(hijo);
  if (err != 0) {
    ::close(par[0]);
    return abandona("No se puede iniciar " + ayudante + ": " + std::strerror(err));
  }

  pid_ = pid;
  socket_ = par[0];
  enMarcha_ = true;
  cancelado_ = false;
  recibido_.clear();
  resultado_ = ResultadoMotor{};
  pendiente_ = CodificaArgumentos(argumentos, false);
  enviados_ = 0;
  // The reply is the same record with the same sizes.
  esperados_ = static_cast<int>(std::min<size_t>(pendiente_.size(), size_t(INT32_MAX)));
  peticion_ = ArgumentosSKU{};
  peticion_.n = argumentos.n;
  // Non-blocking both ways: the request goes out as the helper takes it, in
  // poll(), so a large grid never stalls the caller's event loop.
  ::fcntl(socket_, F_SETFL, ::fcntl(socket_, F_GETFL) | O_NONBLOCK);
  envia();
  return Resultado::Exito();
}

void MotorKriging::envia() {
  while (enviados_ < pendiente_.size()) {
    ssize_t k = ::send(socket_, pendiente_.data() + enviados_, pendiente_.size() - enviados_,
                       MSG_NOSIGNAL | MSG_DONTWAIT);
    if (k < 0 && errno == EINTR) continue;
    if (k < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (k <= 0) {
      // The helper is gone; its end is reported by poll().
      enviados_ = pendiente_.size();
      break;
    }
    enviados_ += size_t(k);
  }
  if (!pendiente_.empty()) {
    ::shutdown(socket_, SHUT_WR);  // the helper reads up to the end of the request
    pendiente_.clear();
    pendiente_.shrink_to_fit();
    enviados_ = 0;
  }
}

bool MotorKriging::poll() {
  if (!enMarcha_) return true;
  envia();
  // Drain the reply as it comes, so a helper writing a large reply never
  // blocks on a full socket while we wait for it to end.
  char bloque[65536];
  for (;;) {
    ssize_t k = ::recv(socket_, bloque, sizeof bloque, MSG_DONTWAIT);
    if (k > 0) {
      // Anything past the expected size is a broken reply; keep it bounded.
      if (recibido_.size() < size_t(esperados_) + kResumenMaximo) recibido_.append(bloque, size_t(k));
      continue;
    }
    if (k < 0 && errno == EINTR) continue;
    break;
  }
  int estado = 0;
  pid_t r = ::waitpid(pid_, &estado, WNOHANG);
  if (r == 0) return false;
  if (r < 0 && errno == EINTR) return false;
  // The helper has ended: whatever it sent is in the socket now.
  for (;;) {
    ssize_t k = ::recv(socket_, bloque, sizeof bloque, MSG_DONTWAIT);
    if (k > 0 && recibido_.size() < size_t(esperados_) + kResumenMaximo) recibido_.append(bloque, size_t(k));
    if (k <= 0 && !(k < 0 && errno == EINTR)) break;
  }
  int codigo = 0;
  if (r > 0 && WIFEXITED(estado)) codigo = WEXITSTATUS(estado);
  else if (r > 0 && WIFSIGNALED(estado)) codigo = 128 + WTERMSIG(estado);
  else codigo = -1;

  ArgumentosSKU salida;
  ResumenMotor resumen;
  std::string motivo;
  if (codigo == 0 && DecodificaRespuesta(recibido_, salida, resumen, &motivo) && salida.n == peticion_.n) {
    resultado_.salida = std::move(salida);
    resultado_.resumen = std::move(resumen);
    termina(true, 0, {});
    return true;
  }
  std::string causa;
  if (recibido_.size() >= 4 && std::memcmp(recibido_.data(), kTagErrorAyudante, 4) == 0)
    causa = recibido_.substr(4, 2000);
  else
    causa = UltimasLineasLog(temporal_);
  if (causa.empty())
    causa = codigo >= 128 ? "El motor terminó por la señal " + std::to_string(codigo - 128) + "."
                          : "El motor terminó sin devolver resultados.";
  termina(false, codigo, causa);
  return true;
}

void MotorKriging::cancel() {
  if (!enMarcha_) return;
  ::kill(pid_, SIGKILL);
  int estado = 0;
  while (::waitpid(pid_, &estado, 0) < 0 && errno == EINTR) {
  }
  cancelado_ = true;
  termina(false, 128 + SIGKILL, "Cálculo cancelado por el usuario.");
}

void MotorKriging::termina(bool exito, int codigo, std::string causa) {
  if (socket_ >= 0) ::close(socket_);
  socket_ = -1;
  pid_ = -1;
  enMarcha_ = false;
  recibido_.clear();
  recibido_.shrink_to_fit();
  pendiente_.clear();
  pendiente_.shrink_to_fit();
  resultado_.ok = exito;
  resultado_.cancelado = cancelado_;
  resultado_.codigo = codigo;
  resultado_.mensaje.clear();
  resultado_.detalles.clear();
  if (exito) {
    // The model of this very run, as the engine reported it in its reply
    // (from the run's own log when the reply carries no summary).
    resultado_.modelo = resultado_.resumen.modelo != 0 ? ModeloDelResumen(resultado_.resumen)
                                                       : LeeModeloAjustado(temporal_, resultado_.salida);
    // A file cut short (a full disk) makes the run a failure: nothing of it
    // replaces the previous results.
    Resultado movido = VerificaArchivosEjecucion(temporal_, resultado_.salida.nx, resultado_.salida.ny);
    if (movido) movido = TrasladaResultados(temporal_, carpeta_);
    if (!movido) {
      resultado_.ok = false;
      resultado_.mensaje = movido.mensaje;
    }
  } else if (!cancelado_) {
    resultado_.detalles = "El codigo de error es :" + std::to_string(codigo) + "\n" + causa;
    resultado_.mensaje = ExplicaFallo(resultado_.detalles, codigo);
    // The failed run's log, with a line saying plainly that it did not
    // finish, is kept beside the previous results without replacing them.
    const fs::path log = fs::path(temporal_) / kArchivoLog;
    std::error_code ec;
    if (fs::exists(log, ec)) {
      std::ofstream(log, std::ios::app)
          << "\n*** El kriging no terminó (código " << codigo << "): no se han generado superficies.\n";
      fs::rename(log, fs::path(carpeta_) / kArchivoLogFallido, ec);
    }
  } else {
    resultado_.mensaje = causa;
  }
  BorraCarpetaEjecucion(temporal_);
  temporal_.clear();
  cerrojo_.suelta();
}

std::string ResultadoMotor::textoCompleto() const {
  if (detalles.empty()) return mensaje;
  return mensaje + "\nDetalles:\n" + detalles;
}

std::string ExplicaFallo(const std::string& detalles, int codigo) {
  std::string r = kErrorLlamadaMotor;
  auto contiene = [&](const char* t) { return detalles.find(t) != std::string::npos; };
  if (contiene("singular"))
    r += " El sistema de kriging es singular: suele deberse a datos con las mismas coordenadas o a un modelo de "
         "semivariograma que no es válido para estos datos. Quite los datos repetidos o cambie el modelo.";
  else if (contiene("NOBS"))
    r += " No hay saltos con pares suficientes para ajustar el modelo: ensanche los saltos o reduzca el nº mínimo "
         "de pares para el ajuste.";
  else if (codigo >= 128)
    r += " El motor de kriging terminó de forma anormal (señal " + std::to_string(codigo - 128) + ").";
  else if (contiene("memoria") || contiene("memory") || contiene("bad_alloc"))
    r += " No hay memoria suficiente: use un vecindario de búsqueda (Kriging Local), menos datos o una rejilla menor.";
  else if (contiene("espacio") || contiene("No space"))
    r += " No queda espacio en el disco de la carpeta de resultados.";
  return r;
}

ResultadoMotor MotorKriging::run(const ArgumentosSKU& argumentos, const std::string& carpeta,
                                 std::chrono::milliseconds limite) {
  Resultado inicio = start(argumentos, carpeta);
  if (!inicio) {
    ResultadoMotor r;
    r.mensaje = inicio.mensaje;
    r.codigo = -1;
    return r;
  }
  const auto comienzo = std::chrono::steady_clock::now();
  while (!poll()) {
    if (limite.count() > 0 && std::chrono::steady_clock::now() - comienzo > limite) {
      cancel();
      resultado_.cancelado = false;
      resultado_.mensaje = std::string(kErrorLlamadaMotor) + " El motor no terminó en el tiempo previsto.";
      break;
    }
    // Wait for the helper to write or end, without spinning.
    pollfd p{socket_, short(pendiente_.empty() ? POLLIN : POLLIN | POLLOUT), 0};
    if (::poll(&p, 1, 50) > 0 && (p.revents & (POLLHUP | POLLERR)))
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return resultado_;
}

}  // namespace sorvan
