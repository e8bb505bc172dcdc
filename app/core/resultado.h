#pragma once
// Outcome of an operation of the core that can fail on user input: either
// success (possibly with a warning to show) or a failure with the message the
// user is to read. Messages are in Spanish and name the file, line and field
// involved when there is one.
#include <string>
#include <utility>

namespace sorvan {

struct Resultado {
  bool ok = true;
  // On failure: why. On success: a warning to show the user, or empty.
  std::string mensaje;

  static Resultado Exito(std::string aviso = {}) { return {true, std::move(aviso)}; }
  static Resultado Error(std::string motivo) { return {false, std::move(motivo)}; }
  explicit operator bool() const { return ok; }
};

}  // namespace sorvan
