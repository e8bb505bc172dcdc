// The result folder: its lock (taken, refused while a live process holds it,
// taken over from a dead one), the run's own folder and the move of its
// files, the check of whole files, the default folder of a data file, and
// the resource estimate before a global run.
#include "core/results_folder.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/resource_estimate.h"
#include "tool_run.h"

using namespace sorvan::core;
namespace fs = std::filesystem;

namespace {

// The pid of a process that has ended and been reaped.
pid_t DeadPid() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  ::waitpid(pid, nullptr, 0);
  return pid;
}

// A surface file of nx x ny values as the engine lays it out.
void Surface(const fs::path& p, int nx, int ny, bool rango, int values) {
  std::ofstream f(p);
  if (rango) f << "#  1.0  2.0\n";
  f << " GRID " << nx << " " << ny << "\n -10000.0 1.0 1.0 0.0 0.0\n";
  for (int k = 0; k < values; ++k) f << "  1.5" << ((k + 1) % ny == 0 ? "\n" : "");
}

class FolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("sorvan_carpeta_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  // The seven files of a whole run of a 3 x 4 grid in `d`.
  void FullRun(const fs::path& d) {
    for (const char* f : {"SKUESTIM.SV", "SKUESTIM.FMT", "SKUEAJUS.SV", "SKUEAJUS.FMT"}) std::ofstream(d / f) << f;
    Surface(d / "SKUPRE.SUP", 3, 4, true, 12);
    Surface(d / "SKUVAR.SUP", 3, 4, false, 12);
    std::ofstream(d / "KRIGING.LOG") << "I-  ...\n\n Terminado.\n";
  }
  fs::path dir_;
};

}  // namespace

TEST_F(FolderTest, LockIsRefusedWhileHeldAndTakenOverFromADeadProcess) {
  FolderLock a, b;
  ASSERT_TRUE(a.take(dir_.string()).ok);
  EXPECT_EQ(test_data::ReadWhole(dir_ / kLockFile), std::to_string(::getpid()) + "\n");
  // This very process holds it: a second run here is refused, naming it.
  const Result r = b.take(dir_.string());
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("está en uso por otro cálculo de kriging (proceso " + std::to_string(::getpid())),
            std::string::npos)
      << r.message;
  a.release();
  EXPECT_FALSE(fs::exists(dir_ / kLockFile));
  EXPECT_TRUE(b.take(dir_.string()).ok);
  b.release();

  // A killed run's lock and folder: taken over and cleared.
  const pid_t dead = DeadPid();
  std::ofstream(dir_ / kLockFile) << dead << "\n";
  const fs::path orphan = dir_ / (std::string(kRunFolderPrefix) + std::to_string(dead) + "-0");
  fs::create_directories(orphan);
  std::ofstream(orphan / "SKUPRE.SUP") << "parcial";
  const fs::path foreign = dir_ / (std::string(kRunFolderPrefix) + std::to_string(::getpid()) + "-99");
  fs::create_directories(foreign);  // a live process's run folder stays
  ASSERT_TRUE(a.take(dir_.string()).ok);
  EXPECT_FALSE(fs::exists(orphan));
  EXPECT_TRUE(fs::exists(foreign));
  EXPECT_EQ(test_data::ReadWhole(dir_ / kLockFile), std::to_string(::getpid()) + "\n");
}

TEST_F(FolderTest, LockOfAnotherProcessHoldsUntilThatProcessIsKilled) {
  int channel[2];
  ASSERT_EQ(::pipe(channel), 0);
  const pid_t otro = ::fork();
  ASSERT_GE(otro, 0);
  if (otro == 0) {
    FolderLock c;
    const char r = c.take(dir_.string()).ok ? 'S' : 'N';
    (void)!::write(channel[1], &r, 1);
    ::pause();
    ::_exit(0);
  }
  char r = 0;
  ASSERT_EQ(::read(channel[0], &r, 1), 1);
  ASSERT_EQ(r, 'S');
  FolderLock self;
  Result t = self.take(dir_.string());
  EXPECT_FALSE(t.ok);
  EXPECT_NE(t.message.find("(proceso " + std::to_string(otro) + ")"), std::string::npos) << t.message;
  // Killed: its lock file stays with its pid, but the lock went with it.
  ::kill(otro, SIGKILL);
  ::waitpid(otro, nullptr, 0);
  EXPECT_EQ(test_data::ReadWhole(dir_ / kLockFile), std::to_string(otro) + "\n");
  EXPECT_TRUE(self.take(dir_.string()).ok);
  EXPECT_EQ(test_data::ReadWhole(dir_ / kLockFile), std::to_string(::getpid()) + "\n");
  ::close(channel[0]);
  ::close(channel[1]);
}

TEST_F(FolderTest, RunFilesMoveInWholeAndReplaceOnlyTheirNames) {
  std::ofstream(dir_ / "SKUPRE.SUP") << "anterior";
  std::ofstream(dir_ / "SKUESTIM.SV") << "anterior";
  std::ofstream(dir_ / "otro.txt") << "del usuario";
  std::string error;
  const std::string t = CreateRunFolder(dir_.string(), &error);
  ASSERT_FALSE(t.empty()) << error;
  EXPECT_EQ(fs::path(t).parent_path(), dir_);
  FullRun(t);
  fs::remove(fs::path(t) / "SKUESTIM.SV");
  EXPECT_FALSE(CheckRunFiles(t, 3, 4).ok);  // one file missing
  std::ofstream(fs::path(t) / "SKUESTIM.SV") << "nuevo";
  ASSERT_TRUE(CheckRunFiles(t, 3, 4).ok);
  ASSERT_TRUE(MoveResults(t, dir_.string()).ok);
  EXPECT_FALSE(fs::exists(t));
  EXPECT_EQ(test_data::ReadWhole(dir_ / "SKUESTIM.SV"), "nuevo");
  EXPECT_NE(test_data::ReadWhole(dir_ / "SKUPRE.SUP").find(" GRID 3 4"), std::string::npos);
  EXPECT_EQ(test_data::ReadWhole(dir_ / "otro.txt"), "del usuario");
}

TEST_F(FolderTest, CutFilesAreFoundBeforeTheyReplaceAnything) {
  const std::string t = CreateRunFolder(dir_.string(), nullptr);
  FullRun(t);
  ASSERT_TRUE(CheckRunFiles(t, 3, 4).ok);
  EXPECT_FALSE(CheckRunFiles(t, 4, 3).ok);  // another grid
  // The variance file cut after 7 of 12 values.
  Surface(fs::path(t) / "SKUVAR.SUP", 3, 4, false, 7);
  Result r = CheckRunFiles(t, 3, 4);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("SKUVAR.SUP de este cálculo está incompleto (7 de 12 valores)"), std::string::npos)
      << r.message;
  // Cut in the middle of the last value: one value too few, or no line end.
  FullRun(t);
  {
    std::string text = test_data::ReadWhole(fs::path(t) / "SKUPRE.SUP");
    text.pop_back();
    std::ofstream(fs::path(t) / "SKUPRE.SUP") << text;
  }
  EXPECT_FALSE(CheckRunFiles(t, 3, 4).ok);
  // A log without its closing line.
  FullRun(t);
  std::ofstream(fs::path(t) / "KRIGING.LOG") << "I-  ...\n\n    Factorizando ...\n";
  r = CheckRunFiles(t, 3, 4);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("KRIGING.LOG"), std::string::npos) << r.message;
}

TEST_F(FolderTest, DefaultFolderIsBesideTheDataOrInTheUsersFolder) {
  const fs::path data = dir_ / "suelo.dae";
  std::ofstream(data) << "x";
  EXPECT_EQ(DefaultResultsFolder(data.string(), "/usuario"), (dir_ / "suelo_resultados").string());
  // Where that folder cannot be made (a file holds its name), the user's.
  std::ofstream(dir_ / "suelo_resultados") << "un archivo";
  EXPECT_EQ(DefaultResultsFolder(data.string(), "/usuario"), "/usuario/suelo_resultados");
  // A read-only data folder (for a user who is not root).
  if (::geteuid() != 0) {
    const fs::path ro = dir_ / "ro";
    fs::create_directories(ro);
    std::ofstream(ro / "a.dae") << "x";
    fs::permissions(ro, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(DefaultResultsFolder((ro / "a.dae").string(), "/usuario"), "/usuario/a_resultados");
    fs::permissions(ro, fs::perms::owner_all);
  }
  // The session: a chosen folder holds for its data file only.
  KrigingSession s;
  s.dataFile = data.string();
  s.chosenFolder = "/elegida";
  s.chosenFolderFor = data.string();
  EXPECT_EQ(SessionResultsFolder(s, "/usuario"), "/elegida");
  s.dataFile = (dir_ / "otro.dae").string();
  EXPECT_EQ(SessionResultsFolder(s, "/usuario"), (dir_ / "otro_resultados").string());
}

TEST(ResourceEstimate, GrowsAsTheGlobalSystemAndRefusesWhatCannotFit) {
  // Memory: the engine's n x n system, half of it for ordinary kriging.
  const ResourceEstimate o = EstimateResources(10000, 10000, 0);
  const ResourceEstimate u = EstimateResources(10000, 10000, 2);
  EXPECT_GT(o.bytes, 0.5 * 8.0 * 1e8);   // at least the packed half of 10^8 doubles
  EXPECT_LT(o.bytes, 2.0 * 8.0 * 1e8);
  EXPECT_GT(u.bytes, 8.0 * 1e8);         // at least the whole matrix
  EXPECT_GT(u.seconds, o.seconds);
  // Doubling n: 4 times the memory of the system, at least 4 times the time.
  const ResourceEstimate o2 = EstimateResources(20000, 10000, 0);
  EXPECT_NEAR((o2.bytes - 40e6) / (o.bytes - 40e6), 4.0, 0.01);
  EXPECT_GE(o2.seconds / o.seconds, 4.0);
  // The 100000 points: tens of gigabytes.
  EXPECT_GT(EstimateResources(100000, 2500, 0).bytes, 40e9);

  ResourceEstimate e;
  e.bytes = 60e9, e.seconds = 5000, e.available = 20e9;
  Result r = CheckResources(e);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("60,0 GB de memoria (hay 20,0 GB disponibles)"), std::string::npos) << r.message;
  EXPECT_NE(r.message.find("1 h 23 min"), std::string::npos) << r.message;
  EXPECT_NE(r.message.find("Kriging Local"), std::string::npos) << r.message;
  e.bytes = 1e9, e.seconds = 120;
  r = CheckResources(e);
  EXPECT_TRUE(r.ok);
  EXPECT_NE(r.message.find("será lento o grande"), std::string::npos) << r.message;
  EXPECT_NE(r.message.find("2 min 0 s"), std::string::npos) << r.message;
  e.bytes = 1e8, e.seconds = 2;
  r = CheckResources(e);
  EXPECT_TRUE(r.ok);
  EXPECT_TRUE(r.message.empty()) << r.message;
  EXPECT_GT(AvailableMemory(), 0.0);
}
