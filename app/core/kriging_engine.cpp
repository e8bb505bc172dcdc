#include "core/kriging_engine.h"

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

#include "core/run_kriging.h"
#include "core/atomic_writer.h"

extern char** environ;

namespace sorvan::core {

namespace fs = std::filesystem;

namespace {

constexpr const char* kLogFile = "KRIGING.LOG";
constexpr char kTagHelperError[4] = {'S', 'K', 'U', 'E'};
// Room for the run's summary after the arguments in a reply (lag table,
// trend, warnings); anything beyond is a broken reply.
constexpr size_t kSummaryMax = size_t(4) << 20;

std::string ExecutableFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string();
}

bool IsExecutable(const fs::path& p) { return ::access(p.c_str(), X_OK) == 0 && fs::is_regular_file(p); }

// Bytes that are not valid UTF-8 (the engine may write its log in a Windows
// code page) are taken as Latin-1, so that the text shows correctly.
std::string AsUtf8(const std::string& s) {
  std::string r;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    bool valid = length > 0 && i + length <= s.size();
    for (size_t k = 1; valid && k < length; ++k) valid = (static_cast<unsigned char>(s[i + k]) >> 6) == 2;
    if (valid) {
      r.append(s, i, length);
      i += length;
    } else {
      r.push_back(static_cast<char>(0xC0 | (c >> 6)));
      r.push_back(static_cast<char>(0x80 | (c & 0x3F)));
      ++i;
    }
  }
  return r;
}

}  // namespace

std::string LastLogLines(const std::string& folder, int lines) {
  std::ifstream log(fs::path(folder) / kLogFile, std::ios::binary);
  if (!log) return {};
  // Only the tail matters; a runaway log must not be read whole.
  constexpr std::streamoff kTail = 64 * 1024;
  log.seekg(0, std::ios::end);
  const std::streamoff length = log.tellg();
  log.seekg(length > kTail ? length - kTail : 0);
  std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  std::vector<std::string> usable;
  size_t opening = 0;
  while (opening <= text.size()) {
    size_t atEnd = text.find('\n', opening);
    if (atEnd == std::string::npos) atEnd = text.size();
    std::string line = text.substr(opening, atEnd - opening);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    size_t first = line.find_first_not_of(' ');
    if (first != std::string::npos) usable.push_back(line.substr(first));
    opening = atEnd + 1;
  }
  std::string r;
  const size_t from = usable.size() > size_t(lines) ? usable.size() - size_t(lines) : 0;
  for (size_t i = from; i < usable.size(); ++i) {
    if (!r.empty()) r += '\n';
    r += usable[i];
  }
  return AsUtf8(r);
}

KrigingEngine::KrigingEngine(std::string helper) : helper_(std::move(helper)) {}

KrigingEngine::~KrigingEngine() {
  if (running_) cancel();
}

std::string KrigingEngine::helperPath() const {
  if (!helper_.empty()) return IsExecutable(helper_) ? helper_ : std::string();
  const fs::path dir = ExecutableFolder();
  if (dir.empty()) return {};
  for (const fs::path& p : {dir / kEngineHelperName, dir / ".." / "bin" / kEngineHelperName})
    if (IsExecutable(p)) return fs::weakly_canonical(p).string();
  return {};
}

Result KrigingEngine::start(const SkuArguments& arguments, const std::string& folder) {
  if (running_) return Result::Error("Ya hay un cálculo de kriging en marcha.");
  std::string reason;
  if (!arguments.consistent(&reason)) return Result::Error("Argumentos del kriging incoherentes: " + reason);
  const std::string helper = helperPath();
  if (helper.empty())
    return Result::Error(std::string("No se encuentra el programa auxiliar ") + kEngineHelperName +
                            (helper_.empty() ? " junto al ejecutable." : " en " + helper_ + "."));

  std::error_code ec;
  const fs::path dir = folder.empty() ? fs::current_path(ec) : fs::path(folder);
  fs::create_directories(dir, ec);
  const int created = ec ? ec.value() : 0;
  if (!fs::is_directory(dir, ec)) return Result::Error("No se puede crear la carpeta de resultados " + dir.string() + (created ? ": " + ErrorCause(created) : std::string()) + ".");
  if (::access(dir.c_str(), W_OK | X_OK) != 0)
    return Result::Error("No se puede escribir en la carpeta de resultados " + dir.string() + ": " +
                            ErrorCause(errno) + ".");
  folder_ = fs::absolute(dir, ec).string();
  // One run at a time per folder; the engine works apart, in its own folder,
  // so that the previous results stay until this run has succeeded.
  Result takenOne = lock_.take(folder_);
  if (!takenOne) return takenOne;
  std::string error;
  temporary_ = CreateRunFolder(folder_, &error);
  if (temporary_.empty()) {
    lock_.release();
    return Result::Error(error);
  }
  auto abandon = [&](const std::string& message) {
    RemoveRunFolder(temporary_);
    temporary_.clear();
    lock_.release();
    return Result::Error(message);
  };

  int par[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, par) != 0)
    return abandon(std::string("No se puede crear el canal con el motor: ") + std::strerror(errno));
  // The helper's end becomes its descriptor 3; keep it off 3 here so that the
  // dup2 below really clears close-on-exec.
  int child = par[1];
  if (child <= 3) {
    child = ::fcntl(par[1], F_DUPFD_CLOEXEC, 10);
    ::close(par[1]);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, child, 3);
  std::string channel = "3";
  std::vector<char*> argv = {const_cast<char*>(helper.c_str()), const_cast<char*>("--carpeta"),
                             const_cast<char*>(temporary_.c_str()), const_cast<char*>("--canal"),
                             channel.data(), nullptr};
  pid_t pid = -1;
  const int err = ::posix_spawn(&pid, helper.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(child);
  if (err != 0) {
    ::close(par[0]);
    return abandon("No se puede iniciar " + helper + ": " + std::strerror(err));
  }

  pid_ = pid;
  socket_ = par[0];
  running_ = true;
  cancelled_ = false;
  received_.clear();
  result_ = EngineResult{};
  pending_ = EncodeArguments(arguments, false);
  sent_ = 0;
  // The reply is the same record with the same sizes.
  expected_ = static_cast<int>(std::min<size_t>(pending_.size(), size_t(INT32_MAX)));
  request_ = SkuArguments{};
  request_.n = arguments.n;
  // Non-blocking both ways: the request goes out as the helper takes it, in
  // poll(), so a large grid never stalls the caller's event loop.
  ::fcntl(socket_, F_SETFL, ::fcntl(socket_, F_GETFL) | O_NONBLOCK);
  sendRequest();
  return Result::Success();
}

void KrigingEngine::sendRequest() {
  while (sent_ < pending_.size()) {
    ssize_t k = ::send(socket_, pending_.data() + sent_, pending_.size() - sent_,
                       MSG_NOSIGNAL | MSG_DONTWAIT);
    if (k < 0 && errno == EINTR) continue;
    if (k < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (k <= 0) {
      // The helper is gone; its end is reported by poll().
      sent_ = pending_.size();
      break;
    }
    sent_ += size_t(k);
  }
  if (!pending_.empty()) {
    ::shutdown(socket_, SHUT_WR);  // the helper reads up to the end of the request
    pending_.clear();
    pending_.shrink_to_fit();
    sent_ = 0;
  }
}

bool KrigingEngine::poll() {
  if (!running_) return true;
  sendRequest();
  // Drain the reply as it comes, so a helper writing a large reply never
  // blocks on a full socket while we wait for it to end.
  char block[65536];
  for (;;) {
    ssize_t k = ::recv(socket_, block, sizeof block, MSG_DONTWAIT);
    if (k > 0) {
      // Anything past the expected size is a broken reply; keep it bounded.
      if (received_.size() < size_t(expected_) + kSummaryMax) received_.append(block, size_t(k));
      continue;
    }
    if (k < 0 && errno == EINTR) continue;
    break;
  }
  int state = 0;
  pid_t r = ::waitpid(pid_, &state, WNOHANG);
  if (r == 0) return false;
  if (r < 0 && errno == EINTR) return false;
  // The helper has ended: whatever it sent is in the socket now.
  for (;;) {
    ssize_t k = ::recv(socket_, block, sizeof block, MSG_DONTWAIT);
    if (k > 0 && received_.size() < size_t(expected_) + kSummaryMax) received_.append(block, size_t(k));
    if (k <= 0 && !(k < 0 && errno == EINTR)) break;
  }
  int code = 0;
  if (r > 0 && WIFEXITED(state)) code = WEXITSTATUS(state);
  else if (r > 0 && WIFSIGNALED(state)) code = 128 + WTERMSIG(state);
  else code = -1;

  SkuArguments output;
  EngineSummary summary;
  std::string reason;
  if (code == 0 && DecodeReply(received_, output, summary, &reason) && output.n == request_.n) {
    result_.output = std::move(output);
    result_.summary = std::move(summary);
    finish(true, 0, {});
    return true;
  }
  std::string cause;
  if (received_.size() >= 4 && std::memcmp(received_.data(), kTagHelperError, 4) == 0)
    cause = received_.substr(4, 2000);
  else
    cause = LastLogLines(temporary_);
  if (cause.empty())
    cause = code >= 128 ? "El motor terminó por la señal " + std::to_string(code - 128) + "."
                          : "El motor terminó sin devolver resultados.";
  finish(false, code, cause);
  return true;
}

void KrigingEngine::cancel() {
  if (!running_) return;
  ::kill(pid_, SIGKILL);
  int state = 0;
  while (::waitpid(pid_, &state, 0) < 0 && errno == EINTR) {
  }
  cancelled_ = true;
  finish(false, 128 + SIGKILL, "Cálculo cancelado por el usuario.");
}

void KrigingEngine::finish(bool success, int code, std::string cause) {
  if (socket_ >= 0) ::close(socket_);
  socket_ = -1;
  pid_ = -1;
  running_ = false;
  received_.clear();
  received_.shrink_to_fit();
  pending_.clear();
  pending_.shrink_to_fit();
  result_.ok = success;
  result_.cancelled = cancelled_;
  result_.code = code;
  result_.message.clear();
  result_.details.clear();
  if (success) {
    // The model of this very run, as the engine reported it in its reply
    // (from the run's own log when the reply carries no summary).
    result_.model = result_.summary.model != 0 ? ModelFromSummary(result_.summary)
                                                       : ReadFittedModel(temporary_, result_.output);
    // A file cut short (a full disk) makes the run a failure: nothing of it
    // replaces the previous results.
    Result moved = CheckRunFiles(temporary_, result_.output.nx, result_.output.ny);
    if (moved) moved = MoveResults(temporary_, folder_);
    if (!moved) {
      result_.ok = false;
      result_.message = moved.message;
    }
  } else if (!cancelled_) {
    result_.details = "El codigo de error es :" + std::to_string(code) + "\n" + cause;
    result_.message = ExplainFailure(result_.details, code);
    // The failed run's log, with a line saying plainly that it did not
    // finish, is kept beside the previous results without replacing them.
    const fs::path log = fs::path(temporary_) / kLogFile;
    std::error_code ec;
    if (fs::exists(log, ec)) {
      std::ofstream(log, std::ios::app)
          << "\n*** El kriging no terminó (código " << code << "): no se han generado superficies.\n";
      fs::rename(log, fs::path(folder_) / kFailedLogFile, ec);
    }
  } else {
    result_.message = cause;
  }
  RemoveRunFolder(temporary_);
  temporary_.clear();
  lock_.release();
}

std::string EngineResult::fullText() const {
  if (details.empty()) return message;
  return message + "\nDetalles:\n" + details;
}

std::string ExplainFailure(const std::string& details, int code) {
  std::string r = kEngineCallError;
  auto contains = [&](const char* t) { return details.find(t) != std::string::npos; };
  if (contains("singular"))
    r += " El sistema de kriging es singular: suele deberse a datos con las mismas coordenadas o a un modelo de "
         "semivariograma que no es válido para estos datos. Quite los datos repetidos o cambie el modelo.";
  else if (contains("NOBS"))
    r += " No hay saltos con pares suficientes para ajustar el modelo: ensanche los saltos o reduzca el nº mínimo "
         "de pares para el ajuste.";
  else if (code >= 128)
    r += " El motor de kriging terminó de forma anormal (señal " + std::to_string(code - 128) + ").";
  else if (contains("memoria") || contains("memory") || contains("bad_alloc"))
    r += " No hay memoria suficiente: use un vecindario de búsqueda (Kriging Local), menos datos o una rejilla menor.";
  else if (contains("espacio") || contains("No space"))
    r += " No queda espacio en el disco de la carpeta de resultados.";
  return r;
}

EngineResult KrigingEngine::run(const SkuArguments& arguments, const std::string& folder,
                                 std::chrono::milliseconds limit) {
  Result opening = start(arguments, folder);
  if (!opening) {
    EngineResult r;
    r.message = opening.message;
    r.code = -1;
    return r;
  }
  const auto beginning = std::chrono::steady_clock::now();
  while (!poll()) {
    if (limit.count() > 0 && std::chrono::steady_clock::now() - beginning > limit) {
      cancel();
      result_.cancelled = false;
      result_.message = std::string(kEngineCallError) + " El motor no terminó en el tiempo previsto.";
      break;
    }
    // Wait for the helper to write or end, without spinning.
    pollfd p{socket_, short(pending_.empty() ? POLLIN : POLLIN | POLLOUT), 0};
    if (::poll(&p, 1, 50) > 0 && (p.revents & (POLLHUP | POLLERR)))
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return result_;
}

}  // namespace sorvan::core
