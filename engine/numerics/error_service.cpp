#include "numerics/error_service.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <exception>
#include <vector>

namespace kriging {
namespace {

// Output units: null means "not set yet", read as stdin for 1 and stderr for
// 2 and 3, so that a service used outside a run still reports somewhere.
// Action table, indexed by severity 1..7 (entry 0 unused).
constexpr bool kDefaultPrint[8] = {false, false, false, true, true, true, true, true};
constexpr bool kDefaultStop[8] = {false, false, false, false, true, true, false, true};

const char* const kSeverityWord[8] = {"",      "NOTE",     "ALERT",   "WARNING",
                                      "FATAL", "TERMINAL", "WARNING", "FATAL"};

constexpr int kMaxNames = ErrorServiceState::kMaxNames;

// Lines of a message are at most this wide; continuation lines start with
// " *** " and nine blanks, under the text of the first line.
constexpr std::size_t kLineWidth = 51;
constexpr int kProcessStopStatus = 2;

std::FILE* Destination(int k) {
  std::FILE* d = CurrentErrorState().destinations[k - 1];
  if (d != nullptr) return d;
  return k == 1 ? stdin : stderr;
}

void PrintMessage(int severity, int code, const std::string& routine, const std::string& text) {
  std::FILE* out = Destination(3);
  char word[16];
  std::snprintf(word, sizeof word, "%-8s", kSeverityWord[severity]);
  std::string line = " *** " + std::string(word) + " ERROR " + std::to_string(code) + " from " +
                     routine + ".";
  const std::string indent = " ***          ";
  std::fputc('\n', out);
  std::string printedText;
  // Greedy word wrap. The blanks between words (two after a period) are kept
  // inside a line and dropped at a break.
  bool fresh = false;  // a continuation line that holds no word yet
  bool first = true;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t start = text.find_first_not_of(' ', pos);
    if (start == std::string::npos) break;
    std::size_t end = std::min(text.find(' ', start), text.size());
    const std::string gap = first ? std::string("  ") : text.substr(pos, start - pos);
    const std::string word2 = text.substr(start, end - start);
    first = false;
    if (!fresh && line.size() + gap.size() + word2.size() > kLineWidth) {
      std::fprintf(out, "%s\n", line.c_str());
      printedText += line + "\n";
      line = indent;
      fresh = true;
    }
    line += fresh ? word2 : gap + word2;
    fresh = false;
    pos = end;
  }
  std::fprintf(out, "%s\n", line.c_str());
  std::fflush(out);
  ErrorServiceState& state = CurrentErrorState();
  if (state.collect) {
    printedText += line;
    state.printed.push_back({severity, printedText});
  }
}

[[noreturn]] void StopProcess(const std::string& message) {
  ErrorServiceState& state = CurrentErrorState();
  if (state.stopThrows) {
    // The run ends, not the process: leave the services as a new run finds them.
    state.serviceDepth = 0;
    state.pendingErrors.clear();
    throw ServiceStopped{ServiceStopped::kNumerical, message};
  }
  // The message just printed stays the last text of the run log: flush every
  // stream and end without running exit handlers that could write more.
  std::fflush(nullptr);
  std::_Exit(kProcessStopStatus);
}

// Prints what is still unprinted, then stops if any error asks for it. The
// stopping error is printed last so that it ends the run log.
void HandlePendingErrors() {
  ErrorServiceState& state = CurrentErrorState();
  const bool* printAction = state.printAction;
  const bool* stopAction = state.stopAction;
  std::vector<PendingError> errors;
  errors.swap(state.pendingErrors);
  const PendingError* stopping = nullptr;
  for (const PendingError& e : errors) {
    if (stopAction[e.severity]) {
      if (stopping == nullptr) stopping = &e;
      continue;
    }
    if (!e.printed && printAction[e.severity]) PrintMessage(e.severity, e.code, e.routine, e.text);
  }
  if (stopping != nullptr) {
    if (!stopping->printed && printAction[stopping->severity])
      PrintMessage(stopping->severity, stopping->code, stopping->routine, stopping->text);
    StopProcess(stopping->text);
  }
}

bool ValidAction(int action) { return action >= -1 && action <= 2; }

void ApplyAction(bool* table, const bool defaults[8], int severity, int action) {
  if (action == 0) table[severity] = false;
  if (action == 1) table[severity] = true;
  if (action == 2) table[severity] = defaults[severity];
}

}  // namespace

void OutputUnit(int k, std::FILE*& destination) {
  const long long unit = k < 0 ? -static_cast<long long>(k) : k;
  if (unit < 1 || unit > 3) {
    ServiceCall call("UMACH");
    MessageValues v;
    v.i1 = unit;
    ReportError(5, 5,
                FormatMessage("The absolute value of the index variable must be 1, 2, or 3.  "
                              "IABS(N) = %(I1).",
                              v));
    return;
  }
  if (k < 0)
    CurrentErrorState().destinations[unit - 1] = destination;
  else
    destination = Destination(unit);
}

std::FILE* OutputDestination(int k) {
  std::FILE* d = nullptr;
  OutputUnit(k, d);
  return d;
}

void SetErrorActions(int severity, int printAction_, int stopAction_) {
  ServiceCall call("ERSET");
  MessageValues v;
  if (severity < 0 || severity > 5) {
    v.i1 = severity;
    ReportError(5, 1,
                FormatMessage("The error type must be between 0 and 5 inclusive while IERSVR = "
                              "%(I1) is given.",
                              v));
    return;
  }
  if (!ValidAction(printAction_) || !ValidAction(stopAction_)) {
    v.i1 = printAction_;
    v.i2 = stopAction_;
    ReportError(5, 2,
                FormatMessage("The print and stop actions must be between -1 and 2 inclusive "
                              "while IPACT = %(I1) and ISACT = %(I2) are given.",
                              v));
    return;
  }
  bool* printAction = CurrentErrorState().printAction;
  bool* stopAction = CurrentErrorState().stopAction;
  for (int s = 1; s <= 5; ++s) {
    if (severity != 0 && severity != s) continue;
    ApplyAction(printAction, kDefaultPrint, s, printAction_);
    // Terminal errors always stop.
    if (s != 5) ApplyAction(stopAction, kDefaultStop, s, stopAction_);
    if (s == 3 || s == 4) {
      ApplyAction(printAction, kDefaultPrint, s + 3, printAction_);
      ApplyAction(stopAction, kDefaultStop, s + 3, stopAction_);
    }
  }
}

ServiceCall::ServiceCall(const char* routineName) {
  ErrorServiceState& state = CurrentErrorState();
  if (state.serviceDepth < kMaxNames) state.serviceNames[state.serviceDepth] = routineName;
  ++state.serviceDepth;
}

ServiceCall::~ServiceCall() noexcept(false) {
  ErrorServiceState& state = CurrentErrorState();
  if (state.serviceDepth > 0) --state.serviceDepth;
  // While a stop unwinds through the calls, nothing more is handled.
  if (std::uncaught_exceptions() > 0) return;
  if (state.serviceDepth == 0 && !state.pendingErrors.empty()) HandlePendingErrors();
}

void ReportError(int severity, int code, const std::string& text) {
  if (severity < 1 || severity > 7) severity = 5;
  ErrorServiceState& state = CurrentErrorState();
  const int innermost = std::min(state.serviceDepth, kMaxNames) - 1;
  std::string routine = innermost >= 0 ? state.serviceNames[innermost] : "KRIGING";
  PendingError e{severity, code, routine, text, false};
  if (severity >= 5 && state.printAction[severity]) {
    PrintMessage(severity, code, routine, text);
    e.printed = true;
  }
  if (severity == 5) StopProcess(text);
  state.pendingErrors.push_back(std::move(e));
  if (state.serviceDepth == 0) HandlePendingErrors();
}

std::string FormatMessage(const std::string& text, const MessageValues& values) {
  std::string out;
  out.reserve(text.size() + 32);
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '%' && i + 4 < text.size() && text[i + 1] == '(' && text[i + 4] == ')') {
      const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i + 2])));
      const char index = text[i + 3];
      char buf[64];
      bool known = true;
      if (kind == 'I' && (index == '1' || index == '2')) {
        std::snprintf(buf, sizeof buf, "%lld", index == '1' ? values.i1 : values.i2);
        out += buf;
      } else if (kind == 'R' && (index == '1' || index == '2')) {
        std::snprintf(buf, sizeof buf, "%.6g", index == '1' ? values.r1 : values.r2);
        out += buf;
      } else if (kind == 'L' && index == '1') {
        out += values.l1;
      } else {
        known = false;
      }
      if (known) {
        i += 5;
        continue;
      }
    }
    out += text[i++];
  }
  return out;
}

}  // namespace kriging
