#pragma once
// Runs the kriging engine in a child process.
//
// A fatal error inside the engine ends the process that called SKU; run in the
// desktop program's own process it would close the whole application. So the
// call is made by the helper program "sorvan-engine" (found beside the calling
// executable, or in ../bin from it): the runner starts it with posix_spawn,
// sends it the 22 arguments over a socket, the helper loads libkriging.so by
// file name (the executable's ../lib, then $SORVAN_LIB_DIR, then the default
// loader path), looks up SKU by name, calls it in the working folder and sends
// the in/out arguments and the grids back.
//
// Use from the GUI: start(), then poll() from a timer until it returns true,
// then resultado(). cancel() kills the helper. Use from the tool: run().
// The runner only reports; applying a successful result to the session is the
// caller's job (AplicaResultado in ejecuta_kriging.h), so a failed or
// cancelled run leaves the previous surfaces in place.
//
// Result files: the run takes the result folder (a lock file with its pid; a
// folder in use by a live run is refused) and the engine works in a new
// temporary folder inside it. On success the fitted model comes from the
// engine's reply and the files (KRIGING.LOG, SKUPRE.SUP, SKUVAR.SUP,
// SKUESTIM.SV, SKUESTIM.FMT, SKUEAJUS.SV, SKUEAJUS.FMT) are moved into the
// result folder; after a failure or a cancellation the previous results stay
// as they were (a failed run's log, with a closing line saying the run
// failed, is kept as KRIGING-FALLO.LOG) and the temporary folder is removed.
#include <chrono>
#include <string>
#include <sys/types.h>

#include "core/argumentos_sku.h"
#include "core/carpeta_resultados.h"
#include "core/resultado.h"
#include "core/sesion_kriging.h"

namespace sorvan {

inline constexpr const char* kNombreAyudanteMotor = "sorvan-engine";
inline constexpr const char* kErrorLlamadaMotor = "El cálculo de kriging ha fallado.";

struct ResultadoMotor {
  bool ok = false;        // the engine returned and the reply arrived whole
  bool cancelado = false; // ended by cancel()
  int codigo = 0;         // on failure: the helper's exit status, or 128 + the signal that ended it
  // On failure: a Spanish sentence saying what went wrong and what to do
  // (kErrorLlamadaMotor followed by the likely cause when the engine's text
  // names one), or the runner's own refusal (folder in use, helper missing).
  std::string mensaje;
  // On an engine failure: "El codigo de error es :" and the code, then the
  // helper's own message (library or symbol missing) or the last non-empty
  // lines of the run's KRIGING.LOG (the engine's diagnosis).
  std::string detalles;
  ArgumentosSKU salida;   // on success: the arguments as the engine left them
  ResumenMotor resumen;   // on success: what the engine reported (model, lags, warnings)
  ModeloAjustado modelo;  // on success: the model fitted, from the engine's reply

  // mensaje, then detalles under "Detalles:", for a text-only report.
  std::string textoCompleto() const;
};

class MotorKriging {
 public:
  // `ayudante`: path of the helper program; empty = search beside the
  // running executable (/proc/self/exe), then in its ../bin.
  explicit MotorKriging(std::string ayudante = {});
  ~MotorKriging();  // kills and reaps a helper still running
  MotorKriging(const MotorKriging&) = delete;
  MotorKriging& operator=(const MotorKriging&) = delete;

  // Starts a run in folder `carpeta` (created when missing). Refused when a
  // run is already going, the arguments are inconsistent, the folder cannot
  // be used or the helper cannot be started; nothing is running then.
  Resultado start(const ArgumentosSKU& argumentos, const std::string& carpeta);
  // Non-blocking: moves the reply along and reaps the helper when it ends.
  // True once the run has finished (or when no run was started).
  bool poll();
  bool finished() const { return !enMarcha_; }
  bool enMarcha() const { return enMarcha_; }
  // Kills the helper and waits for it; the result says cancelado.
  void cancel();
  // Outcome of the last finished run.
  const ResultadoMotor& resultado() const { return resultado_; }
  // Blocking run: start, wait, and the outcome. `limite` > 0 cancels a run
  // that takes longer (reported as a failure).
  ResultadoMotor run(const ArgumentosSKU& argumentos, const std::string& carpeta,
                     std::chrono::milliseconds limite = std::chrono::milliseconds(0));

  // The helper path that start() will use ("" when none is found).
  std::string rutaAyudante() const;

 private:
  void termina(bool exito, int codigo, std::string causa);
  void envia();
  std::string ayudante_;
  std::string carpeta_;      // the result folder
  std::string temporal_;     // this run's folder inside it
  CerrojoCarpeta cerrojo_;
  bool enMarcha_ = false;
  bool cancelado_ = false;
  pid_t pid_ = -1;
  int socket_ = -1;
  int esperados_ = 0;        // bytes of the reply expected
  std::string pendiente_;    // request bytes not yet sent
  size_t enviados_ = 0;
  std::string recibido_;
  ArgumentosSKU peticion_;   // sizes to check the reply against
  ResultadoMotor resultado_;
};

// The Spanish lead of an engine failure: kErrorLlamadaMotor and, when the
// engine's text (`detalles`) shows a cause the user can act on, what to do.
std::string ExplicaFallo(const std::string& detalles, int codigo);

// The last `lineas` non-empty lines of `carpeta`/KRIGING.LOG, joined by line
// breaks (empty when there is no log).
std::string UltimasLineasLog(const std::string& carpeta, int lineas = 4);

}  // namespace sorvan
