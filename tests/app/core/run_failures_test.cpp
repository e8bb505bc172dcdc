// Faults injected into whole runs of the command-line tool: a disk that
// fills up (a file size limit that fails every write past K bytes, and a
// tiny real file system when one can be mounted), a run killed half-way,
// two runs in one result folder, a read-only result folder. For each, the
// exit status, the message and the files left are checked: never status 0
// with broken files, and the previous results always survive.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/results_folder.h"

using namespace sorvan::core;

namespace fs = std::filesystem;

namespace {

std::string Entorno(const char* nombre, const char* porDefecto) {
  const char* v = std::getenv(nombre);
  return v ? v : porDefecto;
}
const std::string kFuente = Entorno("SORVAN_SOURCE_DIR", "../..");
const std::string kHerramienta = Entorno("SORVAN_BUILD_DIR", "..") + "/bin/sorvan-krige";
const std::string kMeuse = kFuente + "/examples/meuse.dae";

std::string Lee(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct Salida {
  int estado = -1;
  std::string out, err;
};

// The tool started in a child process with `args`; `limit` > 0 makes every
// write past that many bytes of a file fail (EFBIG, the signal ignored), as
// a full disk would, for the tool and the engine helper it starts. Its output
// comes back through pipes, which no file size limit touches.
struct Proceso {
  pid_t pid = -1;
  int out = -1, err = -1;
};

Proceso Inicia(const std::vector<std::string>& args, long limit = 0) {
  int out[2], err[2];
  if (::pipe(out) != 0 || ::pipe(err) != 0) return {};
  const pid_t pid = ::fork();
  if (pid != 0) {
    ::close(out[1]);
    ::close(err[1]);
    return {pid, out[0], err[0]};
  }
  ::dup2(out[1], 1);
  ::dup2(err[1], 2);
  ::close(out[0]);
  ::close(err[0]);
  if (limit > 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit r{rlim_t(limit), rlim_t(limit)};
    ::setrlimit(RLIMIT_FSIZE, &r);
  }
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(kHerramienta.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  ::execv(kHerramienta.c_str(), argv.data());
  ::_exit(127);
}

std::string LeeTodo(int fd) {
  std::string r;
  char b[4096];
  ssize_t k;
  while ((k = ::read(fd, b, sizeof b)) > 0 || (k < 0 && errno == EINTR))
    if (k > 0) r.append(b, size_t(k));
  ::close(fd);
  return r;
}

Salida Espera(const Proceso& p) {
  Salida s;
  // The summaries are far below a pipe's capacity: read after the end.
  int estado = 0;
  ::waitpid(p.pid, &estado, 0);
  s.estado = WIFEXITED(estado) ? WEXITSTATUS(estado) : 128 + WTERMSIG(estado);
  s.out = LeeTodo(p.out);
  s.err = LeeTodo(p.err);
  return s;
}

// Names in `dir`, hidden ones included, sorted.
std::vector<std::string> Nombres(const fs::path& dir) {
  std::vector<std::string> r;
  for (const auto& e : fs::directory_iterator(dir)) r.push_back(e.path().filename().string());
  std::sort(r.begin(), r.end());
  return r;
}

const std::vector<std::string> kSiete = {"KRIGING.LOG",  "SKUEAJUS.FMT", "SKUEAJUS.SV", "SKUESTIM.FMT",
                                         "SKUESTIM.SV", "SKUPRE.SUP",   "SKUVAR.SUP"};

bool EsperaArchivo(const fs::path& p, std::chrono::seconds limit) {
  const auto atEnd = std::chrono::steady_clock::now() + limit;
  while (!fs::exists(p)) {
    if (std::chrono::steady_clock::now() > atEnd) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

class RunFailures : public ::testing::Test {
 protected:
  void SetUp() override {
    raiz_ = fs::temp_directory_path() / ("sorvan_fallos_" + std::to_string(::getpid()) + "_" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(raiz_);
    fs::create_directories(raiz_ / "res");
    salidas_ = raiz_ / "salidas";
    fs::create_directories(salidas_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(raiz_ / "res", fs::perms::owner_all, ec);
    fs::remove_all(raiz_, ec);
  }
  // A whole first run, whose files later faults must leave alone.
  void RunPrevia() {
    Salida s = Espera(Inicia({kMeuse, "--z", "logzinc", "--out", (raiz_ / "res").string()}));
    ASSERT_EQ(s.estado, 0) << s.err;
    ASSERT_EQ(Nombres(raiz_ / "res"), kSiete);
    for (const std::string& f : kSiete) antes_[f] = Lee(raiz_ / "res" / f);
  }
  void PreviasIntactas() {
    for (const std::string& f : kSiete) EXPECT_EQ(Lee(raiz_ / "res" / f), antes_[f]) << f;
  }
  fs::path raiz_, salidas_;
  std::map<std::string, std::string> antes_;
};

// The first file that fills past K bytes is a surface file (K of 4 KB, 20 KB
// and 40 KB: the 50 x 50 surfaces take 42 KB), or everything but the lock
// (K = 16).
class FullDisk : public RunFailures, public ::testing::WithParamInterface<long> {};

TEST_P(FullDisk, FailsNamingTheFileAndKeepsThePreviousResults) {
  RunPrevia();
  Salida s = Espera(Inicia({kMeuse, "--z", "logzinc", "--out", (raiz_ / "res").string()}, GetParam()));
  EXPECT_EQ(s.estado, 1) << s.out << s.err;
  EXPECT_NE(s.err.find("sorvan-krige: "), std::string::npos) << s.err;
  // Which file was cut is named (the lock is too small to fail).
  const bool nombrado = s.err.find(".SUP") != std::string::npos || s.err.find("KRIGING.LOG") != std::string::npos ||
                        s.err.find(".SV") != std::string::npos || s.err.find(".FMT") != std::string::npos;
  EXPECT_TRUE(nombrado) << s.err;
  EXPECT_EQ(s.out.find("Modelo ajustado"), std::string::npos) << s.out;  // no summary of a failed run
  // The previous results as they were, nothing of the failed run beside them.
  std::vector<std::string> quedan = Nombres(raiz_ / "res");
  quedan.erase(std::remove(quedan.begin(), quedan.end(), sorvan::core::kFailedLogFile), quedan.end());
  EXPECT_EQ(quedan, kSiete);
  PreviasIntactas();
}

INSTANTIATE_TEST_SUITE_P(Limites, FullDisk, ::testing::Values(16L, 4096L, 20480L, 40960L));

// A real, tiny file system: the cause is said as the user would read it.
// Mounting needs a mount namespace (as root, or with user namespaces).
TEST_F(RunFailures, TinyFileSystemSaysNoRoomIsLeft) {
  const fs::path montaje = raiz_ / "disco";
  fs::create_directories(montaje);
  const std::string orden = "unshare -m sh -c 'mount -t tmpfs -o size=64k tmpfs " + montaje.string() + " && " +
                            kHerramienta + " " + kMeuse + " --z logzinc --out " + (montaje / "res").string() +
                            "; echo estado=$?; ls -A " + (montaje / "res").string() + "' >" +
                            (salidas_ / "out.txt").string() + " 2>" + (salidas_ / "err.txt").string();
  std::string sinRaiz = orden;
  sinRaiz.replace(0, 10, "unshare -rm");
  if (std::system(orden.c_str()) != 0 || Lee(salidas_ / "out.txt").find("estado=") == std::string::npos) {
    if (std::system(sinRaiz.c_str()) != 0 || Lee(salidas_ / "out.txt").find("estado=") == std::string::npos)
      GTEST_SKIP() << "no se puede montar un sistema de archivos pequeño: " << Lee(salidas_ / "err.txt");
  }
  const std::string out = Lee(salidas_ / "out.txt"), err = Lee(salidas_ / "err.txt");
  EXPECT_NE(out.find("estado=1"), std::string::npos) << out << err;
  EXPECT_NE(err.find("no queda espacio en el disco"), std::string::npos) << err;
  // Only the failed run's log may remain (if it fitted), no result file.
  EXPECT_EQ(out.find("SKUPRE.SUP"), std::string::npos) << out;
  EXPECT_EQ(out.find("SKUVAR.SUP"), std::string::npos) << out;
  EXPECT_EQ(out.find(".sorvan"), std::string::npos) << out;
}

TEST_F(RunFailures, KilledRunLeavesThePreviousResultsAndTheNextRunCleansUp) {
  RunPrevia();
  const Proceso lenta = Inicia({kMeuse, "--z", "logzinc", "--grid", "1000,1000", "--out", (raiz_ / "res").string()});
  ASSERT_TRUE(EsperaArchivo(raiz_ / "res" / sorvan::core::kLockFile, std::chrono::seconds(30)));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  ::kill(lenta.pid, SIGKILL);
  Salida muerta = Espera(lenta);
  ASSERT_EQ(muerta.estado, 128 + SIGKILL);
  PreviasIntactas();
  // The engine helper dies with its caller; its lock and folder stay until
  // the next run in the folder takes them over.
  Salida s = Espera(Inicia({kMeuse, "--z", "logzinc", "--grid", "20,20", "--out", (raiz_ / "res").string()}));
  EXPECT_EQ(s.estado, 0) << s.err;
  EXPECT_EQ(Nombres(raiz_ / "res"), kSiete);
  EXPECT_NE(Lee(raiz_ / "res" / "SKUPRE.SUP").find(" GRID 20 20"), std::string::npos);
}

TEST_F(RunFailures, SecondRunInAFolderInUseIsRefused) {
  RunPrevia();
  const Proceso lenta = Inicia({kMeuse, "--z", "logzinc", "--grid", "1000,1000", "--out", (raiz_ / "res").string()});
  ASSERT_TRUE(EsperaArchivo(raiz_ / "res" / sorvan::core::kLockFile, std::chrono::seconds(30)));
  Salida s = Espera(Inicia({kMeuse, "--z", "logzinc", "--out", (raiz_ / "res").string()}));
  ::kill(lenta.pid, SIGKILL);
  Espera(lenta);
  EXPECT_EQ(s.estado, 1) << s.out;
  EXPECT_NE(s.err.find("está en uso por otro cálculo de kriging (proceso " + std::to_string(lenta.pid) + ")"),
            std::string::npos)
      << s.err;
  EXPECT_EQ(s.out.find("Modelo ajustado"), std::string::npos);
  PreviasIntactas();
}

TEST_F(RunFailures, TwoRunsInTwoFoldersEachReportTheirOwnModel) {
  // At the same time, different models: each summary and each folder holds
  // its own run, never the other's.
  fs::create_directories(raiz_ / "a");
  fs::create_directories(raiz_ / "b");
  const Proceso a =
      Inicia({kMeuse, "--z", "logzinc", "--model", "spherical", "--grid", "300,300", "--out", (raiz_ / "a").string()});
  const Proceso b = Inicia(
      {kMeuse, "--z", "logzinc", "--model", "exponential", "--grid", "300,300", "--out", (raiz_ / "b").string()});
  Salida sa = Espera(a), sb = Espera(b);
  ASSERT_EQ(sa.estado, 0) << sa.err;
  ASSERT_EQ(sb.estado, 0) << sb.err;
  EXPECT_NE(sa.out.find("Modelo ajustado: esférico"), std::string::npos) << sa.out;
  EXPECT_NE(sb.out.find("Modelo ajustado: exponencial"), std::string::npos) << sb.out;
  // The c0 printed is the one in the run's own log.
  for (const auto& [output, dir] : {std::pair{sa.out, raiz_ / "a"}, std::pair{sb.out, raiz_ / "b"}}) {
    const size_t p = output.find("c0 = ");
    ASSERT_NE(p, std::string::npos);
    const std::string c0 = output.substr(p + 5, output.find(',', p) - p - 5);
    EXPECT_NE(Lee(dir / "KRIGING.LOG").find(c0.substr(0, 5)), std::string::npos) << c0;
  }
}

TEST_F(RunFailures, ReadOnlyResultFolderIsRefusedWithTheCause) {
  const fs::path res = raiz_ / "res";
  std::string orden;
  if (::geteuid() != 0) {
    fs::permissions(res, fs::perms::owner_read | fs::perms::owner_exec);
    Salida s = Espera(Inicia({kMeuse, "--z", "logzinc", "--out", res.string()}));
    EXPECT_EQ(s.estado, 1);
    EXPECT_NE(s.err.find("No se puede escribir en la carpeta de resultados " + res.string() + ": permiso denegado"),
              std::string::npos)
        << s.err;
    EXPECT_TRUE(Nombres(res).empty());
    return;
  }
  // Root may write anywhere but on a read-only file system.
  orden = "unshare -m sh -c 'mount -t tmpfs -o ro tmpfs " + res.string() + " && " + kHerramienta + " " + kMeuse +
          " --z logzinc --out " + res.string() + "; echo estado=$?; ls -A " + res.string() + "' >" +
          (salidas_ / "out.txt").string() + " 2>" + (salidas_ / "err.txt").string();
  ASSERT_EQ(std::system(orden.c_str()), 0);
  const std::string out = Lee(salidas_ / "out.txt"), err = Lee(salidas_ / "err.txt");
  EXPECT_NE(out.find("estado=1"), std::string::npos) << out << err;
  EXPECT_NE(err.find("No se puede escribir en la carpeta de resultados " + res.string() + ": el disco es de solo lectura"),
            std::string::npos)
      << err;
}

}  // namespace
