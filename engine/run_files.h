#pragma once
// The files of a run: where they go, and what a failed write does. A run's
// files are written whole or the run fails: a file that cannot be created,
// written or closed ends the run with a Spanish message naming the file and
// the cause ("no queda espacio en el disco"). Under SKU the message becomes
// the last line of the run log and the process ends as on a fatal error (exit
// status 2); under Krige the run returns kWriteFailure.
#include <cstdio>
#include <string>

namespace kriging {

// Exit status of SKU's process after a failed write (that of a fatal error).
inline constexpr int kWriteFailureExitCode = 2;

// Spanish text of an errno value from a failed write.
std::string WriteFailureCause(int error);

// "No se puede escribir el archivo NAME: cause".
std::string WriteFailureMessage(const std::string& path, int error);

// Ends the run as described above.
[[noreturn]] void WriteFailure(const std::string& path, int error);

// Opens `name` in the run's folder for writing; a failure ends the run.
std::FILE* CreateRunFile(const char* name);

// Checks the stream's writes and closes it; a failure ends the run.
void CloseRunFile(std::FILE* file, const char* name);

// Whether this run writes its files at all.
bool RunWritesFiles();

// The run log: every progress line and every service message of one run.
struct RunLog {
  std::FILE* file = nullptr;  // the log, or null when it could not be opened
  bool own = false;           // opened here ("KRIGING.LOG"), closed by CloseRunLog
  std::FILE* previousOutput = nullptr;
  std::FILE* previousErrors = nullptr;
};
// Directs the service output and errors to `given`, or when it is null to
// "KRIGING.LOG" opened in the run's folder (stderr if that fails).
RunLog OpenRunLog(std::FILE* given);
// Restores the previous destinations and closes a log opened by OpenRunLog.
void CloseRunLog(const RunLog& log);

}  // namespace kriging
