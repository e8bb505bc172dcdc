// How long the desktop program's window stops answering with a large data
// set: opens the file, shows "Información", runs a local kriging through the
// real dialogs (charts and a GeoTIFF export on), saves the data set, and
// reports per step its wall-clock time and the longest pause of the event
// loop (a 10 ms timer that should keep firing). Run under xvfb:
//
//   bench/make_large_data.py 1000000 /tmp/big
//   xvfb-run -a build/bench/large_data_gui_bench /tmp/big.dae [nodes per side]
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QCheckBox>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include "core/kriging_session.h"
#include "gui/charts/surface_export.h"
#include "gui/frmDatos.h"
#include "gui/frmImportarTexto.h"
#include "gui/frmMain.h"
#include "gui/kriging/frmKriging2D.h"
#include "gui/kriging/frmOpKriging.h"
#include "gui/kriging/kriging_commands.h"
#include "platform/data_grid.h"
#include "gui_test_support.h"

using namespace sorvan::core;
using namespace sorvan::platform;
using namespace sorvan::gui;

namespace {

// The longest gap between two ticks of a 10 ms timer since the last reset.
class Pulse {
 public:
  Pulse() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const qint64 hueco = last_.restart();
      maximo_ = std::max(maximo_, hueco);
      if (hueco > 300) std::printf("  pausa de %.2f s, a los %.2f s del paso\n", hueco / 1000.0, paso_.elapsed() / 1000.0);
    });
    timer_.start(10);
    last_.start();
    paso_.start();
  }
  void Restart() {
    paso_.restart();
    last_.restart();
    maximo_ = 0;
  }
  qint64 Maximo() {
    maximo_ = std::max(maximo_, last_.elapsed());
    return maximo_;
  }

 private:
  QTimer timer_;
  QElapsedTimer last_, paso_;
  qint64 maximo_ = 0;
};

// Lets the event loop run until `done` holds (or `limitMs`).
template <class F>
void Wait(F done, int limitMs = 600000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < limitMs) QTest::qWait(20);
}

void Report(const char* step, const QElapsedTimer& clock, Pulse& pulse) {
  std::printf("%-34s %8.2f s   pausa más larga %6.2f s\n", step, clock.elapsed() / 1000.0, pulse.Maximo() / 1000.0);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "uso: large_data_gui_bench DATOS.dae [nodos por lado]\n");
    return 2;
  }
  const QString file = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
  const QString nodes = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("1000");
  QTemporaryDir folder;
  QDir::setCurrent(folder.path());
  frmMain mainWindow;
  mainWindow.resize(1200, 900);
  mainWindow.show();
  (void)QTest::qWaitForWindowExposed(&mainWindow);
  Pulse pulse;
  QElapsedTimer clock;

  // Opening the file: done when the data window shows the rows.
  pulse.Restart();
  clock.start();
  // A delimited text file goes through the import dialog: accepted as detected.
  test_data::Reply<frmImportarTexto> importReply([](frmImportarTexto* d) { d->accept(); });
  mainWindow.OpenData(file);
  Wait([&] { return !mainWindow.OwnSession().data.empty(); });
  Report("abrir el archivo", clock, pulse);
  if (mainWindow.OwnSession().data.empty()) return 1;

  // The data window: to the last row and back.
  pulse.Restart();
  clock.start();
  DataGrid* grid = mainWindow.Data()->MSFGrid();
  grid->SetCurrentCell(grid->Rows() - 1, 1);
  QTest::qWait(200);
  grid->SetCurrentCell(1, 1);
  QTest::qWait(200);
  Report("rejilla: a la última fila y vuelta", clock, pulse);

  pulse.Restart();
  clock.start();
  {
    test_data::Reply<QMessageBox> box([](QMessageBox* b) { b->accept(); });
    QMetaObject::invokeMethod(mainWindow.findChild<QAction*>(QStringLiteral("mnuInformacion")), "trigger");
    Wait([&] { return box.view(); }, 60000);
  }
  Report("Información", clock, pulse);

  pulse.Restart();
  clock.start();
  mainWindow.Data()->SaveTo(QDir(folder.path()).filePath(QStringLiteral("antes.") + QFileInfo(file).suffix()));
  Report("guardar los datos (sin gráficos)", clock, pulse);

  // A local run with the charts and an export; done when the surfaces are in.
  sorvan::core::KrigingSession& session = mainWindow.OwnSession();
  session.chosenFolder = QFile::encodeName(folder.path()).toStdString();
  session.chosenFolderFor = session.dataFile;
  QElapsedTimer opened;
  qint64 dialogMs = -1;
  test_data::Reply<frmOpKriging> options([&](frmOpKriging* d) {
    d->FraKrigingLocal->setChecked(true);
    d->TxtNVecinos->setText(QStringLiteral("32"));
    d->TxtNMinVecinos->setText(QStringLiteral("8"));
    d->TxtNRx->setText(nodes);
    d->TxtNRy->setText(nodes);
    d->VerSupPred->setChecked(true);
    d->VerSupVar->setChecked(true);
    d->VerAjuste->setChecked(true);
    d->VerEstimadores->setChecked(true);
    d->TxtGuardarPred->setText(QDir(folder.path()).filePath(QStringLiteral("prediccion.tif")));
    QTest::mouseClick(d->CoAceptar, Qt::LeftButton);
  });
  test_data::Reply<frmKriging2D> dialog([&](frmKriging2D* d) {
    dialogMs = opened.elapsed();
    d->ComboZ->setCurrentIndex(d->ComboZ->findText(QStringLiteral("z"), Qt::MatchStartsWith));
    QTest::mouseClick(d->CoOpciones, Qt::LeftButton);
    QTest::mouseClick(d->CoAceptar, Qt::LeftButton);
  });
  test_data::Reply<QMessageBox> warnings([](QMessageBox* b) {
    std::printf("  (aviso: %s)\n", qPrintable(b->text().left(160)));
    b->accept();
  }, 5, 600000);
  pulse.Restart();
  clock.start();
  opened.start();
  ShowKriging2D(mainWindow);
  Wait([&] { return session.hasSurfaces; });
  Report("kriging local (diálogos, run, gráficos)", clock, pulse);
  std::printf("  diálogo kriging visible tras %.2f s\n", dialogMs / 1000.0);

  // The chart windows draw themselves once the run has handed them over.
  pulse.Restart();
  clock.start();
  QTest::qWait(3000);
  Report("primer dibujo de los gráficos (3 s)", clock, pulse);

  // "Save como..." on a surface window, in each format.
  for (const char* ext : {"tif", "asc", "grd", "csv"}) {
    pulse.Restart();
    clock.start();
    ExportSurfacesTo(&mainWindow, session, QDir(folder.path()).filePath(QStringLiteral("superficie.") + ext));
    const std::string step = std::string("exportar las superficies (.") + ext + ")";
    Report(step.c_str(), clock, pulse);
  }

  pulse.Restart();
  clock.start();
  const QString copy = QDir(folder.path()).filePath(QStringLiteral("copia.") + QFileInfo(file).suffix());
  mainWindow.Data()->SaveTo(copy);
  Report("guardar los datos", clock, pulse);
  UnloadKrigingDialogs();
  return 0;
}
