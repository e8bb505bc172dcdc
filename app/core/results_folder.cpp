#include "core/results_folder.h"

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

#include "core/atomic_writer.h"

namespace sorvan::core {

namespace fs = std::filesystem;

namespace {

// A process holding a lock is alive when it can be signalled (or exists but
// belongs to someone else).
bool ProcessAlive(long pid) {
  if (pid <= 0) return false;
  return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

long ReadPid(const fs::path& p) {
  std::ifstream in(p);
  long pid = 0;
  if (!(in >> pid)) return 0;
  return pid;
}

// Temporary run folders of processes that no longer exist (killed runs).
void RemoveOrphanRuns(const fs::path& folder) {
  std::error_code ec;
  const std::string prefix = kRunFolderPrefix;
  for (fs::directory_iterator it(folder, ec), atEnd; !ec && it != atEnd; it.increment(ec)) {
    const std::string nombre = it->path().filename().string();
    if (nombre.rfind(prefix, 0) != 0) continue;
    const long pid = std::strtol(nombre.c_str() + prefix.size(), nullptr, 10);
    if (!ProcessAlive(pid)) {
      std::error_code ec2;
      fs::remove_all(it->path(), ec2);
    }
  }
}

// Whitespace-separated fields of a whole file, read in blocks; the first
// `firstCount` go to `firstOnes`, `last` gets the last byte. -1 when
// it cannot be read.
int64_t CountFields(const fs::path& p, std::vector<std::string>* firstOnes, size_t firstCount, char* last) {
  std::FILE* f = std::fopen(p.c_str(), "rb");
  if (!f) return -1;
  static const auto blank = [] {
    std::array<unsigned char, 256> t{};
    for (unsigned char c : {' ', '\n', '\r', '\t'}) t[c] = 1;
    return t;
  }();
  int64_t fields = 0;
  unsigned char previous = 1;  // a blank before the file
  std::string actual;
  std::vector<char> block(1 << 18);
  size_t k;
  *last = '\0';
  while ((k = std::fread(block.data(), 1, block.size(), f)) > 0) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(block.data());
    size_t i = 0;
    // The header fields, kept while they come.
    for (; i < k && firstOnes && firstOnes->size() < firstCount; ++i) {
      const unsigned char es = blank[b[i]];
      if (!es) actual.push_back(char(b[i]));
      else if (!previous) firstOnes->push_back(std::move(actual)), actual.clear();
      fields += previous & !es;
      previous = es;
    }
    // The values: only counted. A field starts at a non-blank after a blank.
    for (; i < k; ++i) {
      const unsigned char es = blank[b[i]];
      fields += previous & !es;
      previous = es;
    }
    *last = char(b[k - 1]);
  }
  const bool error = std::ferror(f) != 0;
  std::fclose(f);
  return error ? -1 : fields;
}

std::string CutCause(const fs::path& folder) {
  struct statvfs v {};
  if (::statvfs(folder.c_str(), &v) == 0 && double(v.f_bavail) * double(v.f_frsize) < 1024.0 * 1024.0)
    return ": " + ErrorCause(ENOSPC);
  return "";
}

}  // namespace

Result CheckRunFiles(const std::string& temporary, int nx, int ny) {
  const fs::path dir(temporary);
  std::error_code ec;
  for (const char* nombre : kRunFileNames)
    if (!fs::is_regular_file(dir / nombre, ec))
      return Result::Error("El cálculo no dejó el archivo " + std::string(nombre) + CutCause(dir) + ".");
  for (const char* nombre : {"SKUPRE.SUP", "SKUVAR.SUP"}) {
    std::vector<std::string> header;
    char last = 0;
    const int64_t fields = CountFields(dir / nombre, &header, 11, &last);
    // "#", lowest, highest (prediction only), "GRID", nx, ny, then hole, dx, dy, xMin, yMin.
    size_t g = 0;
    while (g < header.size() && header[g] != "GRID") ++g;
    const int64_t expectedCount = int64_t(g) + 8 + int64_t(nx) * ny;
    const bool grid = g + 2 < header.size() && header[g + 1] == std::to_string(nx) &&
                         header[g + 2] == std::to_string(ny);
    if (fields != expectedCount || !grid || last != '\n')
      return Result::Error("El archivo " + std::string(nombre) + " de este cálculo está incompleto (" +
                              std::to_string(std::max<int64_t>(fields - int64_t(g) - 8, 0)) + " de " +
                              std::to_string(int64_t(nx) * ny) + " valores)" + CutCause(dir) + ".");
  }
  // The log's last line is written after every other file.
  std::ifstream log(dir / "KRIGING.LOG", std::ios::binary);
  std::string line, final;
  while (std::getline(log, line)) {
    const size_t a = line.find_first_not_of(" \r\t");
    if (a != std::string::npos) final = line.substr(a, line.find_last_not_of(" \r\t") - a + 1);
  }
  if (final != "Terminado.")
    return Result::Error("El registro KRIGING.LOG de este cálculo está incompleto" + CutCause(dir) + ".");
  return Result::Success();
}

Result FolderLock::take(const std::string& folder) {
  release();
  const fs::path folderLock = fs::path(folder) / kLockFile;
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int fd = ::open(folderLock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
      return Result::Error("No se puede escribir en la carpeta de resultados " + folder + ": " +
                              ErrorCause(errno) + ".");
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int e = errno;
      ::close(fd);
      if (e != EWOULDBLOCK)
        return Result::Error("No se puede bloquear la carpeta de resultados " + folder + ": " + ErrorCause(e) +
                                ".");
      const long pid = ReadPid(folderLock);
      return Result::Error("La carpeta de resultados " + folder + " está en uso por otro cálculo de kriging" +
                              (pid > 0 ? " (proceso " + std::to_string(pid) + ")" : std::string()) +
                              ". Espere a que termine o elija otra carpeta de resultados.");
    }
    // The file may have been removed by its last holder between our open and
    // our lock: then the lock is on a name that no longer exists; again.
    struct stat opened {}, inFolder {};
    if (::fstat(fd, &opened) != 0 || ::stat(folderLock.c_str(), &inFolder) != 0 || opened.st_ino != inFolder.st_ino ||
        opened.st_dev != inFolder.st_dev) {
      ::close(fd);
      continue;
    }
    const std::string ownPid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, ownPid.data(), ownPid.size(), 0) != ssize_t(ownPid.size())) {
      const std::string cause = ErrorCause(errno ? errno : EIO);
      ::close(fd);
      return Result::Error("No se puede escribir en la carpeta de resultados " + folder + ": " + cause + ".");
    }
    fd_ = fd;
    folder_ = folder;
    RemoveOrphanRuns(folder);
    return Result::Success();
  }
  return Result::Error("No se puede tomar la carpeta de resultados " + folder + ".");
}

void FolderLock::release() {
  if (folder_.empty()) return;
  // Removed while still locked, so that no one takes a name about to go.
  ::unlink((fs::path(folder_) / kLockFile).c_str());
  ::close(fd_);
  fd_ = -1;
  folder_.clear();
}

std::string CreateRunFolder(const std::string& folder, std::string* error) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path p = fs::path(folder) / (std::string(kRunFolderPrefix) + std::to_string(::getpid()) + "-" +
                                            std::to_string(counter++));
    if (::mkdir(p.c_str(), 0755) == 0) return p.string();
    if (errno != EEXIST) {
      if (error) *error = "No se puede crear la carpeta temporal " + p.string() + ": " + ErrorCause(errno) + ".";
      return {};
    }
  }
  if (error) *error = "No se puede crear una carpeta temporal en " + folder + ".";
  return {};
}

Result MoveResults(const std::string& temporary, const std::string& folder) {
  std::error_code ec;
  for (const char* nombre : kRunFileNames) {
    const fs::path origin = fs::path(temporary) / nombre;
    const fs::path destination = fs::path(folder) / nombre;
    if (fs::exists(origin, ec)) {
      if (::rename(origin.c_str(), destination.c_str()) != 0)
        return Result::Error("No se puede llevar " + std::string(nombre) + " a la carpeta de resultados " +
                                folder + ": " + ErrorCause(errno) + ".");
    } else {
      fs::remove(destination, ec);
    }
  }
  RemoveRunFolder(temporary);
  return Result::Success();
}

void RemoveRunFolder(const std::string& temporary) {
  if (temporary.empty()) return;
  std::error_code ec;
  fs::remove_all(temporary, ec);
}

bool IsWritableFolder(const std::string& folder) {
  std::error_code ec;
  fs::path p(folder);
  if (fs::is_directory(p, ec)) return ::access(p.c_str(), W_OK | X_OK) == 0;
  if (fs::exists(p, ec)) return false;
  // A folder still to be made: its nearest existing parent must be writable.
  for (fs::path parent = p.parent_path(); !parent.empty(); parent = parent.parent_path()) {
    if (fs::is_directory(parent, ec)) return ::access(parent.c_str(), W_OK | X_OK) == 0;
    if (parent == parent.root_path()) break;
  }
  return false;
}

std::string DefaultResultsFolder(const std::string& dataFile, const std::string& userFolder) {
  std::error_code ec;
  const fs::path data = fs::absolute(dataFile, ec);
  const std::string nombre = data.stem().string() + "_resultados";
  const fs::path together = data.parent_path() / nombre;
  if (IsWritableFolder(together.string())) return together.string();
  return (fs::path(userFolder) / nombre).string();
}

}  // namespace sorvan::core

namespace sorvan::core {

std::string SessionResultsFolder(const KrigingSession& s, const std::string& userFolder) {
  if (!s.chosenFolder.empty() && s.chosenFolderFor == s.dataFile) return s.chosenFolder;
  if (s.dataFile.empty()) {
    std::error_code ec;
    return (fs::current_path(ec) / "resultados").string();
  }
  return DefaultResultsFolder(s.dataFile, userFolder);
}

}  // namespace sorvan::core
