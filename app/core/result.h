#pragma once
// Outcome of an operation of the core that can fail on user input: either
// success (possibly with a warning to show) or a failure with the message the
// user is to read. Messages are in Spanish and name the file, line and field
// involved when there is one.
#include <string>
#include <utility>

namespace sorvan::core {

struct Result {
  bool ok = true;
  // On failure: why. On success: a warning to show the user, or empty.
  std::string message;

  static Result Success(std::string warning = {}) { return {true, std::move(warning)}; }
  static Result Error(std::string reason) { return {false, std::move(reason)}; }
  explicit operator bool() const { return ok; }
};

}  // namespace sorvan::core
