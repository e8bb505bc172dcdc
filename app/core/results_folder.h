#pragma once
// The result folder of kriging runs: one run at a time in it (a lock file
// holding the pid of the process that runs), each run working in its own
// temporary folder inside it, and the run's files moved in only when the run
// has succeeded, so that a failed or cancelled run leaves the previous
// results as they were.
#include <string>

#include "core/result.h"
#include "core/kriging_session.h"

namespace sorvan::core {

inline constexpr const char* kLockFile = ".sorvan-en-uso";          // holds the pid of the run
inline constexpr const char* kRunFolderPrefix = ".sorvan-ejecucion-";    // + pid + "-" + counter
inline constexpr const char* kFailedLogFile = "KRIGING-FALLO.LOG";    // log of the last failed run
// Files a run leaves in the result folder.
inline constexpr const char* kRunFileNames[] = {"KRIGING.LOG",  "SKUPRE.SUP",  "SKUVAR.SUP", "SKUESTIM.SV",
                                                     "SKUESTIM.FMT", "SKUEAJUS.SV", "SKUEAJUS.FMT"};

// Holds the lock of one result folder while it lives.
class FolderLock {
 public:
  FolderLock() = default;
  ~FolderLock() { release(); }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // Takes the folder (which must exist): the lock file holds an exclusive
  // advisory lock (flock) while the run lasts, which the system drops when
  // the process ends however it ends, and the pid of the process. Refused
  // with a message naming the folder and the process when another holder
  // has it (another taking of this process included); the lock file of a
  // process that no longer holds it is taken over, and the temporary folders
  // of processes that no longer exist are removed.
  Result take(const std::string& folder);
  void release();
  bool taken() const { return !folder_.empty(); }

 private:
  std::string folder_;
  int fd_ = -1;
};

// A new, empty temporary folder for one run inside `folder`; "" with
// `error` set when it cannot be made.
std::string CreateRunFolder(const std::string& folder, std::string* error);

// Checks, before they are moved in, that the files a run left in `temporary`
// are whole: all seven are there, each surface file holds the nx * ny values
// of its header (and ends with a line break), and the log ends with the
// engine's closing line "Terminado.". A file cut short by a full disk fails
// with a message naming it and, when the disk has no room left, saying so.
Result CheckRunFiles(const std::string& temporary, int nx, int ny);

// Moves the run's files (kRunFileNames) from `temporary` into `folder`,
// replacing the previous ones; a name the run did not write is removed from
// `folder`, so files of two runs never mix. Then removes `temporary`.
Result MoveResults(const std::string& temporary, const std::string& folder);

// Removes a run's temporary folder and everything in it.
void RemoveRunFolder(const std::string& temporary);

// Default result folder of a data file: "<name>_resultados" beside the data
// when that folder can be written, else the same name under
// `userFolder` (the user's data folder).
std::string DefaultResultsFolder(const std::string& dataFile, const std::string& userFolder);

// Where the session's next run writes: the folder the user chose for this
// data file, else DefaultResultsFolder of the data file (the current
// folder's "resultados" when no file is loaded).
std::string SessionResultsFolder(const KrigingSession& session, const std::string& userFolder);

// True when `folder` exists (or can be created) and can be written.
bool IsWritableFolder(const std::string& folder);

}  // namespace sorvan::core
