// A large data file in the data window: the reading and the saving run off
// the window's thread (the event loop keeps turning), and "Cancelar" leaves
// the previous data set, the grid and the file on disk as they were.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>

#include "core/spatial_data.h"
#include "gui/frmDatos.h"
#include "gui_test_support.h"
#include "platform/data_grid.h"
#include "platform/tarea_con_progreso.h"

using namespace sorvan::core;
using namespace sorvan::platform;
using namespace sorvan::gui;

namespace {

constexpr int kFilas = 300000;
constexpr int kVariables = 6;

// Value of row i (0-based) of variable k (0-based): whole numbers, exact in text.
double Valor(int i, int k) { return double((i * (k + 3)) % 100003) + k; }

// A ".dae" file of kFilas rows, written once for the whole program.
QString ArchivoGrande(const test_data::TemporaryFolder& folder) {
  const QString path = folder.filePath(QStringLiteral("grande.dae"));
  std::string t = "\"Grande\"\n" + std::to_string(kVariables) + "," + std::to_string(kFilas) + "\n";
  for (int k = 0; k < kVariables; ++k) t += "\"v" + std::to_string(k + 1) + "\",\"variable\",0\n";
  char line[32];
  for (int i = 0; i < kFilas; ++i)
    for (int k = 0; k < kVariables; ++k) {
      std::snprintf(line, sizeof line, "%.0f%c", Valor(i, k), k + 1 < kVariables ? ',' : '\n');
      t += line;
    }
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(t.data(), qint64(t.size())) != qint64(t.size())) return {};
  return path;
}

class LargeDataTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    grande_ = ArchivoGrande(folder_);
    ASSERT_FALSE(grande_.isEmpty());
    ventana_ = std::make_unique<frmDatos>(datos_);
    ventana_->resize(600, 400);
    ventana_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(ventana_.get()));
    ASSERT_TRUE(ventana_->IniData(QString::fromLocal8Bit(qgetenv("SORVAN_SOURCE_DIR")) + "/examples/meuse.dae"));
  }
  void TearDown() override { TareaConProgreso::retardoDialogoMs = retardo_; }

  // Presses "Cancelar" on the progress box as soon as it shows, at once.
  std::unique_ptr<test_data::Respuesta<QProgressDialog>> cancelaAlAparecer() {
    TareaConProgreso::retardoDialogoMs = 0;
    return std::make_unique<test_data::Respuesta<QProgressDialog>>([](QProgressDialog* p) {
      QPushButton* cancelar = p->findChild<QPushButton*>();
      ASSERT_NE(cancelar, nullptr);
      EXPECT_EQ(cancelar->text(), QStringLiteral("Cancelar"));
      cancelar->click();
    });
  }

  test_data::TemporaryFolder folder_;
  QString grande_;
  sorvan::core::SpatialData datos_;
  std::unique_ptr<frmDatos> ventana_;
  const int retardo_ = TareaConProgreso::retardoDialogoMs;
};

TEST_F(LargeDataTest, TheEventLoopKeepsTurningWhileALargeFileLoads) {
  int tics = 0;
  QTimer reloj;
  QObject::connect(&reloj, &QTimer::timeout, [&tics] { ++tics; });
  reloj.start(5);
  ASSERT_TRUE(ventana_->IniData(grande_));
  reloj.stop();
  EXPECT_GT(tics, 0);
  ASSERT_EQ(datos_.N, kFilas);
  ASSERT_EQ(datos_.nvar, kVariables);
  EXPECT_EQ(datos_.value(kFilas, kVariables), Valor(kFilas - 1, kVariables - 1));
  EXPECT_EQ(ventana_->MSFGrid()->Rows(), kFilas + 1);
  EXPECT_EQ(ventana_->MSFGrid()->TextMatrix(kFilas, 0), QString::number(kFilas));
}

TEST_F(LargeDataTest, CancellingTheLoadKeepsThePreviousDataSetAndGrid) {
  const sorvan::core::SpatialData antes = datos_;
  const auto cancelar = cancelaAlAparecer();
  EXPECT_FALSE(ventana_->IniData(grande_));
  EXPECT_TRUE(cancelar->vista());
  EXPECT_EQ(datos_.N, antes.N);
  EXPECT_EQ(datos_.names, antes.names);
  EXPECT_EQ(datos_.matrix, antes.matrix);
  EXPECT_EQ(ventana_->MSFGrid()->Rows(), antes.N + 1);
  EXPECT_EQ(ventana_->MSFGrid()->TextMatrix(0, 3), QStringLiteral("zinc"));
  EXPECT_FALSE(ventana_->Modificado());
}

TEST_F(LargeDataTest, CancellingTheSaveLeavesTheFileOnDiskAsItWas) {
  ASSERT_TRUE(ventana_->IniData(grande_));
  const QString destination = folder_.filePath(QStringLiteral("destino.dae"));
  const QByteArray previo = "\"Previo\"\n1,1\n\"a\",\"a\",0\n7\n";
  {
    QFile f(destination);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(previo), previo.size());
  }
  const auto cancelar = cancelaAlAparecer();
  EXPECT_FALSE(ventana_->GuardarEn(destination));
  EXPECT_TRUE(cancelar->vista());
  QFile f(destination);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), previo);
  // No temporary file is left beside it.
  EXPECT_EQ(QDir(folder_.path()).entryList(QDir::Files).size(), 2);
}

}  // namespace

int main(int argc, char** argv) {
  return test_data::EjecutaPruebas(argc, argv, {.modalOlvidadoMs = 60000, .ajustesPropios = true});
}
