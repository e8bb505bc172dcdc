#include "core/atomic_writer.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace sorvan::core {

namespace {
constexpr size_t kBuffer = size_t(1) << 16;
std::atomic<AtomicWriter::WriteFunction> g_write{&::write};
std::atomic<unsigned> g_counter{0};
}  // namespace

void AtomicWriter::SetWriteFunction(WriteFunction f) { g_write = f ? f : &::write; }

std::string ErrorCause(int e) {
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

AtomicWriter::AtomicWriter(std::string path) : path_(std::move(path)) {}

AtomicWriter::~AtomicWriter() { discard(); }

void AtomicWriter::fail(int e, const char* what) {
  if (error_.empty()) error_ = "No se pudo " + std::string(what) + " el archivo «" + path_ + "»: " + ErrorCause(e) + ".";
}

bool AtomicWriter::open() {
  namespace fs = std::filesystem;
  const fs::path destination(path_);
  std::error_code ec;
  if (fs::is_directory(destination, ec)) {
    fail(EISDIR, "escribir");
    return false;
  }
  const fs::path folder = destination.has_parent_path() ? destination.parent_path() : fs::path(".");
  // A hidden name beside the real one; O_EXCL never reuses someone else's.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string nombre = "." + destination.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-" +
                               std::to_string(g_counter++);
    temporary_ = (folder / nombre).string();
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) return true;
    if (errno != EEXIST) break;
  }
  const int e = errno;
  temporary_.clear();
  fail(e, "crear");
  return false;
}

bool AtomicWriter::drain() {
  size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t n = g_write.load()(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      fail(n < 0 ? errno : ENOSPC, "escribir");
      return false;
    }
    done += size_t(n);
  }
  buffer_.clear();
  return true;
}

bool AtomicWriter::write(std::string_view bytes) {
  if (!ok()) return false;
  if (fd_ < 0) {
    fail(EBADF, "escribir");
    return false;
  }
  buffer_.append(bytes);
  return buffer_.size() < kBuffer || drain();
}

Result AtomicWriter::commit() {
  if (ok() && fd_ < 0) fail(EBADF, "escribir");
  if (ok() && drain()) {
    if (::fsync(fd_) != 0) fail(errno, "escribir");
  }
  if (fd_ >= 0) {
    // close can report a delayed write error (e.g. on network folders).
    if (::close(fd_) != 0) fail(errno, "escribir");
    fd_ = -1;
  }
  if (ok() && ::rename(temporary_.c_str(), path_.c_str()) != 0) fail(errno, "guardar");
  if (!ok()) {
    discard();
    return Result::Error(error_);
  }
  temporary_.clear();
  return Result::Success();
}

void AtomicWriter::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
  buffer_.clear();
}

Result WriteFileAtomically(const std::string& path, std::string_view content) {
  return WriteFileAtomically(path, [&](AtomicWriter& w, std::string&) { return w.write(content); });
}

Result WriteFileAtomically(const std::string& path,
                                const std::function<bool(AtomicWriter&, std::string& message)>& producer) {
  AtomicWriter w(path);
  if (!w.open()) return Result::Error(w.error());
  std::string message;
  if (!producer(w, message)) {
    w.discard();
    return Result::Error(!message.empty() ? message : w.error());
  }
  return w.commit();
}

}  // namespace sorvan::core
