#include "run_files.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "numerics/error_service.h"
#include "run_context.h"

namespace kriging {

std::string WriteFailureCause(int error) {
  switch (error) {
    case ENOSPC: return "no queda espacio en el disco";
    case EDQUOT: return "se ha superado la cuota de disco";
    case EACCES:
    case EPERM: return "permiso denegado";
    case EROFS: return "el sistema de archivos es de solo lectura";
    case ENOENT: return "la carpeta no existe";
    case EIO: return "error de entrada/salida del disco";
    case EFBIG: return "el archivo es demasiado grande";
    default: return error != 0 ? std::strerror(error) : "error de escritura";
  }
}

std::string WriteFailureMessage(const std::string& path, int error) {
  return "No se puede escribir el archivo " + path + ": " + WriteFailureCause(error);
}

void WriteFailure(const std::string& path, int error) {
  const std::string message = WriteFailureMessage(path, error);
  if (CurrentErrorState().stopThrows) throw ServiceStopped{ServiceStopped::kWrite, message};
  std::FILE* log = OutputDestination(2);
  if (log == nullptr) log = stderr;
  std::fprintf(log, "\n %s\n", message.c_str());
  std::fflush(nullptr);
  std::_Exit(kWriteFailureExitCode);
}

std::FILE* CreateRunFile(const char* name) {
  const std::string path = RunFilePath(name);
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) WriteFailure(name, errno);
  return file;
}

void CloseRunFile(std::FILE* file, const char* name) {
  errno = 0;
  const bool failed = std::ferror(file) != 0;
  const int writeError = errno;
  errno = 0;
  const bool closeFailed = std::fclose(file) != 0;
  const int closeError = errno;
  if (failed || closeFailed) WriteFailure(name, closeFailed ? closeError : writeError);
}

bool RunWritesFiles() { return CurrentContext().writeFiles; }

RunLog OpenRunLog(std::FILE* given) {
  RunLog log;
  log.previousOutput = OutputDestination(2);
  log.previousErrors = OutputDestination(3);
  log.file = given;
  log.own = given == nullptr;
  if (log.own) log.file = std::fopen(RunFilePath("KRIGING.LOG").c_str(), "w");
  std::FILE* target = log.file != nullptr ? log.file : stderr;
  OutputUnit(-2, target);
  OutputUnit(-3, target);
  return log;
}

void CloseRunLog(const RunLog& log) {
  std::FILE* output = log.previousOutput;
  std::FILE* errors = log.previousErrors;
  OutputUnit(-2, output);
  OutputUnit(-3, errors);
  if (log.file != nullptr && log.own) std::fclose(log.file);
}

}  // namespace kriging
