#pragma once
// Output units and classified error messages of the numerical services.
//
// Destinations (process-wide): 1 standard input (unused), 2 standard output
// (the engine's progress lines), 3 error messages. The run driver points 2 and
// 3 at the run log before anything else.
//
// Severities: 1 NOTE, 2 ALERT, 3 WARNING, 4 FATAL, 5 TERMINAL, 6 WARNING
// (immediate), 7 FATAL (immediate). Each has a print action and a stop action;
// the defaults print 3..7 and stop 4, 5, 7; the stop of 5 cannot be changed.
//
// A message goes to destination 3 after one empty line:
//   " *** FATAL    ERROR 2 from LFTSF.  The input matrix"
//   " ***          is singular because pivot block 1 is"
//   " ***          singular."
// (severity word padded to 8 characters, lines at most 51 characters, broken
// at blanks). Stopping the process flushes every stream and ends it with exit
// status 2 without running exit handlers, so the message that caused the stop
// is the last text of the run log.
#include <cstdio>
#include <string>
#include <vector>

namespace kriging {

// One recorded error of a service call.
struct PendingError {
  int severity;
  int code;
  std::string routine;
  std::string text;
  bool printed;
};

// A message as it was printed, for callers that collect them.
struct ServiceMessage {
  int severity;
  std::string text;  // the printed lines, joined by line breaks
};

// The services' state of one run (owned by its run context, run_context.h):
// destinations, action table, the calls entered and the errors pending.
struct ErrorServiceState {
  std::FILE* destinations[3] = {nullptr, nullptr, nullptr};
  bool printAction[8] = {false, false, false, true, true, true, true, true};
  bool stopAction[8] = {false, false, false, false, true, true, false, true};
  static constexpr int kMaxNames = 64;
  const char* serviceNames[kMaxNames] = {};
  int serviceDepth = 0;
  std::vector<PendingError> pendingErrors;
  // Every message printed, when `collect` is set.
  bool collect = false;
  std::vector<ServiceMessage> printed;
  // How a stop ends: the process (exit status 2), or a thrown
  // ServiceStopped carrying the stopping message.
  bool stopThrows = false;
};
ErrorServiceState& CurrentErrorState();  // that of the current run context

// A stop of a run whose services throw instead of ending the process.
struct ServiceStopped {
  enum Kind { kNumerical, kNoMemory, kWrite } kind = kNumerical;
  std::string message;
};

// k < 0: set destination |k| to `destination`; k > 0: return destination k in it.
// |k| outside 1..3 prints the UMACH terminal message and stops the process.
void OutputUnit(int k, std::FILE*& destination);

// Convenience: the current destination of selector k (1..3).
std::FILE* OutputDestination(int k);

// severity 0 = every class, 1..5 one class (3 and 4 also set 6 and 7).
// action: -1 leave, 0 off, 1 on, 2 default. Reports as "ERSET".
void SetErrorActions(int severity, int printAction, int stopAction);

// Marks one service call: the outermost scope that ends handles the pending
// error (prints it if not yet printed, then stops the process if its stop
// action is on). Construct one at the top of every service routine.
class ServiceCall {
 public:
  explicit ServiceCall(const char* routineName);
  ~ServiceCall() noexcept(false);  // a stop that throws leaves from here
  ServiceCall(const ServiceCall&) = delete;
  ServiceCall& operator=(const ServiceCall&) = delete;
};

// Records an error of the innermost active service call, `text` already filled
// in (use FormatMessage for the %(I1), %(R1) placeholders). Severities 5..7 are
// printed at once (if their print action is on); terminal errors stop at once.
void ReportError(int severity, int code, const std::string& text);

// Fills the placeholders %(I1), %(I2), %(R1), %(R2), %(L1) (case-insensitive).
struct MessageValues {
  long long i1 = 0, i2 = 0;
  double r1 = 0, r2 = 0;
  std::string l1;
};
std::string FormatMessage(const std::string& text, const MessageValues& values);

}  // namespace kriging
