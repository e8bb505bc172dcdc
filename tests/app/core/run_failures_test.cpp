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
#include "tool_run.h"

using namespace sorvan::core;

namespace fs = std::filesystem;

namespace {

const std::string kFont = test_data::SourceDir();
const std::string kTool = test_data::BuildDir() + "/bin/sorvan-krige";
const std::string kMeuse = kFont + "/examples/meuse.dae";

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct Salida {
  int state = -1;
  std::string out, err;
};

// The tool started in a child process with `args`; `limit` > 0 makes every
// write past that many bytes of a file fail (EFBIG, the signal ignored), as
// a full disk would, for the tool and the engine helper it starts. Its output
// comes back through pipes, which no file size limit touches.
struct Process {
  pid_t pid = -1;
  int out = -1, err = -1;
};

Process Start(const std::vector<std::string>& args, long limit = 0) {
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
  argv.push_back(const_cast<char*>(kTool.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  ::execv(kTool.c_str(), argv.data());
  ::_exit(127);
}

std::string ReadAll(int fd) {
  std::string r;
  char b[4096];
  ssize_t k;
  while ((k = ::read(fd, b, sizeof b)) > 0 || (k < 0 && errno == EINTR))
    if (k > 0) r.append(b, size_t(k));
  ::close(fd);
  return r;
}

Salida Wait(const Process& p) {
  Salida s;
  // The summaries are far below a pipe's capacity: read after the end.
  int state = 0;
  ::waitpid(p.pid, &state, 0);
  s.state = WIFEXITED(state) ? WEXITSTATUS(state) : 128 + WTERMSIG(state);
  s.out = ReadAll(p.out);
  s.err = ReadAll(p.err);
  return s;
}

// Names in `dir`, hidden ones included, sorted.
std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> r;
  for (const auto& e : fs::directory_iterator(dir)) r.push_back(e.path().filename().string());
  std::sort(r.begin(), r.end());
  return r;
}

const std::vector<std::string> kSeven = {"KRIGING.LOG",  "SKUEAJUS.FMT", "SKUEAJUS.SV", "SKUESTIM.FMT",
                                         "SKUESTIM.SV", "SKUPRE.SUP",   "SKUVAR.SUP"};

bool WaitForFile(const fs::path& p, std::chrono::seconds limit) {
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
    root_ = fs::temp_directory_path() / ("sorvan_fallos_" + std::to_string(::getpid()) + "_" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "res");
    outputs_ = root_ / "salidas";
    fs::create_directories(outputs_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(root_ / "res", fs::perms::owner_all, ec);
    fs::remove_all(root_, ec);
  }
  // A whole first run, whose files later faults must leave alone.
  void PreviousRun() {
    Salida s = Wait(Start({kMeuse, "--z", "logzinc", "--out", (root_ / "res").string()}));
    ASSERT_EQ(s.state, 0) << s.err;
    ASSERT_EQ(Names(root_ / "res"), kSeven);
    for (const std::string& f : kSeven) before_[f] = Read(root_ / "res" / f);
  }
  void PreviousIntact() {
    for (const std::string& f : kSeven) EXPECT_EQ(Read(root_ / "res" / f), before_[f]) << f;
  }
  fs::path root_, outputs_;
  std::map<std::string, std::string> before_;
};

// The first file that fills past K bytes is a surface file (K of 4 KB, 20 KB
// and 40 KB: the 50 x 50 surfaces take 42 KB), or everything but the lock
// (K = 16).
class FullDisk : public RunFailures, public ::testing::WithParamInterface<long> {};

TEST_P(FullDisk, FailsNamingTheFileAndKeepsThePreviousResults) {
  PreviousRun();
  Salida s = Wait(Start({kMeuse, "--z", "logzinc", "--out", (root_ / "res").string()}, GetParam()));
  EXPECT_EQ(s.state, 1) << s.out << s.err;
  EXPECT_NE(s.err.find("sorvan-krige: "), std::string::npos) << s.err;
  // Which file was cut is named (the lock is too small to fail).
  const bool named = s.err.find(".SUP") != std::string::npos || s.err.find("KRIGING.LOG") != std::string::npos ||
                        s.err.find(".SV") != std::string::npos || s.err.find(".FMT") != std::string::npos;
  EXPECT_TRUE(named) << s.err;
  EXPECT_EQ(s.out.find("Modelo ajustado"), std::string::npos) << s.out;  // no summary of a failed run
  // The previous results as they were, nothing of the failed run beside them.
  std::vector<std::string> remaining = Names(root_ / "res");
  remaining.erase(std::remove(remaining.begin(), remaining.end(), sorvan::core::kFailedLogFile), remaining.end());
  EXPECT_EQ(remaining, kSeven);
  PreviousIntact();
}

INSTANTIATE_TEST_SUITE_P(Limits, FullDisk, ::testing::Values(16L, 4096L, 20480L, 40960L));

// A real, tiny file system: the cause is said as the user would read it.
// Mounting needs a mount namespace (as root, or with user namespaces).
TEST_F(RunFailures, TinyFileSystemSaysNoRoomIsLeft) {
  const fs::path assembly = root_ / "disco";
  fs::create_directories(assembly);
  const std::string order = "unshare -m sh -c 'mount -t tmpfs -o size=64k tmpfs " + assembly.string() + " && " +
                            kTool + " " + kMeuse + " --z logzinc --out " + (assembly / "res").string() +
                            "; echo estado=$?; ls -A " + (assembly / "res").string() + "' >" +
                            (outputs_ / "out.txt").string() + " 2>" + (outputs_ / "err.txt").string();
  std::string withoutRoot = order;
  withoutRoot.replace(0, 10, "unshare -rm");
  if (std::system(order.c_str()) != 0 || Read(outputs_ / "out.txt").find("estado=") == std::string::npos) {
    if (std::system(withoutRoot.c_str()) != 0 || Read(outputs_ / "out.txt").find("estado=") == std::string::npos)
      GTEST_SKIP() << "no se puede montar un sistema de archivos pequeño: " << Read(outputs_ / "err.txt");
  }
  const std::string out = Read(outputs_ / "out.txt"), err = Read(outputs_ / "err.txt");
  EXPECT_NE(out.find("estado=1"), std::string::npos) << out << err;
  EXPECT_NE(err.find("no queda espacio en el disco"), std::string::npos) << err;
  // Only the failed run's log may remain (if it fitted), no result file.
  EXPECT_EQ(out.find("SKUPRE.SUP"), std::string::npos) << out;
  EXPECT_EQ(out.find("SKUVAR.SUP"), std::string::npos) << out;
  EXPECT_EQ(out.find(".sorvan"), std::string::npos) << out;
}

TEST_F(RunFailures, KilledRunLeavesThePreviousResultsAndTheNextRunCleansUp) {
  PreviousRun();
  const Process slow = Start({kMeuse, "--z", "logzinc", "--grid", "1000,1000", "--out", (root_ / "res").string()});
  ASSERT_TRUE(WaitForFile(root_ / "res" / sorvan::core::kLockFile, std::chrono::seconds(30)));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  ::kill(slow.pid, SIGKILL);
  Salida deadOne = Wait(slow);
  ASSERT_EQ(deadOne.state, 128 + SIGKILL);
  PreviousIntact();
  // The engine helper dies with its caller; its lock and folder stay until
  // the next run in the folder takes them over.
  Salida s = Wait(Start({kMeuse, "--z", "logzinc", "--grid", "20,20", "--out", (root_ / "res").string()}));
  EXPECT_EQ(s.state, 0) << s.err;
  EXPECT_EQ(Names(root_ / "res"), kSeven);
  EXPECT_NE(Read(root_ / "res" / "SKUPRE.SUP").find(" GRID 20 20"), std::string::npos);
}

TEST_F(RunFailures, SecondRunInAFolderInUseIsRefused) {
  PreviousRun();
  const Process slow = Start({kMeuse, "--z", "logzinc", "--grid", "1000,1000", "--out", (root_ / "res").string()});
  ASSERT_TRUE(WaitForFile(root_ / "res" / sorvan::core::kLockFile, std::chrono::seconds(30)));
  Salida s = Wait(Start({kMeuse, "--z", "logzinc", "--out", (root_ / "res").string()}));
  ::kill(slow.pid, SIGKILL);
  Wait(slow);
  EXPECT_EQ(s.state, 1) << s.out;
  EXPECT_NE(s.err.find("está en uso por otro cálculo de kriging (proceso " + std::to_string(slow.pid) + ")"),
            std::string::npos)
      << s.err;
  EXPECT_EQ(s.out.find("Modelo ajustado"), std::string::npos);
  PreviousIntact();
}

TEST_F(RunFailures, TwoRunsInTwoFoldersEachReportTheirOwnModel) {
  // At the same time, different models: each summary and each folder holds
  // its own run, never the other's.
  fs::create_directories(root_ / "a");
  fs::create_directories(root_ / "b");
  const Process a =
      Start({kMeuse, "--z", "logzinc", "--model", "spherical", "--grid", "300,300", "--out", (root_ / "a").string()});
  const Process b = Start(
      {kMeuse, "--z", "logzinc", "--model", "exponential", "--grid", "300,300", "--out", (root_ / "b").string()});
  Salida sa = Wait(a), sb = Wait(b);
  ASSERT_EQ(sa.state, 0) << sa.err;
  ASSERT_EQ(sb.state, 0) << sb.err;
  EXPECT_NE(sa.out.find("Modelo ajustado: esférico"), std::string::npos) << sa.out;
  EXPECT_NE(sb.out.find("Modelo ajustado: exponencial"), std::string::npos) << sb.out;
  // The c0 printed is the one in the run's own log.
  for (const auto& [output, dir] : {std::pair{sa.out, root_ / "a"}, std::pair{sb.out, root_ / "b"}}) {
    const size_t p = output.find("c0 = ");
    ASSERT_NE(p, std::string::npos);
    const std::string c0 = output.substr(p + 5, output.find(',', p) - p - 5);
    EXPECT_NE(Read(dir / "KRIGING.LOG").find(c0.substr(0, 5)), std::string::npos) << c0;
  }
}

TEST_F(RunFailures, ReadOnlyResultFolderIsRefusedWithTheCause) {
  const fs::path res = root_ / "res";
  std::string order;
  if (::geteuid() != 0) {
    fs::permissions(res, fs::perms::owner_read | fs::perms::owner_exec);
    Salida s = Wait(Start({kMeuse, "--z", "logzinc", "--out", res.string()}));
    EXPECT_EQ(s.state, 1);
    EXPECT_NE(s.err.find("No se puede escribir en la carpeta de resultados " + res.string() + ": permiso denegado"),
              std::string::npos)
        << s.err;
    EXPECT_TRUE(Names(res).empty());
    return;
  }
  // Root may write anywhere but on a read-only file system.
  order = "unshare -m sh -c 'mount -t tmpfs -o ro tmpfs " + res.string() + " && " + kTool + " " + kMeuse +
          " --z logzinc --out " + res.string() + "; echo estado=$?; ls -A " + res.string() + "' >" +
          (outputs_ / "out.txt").string() + " 2>" + (outputs_ / "err.txt").string();
  ASSERT_EQ(std::system(order.c_str()), 0);
  const std::string out = Read(outputs_ / "out.txt"), err = Read(outputs_ / "err.txt");
  EXPECT_NE(out.find("estado=1"), std::string::npos) << out << err;
  EXPECT_NE(err.find("No se puede escribir en la carpeta de resultados " + res.string() + ": el disco es de solo lectura"),
            std::string::npos)
      << err;
}

}  // namespace
