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
class Pulso {
 public:
  Pulso() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const qint64 hueco = ultimo_.restart();
      maximo_ = std::max(maximo_, hueco);
      if (hueco > 300) std::printf("  pausa de %.2f s, a los %.2f s del paso\n", hueco / 1000.0, paso_.elapsed() / 1000.0);
    });
    timer_.start(10);
    ultimo_.start();
    paso_.start();
  }
  void Reinicia() {
    paso_.restart();
    ultimo_.restart();
    maximo_ = 0;
  }
  qint64 Maximo() {
    maximo_ = std::max(maximo_, ultimo_.elapsed());
    return maximo_;
  }

 private:
  QTimer timer_;
  QElapsedTimer ultimo_, paso_;
  qint64 maximo_ = 0;
};

// Lets the event loop run until `done` holds (or `limiteMs`).
template <class F>
void Espera(F done, int limiteMs = 600000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < limiteMs) QTest::qWait(20);
}

void Informa(const char* step, const QElapsedTimer& reloj, Pulso& pulso) {
  std::printf("%-34s %8.2f s   pausa más larga %6.2f s\n", step, reloj.elapsed() / 1000.0, pulso.Maximo() / 1000.0);
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
  frmMain principal;
  principal.resize(1200, 900);
  principal.show();
  (void)QTest::qWaitForWindowExposed(&principal);
  Pulso pulso;
  QElapsedTimer reloj;

  // Opening the file: done when the data window shows the rows.
  pulso.Reinicia();
  reloj.start();
  // A delimited text file goes through the import dialog: accepted as detected.
  test_data::Respuesta<frmImportarTexto> importar([](frmImportarTexto* d) { d->accept(); });
  principal.AbrirDatos(file);
  Espera([&] { return !principal.Sesion().data.empty(); });
  Informa("abrir el archivo", reloj, pulso);
  if (principal.Sesion().data.empty()) return 1;

  // The data window: to the last row and back.
  pulso.Reinicia();
  reloj.start();
  DataGrid* grid = principal.Datos()->MSFGrid();
  grid->SetCurrentCell(grid->Rows() - 1, 1);
  QTest::qWait(200);
  grid->SetCurrentCell(1, 1);
  QTest::qWait(200);
  Informa("rejilla: a la última fila y vuelta", reloj, pulso);

  pulso.Reinicia();
  reloj.start();
  {
    test_data::Respuesta<QMessageBox> caja([](QMessageBox* b) { b->accept(); });
    QMetaObject::invokeMethod(principal.findChild<QAction*>(QStringLiteral("mnuInformacion")), "trigger");
    Espera([&] { return caja.vista(); }, 60000);
  }
  Informa("Información", reloj, pulso);

  pulso.Reinicia();
  reloj.start();
  principal.Datos()->GuardarEn(QDir(folder.path()).filePath(QStringLiteral("antes.") + QFileInfo(file).suffix()));
  Informa("guardar los datos (sin gráficos)", reloj, pulso);

  // A local run with the charts and an export; done when the surfaces are in.
  sorvan::core::KrigingSession& session = principal.Sesion();
  session.chosenFolder = QFile::encodeName(folder.path()).toStdString();
  session.chosenFolderFor = session.dataFile;
  QElapsedTimer abierto;
  qint64 msDialogo = -1;
  test_data::Respuesta<frmOpKriging> options([&](frmOpKriging* d) {
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
  test_data::Respuesta<frmKriging2D> dialogo([&](frmKriging2D* d) {
    msDialogo = abierto.elapsed();
    d->ComboZ->setCurrentIndex(d->ComboZ->findText(QStringLiteral("z"), Qt::MatchStartsWith));
    QTest::mouseClick(d->CoOpciones, Qt::LeftButton);
    QTest::mouseClick(d->CoAceptar, Qt::LeftButton);
  });
  test_data::Respuesta<QMessageBox> warnings([](QMessageBox* b) {
    std::printf("  (aviso: %s)\n", qPrintable(b->text().left(160)));
    b->accept();
  }, 5, 600000);
  pulso.Reinicia();
  reloj.start();
  abierto.start();
  MostrarKriging2D(principal);
  Espera([&] { return session.hasSurfaces; });
  Informa("kriging local (diálogos, run, gráficos)", reloj, pulso);
  std::printf("  diálogo kriging visible tras %.2f s\n", msDialogo / 1000.0);

  // The chart windows draw themselves once the run has handed them over.
  pulso.Reinicia();
  reloj.start();
  QTest::qWait(3000);
  Informa("primer dibujo de los gráficos (3 s)", reloj, pulso);

  // "Guardar como..." on a surface window, in each format.
  for (const char* ext : {"tif", "asc", "grd", "csv"}) {
    pulso.Reinicia();
    reloj.start();
    ExportSurfacesTo(&principal, session, QDir(folder.path()).filePath(QStringLiteral("superficie.") + ext));
    const std::string step = std::string("exportar las superficies (.") + ext + ")";
    Informa(step.c_str(), reloj, pulso);
  }

  pulso.Reinicia();
  reloj.start();
  const QString copia = QDir(folder.path()).filePath(QStringLiteral("copia.") + QFileInfo(file).suffix());
  principal.Datos()->GuardarEn(copia);
  Informa("guardar los datos", reloj, pulso);
  DescargarDialogosKriging();
  return 0;
}
