// Saving the data set and opening it again gives the same values, bit for bit.
#include "core/data_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <unistd.h>

using namespace sorvan::core;
namespace fs = std::filesystem;

namespace {

std::string Font(const std::string& relative) {
  const char* dir = std::getenv("SORVAN_SOURCE_DIR");
  return std::string(dir ? dir : ".") + "/" + relative;
}

// Same bits, NaN included.
bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

class DataWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("escribe_datos_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

}  // namespace

TEST(NumberText, ShortestTextThatReadsBackTheSameDouble) {
  for (double v : {0.1, 1.0 / 3.0, 9100000.3, -2.5e-300, 181072.0, 6.929517, 1e22})
    EXPECT_EQ(std::strtod(NumberText(v).c_str(), nullptr), v) << NumberText(v);
  EXPECT_EQ(NumberText(0.1), "0.1");
  EXPECT_EQ(NumberText(-7.25, ','), "-7,25");
  EXPECT_EQ(NumberText(std::nan("")), "");
}

TEST_F(DataWriterTest, DaeEditSaveOpenGivesTheSameValuesBitForBit) {
  SpatialData d;
  ASSERT_TRUE(ReadData(Font("examples/meuse.dae"), d).ok);
  // Edits: a value with many digits, a missing value, a tiny one.
  d.matrix[2 * size_t(d.N) + 4] = 1.0 / 3.0;
  d.matrix[3 * size_t(d.N) + 10] = std::numeric_limits<double>::quiet_NaN();
  d.matrix[7] = 9100000.3;
  const std::string path = (dir_ / "meuse_editado.dae").string();
  ASSERT_TRUE(WriteDae(path, d).ok);
  SpatialData e;
  Result r = ReadData(path, e);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_TRUE(r.message.empty()) << r.message;
  EXPECT_TRUE(SameBits(d.matrix, e.matrix));
  EXPECT_EQ(d.names, e.names);
  EXPECT_EQ(d.descriptions, e.descriptions);
  EXPECT_EQ(d.title, e.title);
  EXPECT_EQ(e.missing(4), 1);
}

TEST_F(DataWriterTest, CsvWithDecimalCommasAndMissingValuesReadsBack) {
  SpatialData d;
  ASSERT_TRUE(ReadData(Font("examples/meuse.dae"), d).ok);
  d.matrix[5 * size_t(d.N)] = std::numeric_limits<double>::quiet_NaN();
  d.matrix[size_t(d.N) - 1] = -0.125;
  for (char sep : {';', '\t', ' ', ','}) {
    TextFormat f;
    f.separator = sep;
    f.decimal = ',';
    const std::string path = (dir_ / "meuse.csv").string();
    ASSERT_TRUE(WriteDelimitedText(path, d, f).ok);
    SpatialData e;
    Result r = ReadDelimitedText(path, e);  // format detected
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_TRUE(SameBits(d.matrix, e.matrix)) << int(sep);
    EXPECT_EQ(e.nameWithoutBlanks(4), "logzinc");
  }
}

TEST_F(DataWriterTest, TheExtensionChoosesTheFormat) {
  SpatialData d;
  ASSERT_TRUE(ReadData(Font("examples/meuse.dae"), d).ok);
  for (const char* nombre : {"a.dae", "a.csv", "a.tsv", "a.TXT"}) {
    const std::string path = (dir_ / nombre).string();
    ASSERT_TRUE(WriteData(path, d).ok);
    SpatialData e;
    Result r = IsDelimitedText(path) ? ReadDelimitedText(path, e) : ReadData(path, e);
    ASSERT_TRUE(r.ok) << nombre << ": " << r.message;
    EXPECT_TRUE(SameBits(d.matrix, e.matrix)) << nombre;
  }
}
