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

namespace kriging {

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
  ~ServiceCall();
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
