#pragma once
// Files written whole or not at all. The content goes to a temporary file in
// the destination's folder (so the final rename stays on one file system);
// every write and the close are checked, the data is synced to disk, and only
// then is the temporary renamed over the real name. On any failure the
// temporary is removed, the real file keeps what it had, and the message names
// the file and the cause in Spanish ("no queda espacio en el disco", ...).
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>

#include "core/result.h"

namespace sorvan::core {

class AtomicWriter {
 public:
  explicit AtomicWriter(std::string path);
  ~AtomicWriter();  // an unconfirmed write is discarded
  AtomicWriter(const AtomicWriter&) = delete;
  AtomicWriter& operator=(const AtomicWriter&) = delete;

  // Creates the temporary file; false (with error()) when it cannot.
  bool open();
  // Appends bytes (buffered); false once anything has failed.
  bool write(std::string_view bytes);
  bool write(const void* bytes, size_t n) { return write(std::string_view(static_cast<const char*>(bytes), n)); }
  // Flushes, syncs, closes and renames. Fails (and cleans up) if anything
  // before failed.
  Result commit();
  // Drops the temporary file; the real file is untouched.
  void discard();

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  const std::string& path() const { return path_; }
  const std::string& temporaryPath() const { return temporary_; }

  // The system call that writes, replaceable by tests to inject faults.
  using WriteFunction = ssize_t (*)(int fd, const void* data, size_t n);
  static void SetWriteFunction(WriteFunction f);

 private:
  bool drain();  // writes the buffer out
  void fail(int errnoValue, const char* what);

  std::string path_, temporary_, buffer_, error_;
  int fd_ = -1;
};

// The Spanish cause for a system error number ("no queda espacio en el disco"
// for ENOSPC, "permiso denegado" for EACCES, ...).
std::string ErrorCause(int errnoValue);

// Writes `content` to `path` atomically.
Result WriteFileAtomically(const std::string& path, std::string_view content);
// Writes to `path` atomically whatever `producer` writes; the producer
// returns false to abandon (with its own message in `message`).
Result WriteFileAtomically(const std::string& path,
                                const std::function<bool(AtomicWriter&, std::string& message)>& producer);

}  // namespace sorvan::core
