// A run's files: every write and close checked; a failure names the file and
// the cause, ends SKU's process like a fatal error and is a status for Krige.
#include "run_files.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>

#include "kriging_reference.h"
#include "numerics/error_service.h"
#include "run_context.h"
#include "sku.h"

namespace kriging {
namespace {

namespace fs = std::filesystem;

TEST(RunFiles, CausesAreSpanishAndNameTheDiskFull) {
  EXPECT_EQ(WriteFailureCause(ENOSPC), "no queda espacio en el disco");
  EXPECT_EQ(WriteFailureMessage("SKUPRE.SUP", ENOSPC),
            "No se puede escribir el archivo SKUPRE.SUP: no queda espacio en el disco");
  EXPECT_EQ(WriteFailureCause(EACCES), "permiso denegado");
}

// /dev/full takes the open and refuses the data with ENOSPC.
TEST(RunFiles, AFullDiskAtTheCloseIsAStatusInANamedRun) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "sin /dev/full";
  RunContext context;
  context.errors.stopThrows = true;
  context.folder = "/dev";
  const ContextScope scope(&context);
  std::FILE* file = CreateRunFile("full");
  ASSERT_NE(file, nullptr);
  std::fputs("SKUPRE\n", file);
  try {
    CloseRunFile(file, "SKUPRE.SUP");
    FAIL() << "the failed write was not reported";
  } catch (const ServiceStopped& stop) {
    EXPECT_EQ(stop.kind, ServiceStopped::kWrite);
    EXPECT_EQ(stop.message, "No se puede escribir el archivo SKUPRE.SUP: no queda espacio en el disco");
  }
}

TEST(RunFiles, AFullDiskEndsSKUsProcessWithTheCauseAsTheLastLogLine) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "sin /dev/full";
  reference::ScratchDirectory scratch;
  const pid_t pid = fork();
  if (pid == 0) {
    std::FILE* log = std::fopen("KRIGING.LOG", "w");
    OutputUnit(-2, log);
    std::fputs("antes\n", log);
    std::FILE* file = std::fopen("/dev/full", "w");
    std::fputs("datos\n", file);
    CloseRunFile(file, "SKUVAR.SUP");
    _exit(0);  // not reached
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), kWriteFailureExitCode);
  const auto lines = reference::ReadLines(scratch.path() / "KRIGING.LOG");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), " No se puede escribir el archivo SKUVAR.SUP: no queda espacio en el disco");
}

TEST(RunFiles, AFolderThatCannotBeWrittenIsNamedBySKUToo) {
  reference::ScratchDirectory scratch;
  const pid_t pid = fork();
  if (pid == 0) {
    std::FILE* log = std::fopen("KRIGING.LOG", "w");
    OutputUnit(-2, log);
    CurrentContext().folder = "/nonexistent-sorvan-folder";
    CreateRunFile("SKUESTIM.SV");
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), kWriteFailureExitCode);
  const auto lines = reference::ReadLines(scratch.path() / "KRIGING.LOG");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), " No se puede escribir el archivo SKUESTIM.SV: la carpeta no existe");
}

TEST(SkuLog, AnInvalidFixedModelIsNamedInALogLine) {
  reference::ScratchDirectory scratch;
  reference::Data d = reference::Meuse();
  std::int32_t n = d.size(), lagCount = -1, fitLagCount = -1, model = 1, degree = 0, nx = 3,
               ny = 3, rows = 3;
  float firstLag = -1, lagWidth = -1, xMin = 179000, yMin = 330000, dx = 500, dy = 500,
        hole = -10000;
  std::vector<float> prediction(9, 0.0f), variance(9, 0.0f);
  std::int32_t options[7] = {-1, -1, -1, 3, -1, -1, -1};
  float parameters[10] = {0, -5, 100, -1, -1, -1, -1, -1, -1, -1};
  SKU(&n, d.z.data(), d.x.data(), d.y.data(), &firstLag, &lagWidth, &lagCount, &fitLagCount,
      &model, &degree, &nx, &ny, &xMin, &yMin, &dx, &dy, &rows, prediction.data(),
      variance.data(), &hole, options, parameters);
  const auto lines = reference::ReadLines(scratch.path() / "KRIGING.LOG");
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[2],
            "    Aviso: El parámetro c1 (meseta parcial) del modelo esférico debe ser mayor que 0: -5");
}

}  // namespace
}  // namespace kriging
