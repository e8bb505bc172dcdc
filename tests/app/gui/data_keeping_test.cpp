// Data kept in the desktop program: the text import dialog, saving (and the
// question before unsaved edits are lost), undo, and blocks through the
// clipboard.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "core/spatial_data.h"
#include "core/kriging_session.h"
#include "gui/charts/surface_export.h"
#include "gui/frmDatos.h"
#include "gui/frmImportarTexto.h"
#include "gui/frmMain.h"
#include "gui/kriging/frmOpKriging.h"
#include "gui/kriging/duplicates_question.h"
#include "gui_test_support.h"
#include "platform/data_grid.h"

using namespace sorvan::core;
using namespace sorvan::platform;
using namespace sorvan::gui;

using test_data::OnModalShown;
using test_data::Reply;

namespace {

QString meuse() { return QString::fromLocal8Bit(qgetenv("SORVAN_SOURCE_DIR")) + "/examples/meuse.dae"; }

void escribir(const QString& path, const QByteArray& content) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(content);
}

// Saves a picture of `w` as docs/screenshots/<nombre> when SORVAN_CAPTURAS is set.
void Capture(QWidget* w, const char* nombre) {
  if (qEnvironmentVariableIsEmpty("SORVAN_CAPTURAS") || w == nullptr) return;
  QApplication::processEvents();
  w->grab().save(qEnvironmentVariable("SORVAN_SOURCE_DIR") + "/docs/screenshots/" + QString::fromLatin1(nombre));
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

class SavedDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    window_ = std::make_unique<frmDatos>(data_);
    window_->resize(700, 500);
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    ASSERT_TRUE(window_->IniData(meuse()));
    g_ = window_->MSFGrid();
  }
  void TearDown() override {
    // Nothing to ask on the way out.
    if (window_->Modified()) {
      Reply<QMessageBox> no([](QMessageBox* m) { m->button(QMessageBox::No)->click(); });
      window_->close();
    }
  }
  // Types `text` over cell (fila, col) and commits it with Enter.
  void types(int row, int col, const QString& text) {
    g_->SetCurrentCell(row, col);
    g_->setFocus();
    QTest::keyClick(g_, text.at(0).toLatin1());
    QTest::keyClicks(window_->TxtEdit(), text.mid(1));
    QTest::keyClick(window_->TxtEdit(), Qt::Key_Return);
  }
  QTemporaryDir dir_;
  sorvan::core::SpatialData data_;
  std::unique_ptr<frmDatos> window_;
  DataGrid* g_ = nullptr;
};

}  // namespace

TEST_F(SavedDataTest, EditSaveAndOpenGiveTheSameValuesBitForBit) {
  EXPECT_FALSE(window_->Modified());
  types(2, 3, "1234.5678901");
  g_->SetCurrentCell(7, 4);
  QTest::keyClick(g_, Qt::Key_Space);
  window_->TxtEdit()->clear();
  QTest::keyClick(window_->TxtEdit(), Qt::Key_Return);
  EXPECT_TRUE(window_->Modified());
  EXPECT_TRUE(window_->windowTitle().endsWith(" *")) << window_->windowTitle().toStdString();
  const QString path = dir_.filePath("editado.dae");
  ASSERT_TRUE(window_->SaveTo(path));
  EXPECT_FALSE(window_->Modified());
  EXPECT_EQ(window_->Path(), path);
  sorvan::core::SpatialData readItems;
  ASSERT_TRUE(sorvan::core::ReadData(QFile::encodeName(path).toStdString(), readItems).ok);
  EXPECT_TRUE(SameBits(readItems.matrix, data_.matrix));
  EXPECT_EQ(readItems.value(2, 3), 1234.5678901);
  EXPECT_TRUE(std::isnan(readItems.value(7, 4)));
}

TEST_F(SavedDataTest, UndoGoesBackMoreThanAHundredEditsInOrder) {
  const std::vector<double> original = data_.matrix;
  // 120 steps: typed edits and pasted blocks.
  for (int i = 1; i <= 60; ++i) types(i, 3, QString::number(i * 10));
  for (int i = 1; i <= 60; ++i) ASSERT_TRUE(window_->PasteText(QStringLiteral("1\t2\n3\t4\n"), i, 5));
  EXPECT_EQ(data_.value(60, 3), 600.0);
  EXPECT_EQ(data_.value(61, 6), 4.0);
  for (int k = 0; k < 120; ++k) {
    ASSERT_TRUE(window_->CanUndo()) << k;
    window_->Undo();
  }
  EXPECT_FALSE(window_->CanUndo());
  EXPECT_TRUE(SameBits(data_.matrix, original));
  EXPECT_EQ(g_->TextMatrix(60, 3), frmDatos::ValueText(original[2 * size_t(data_.N) + 59]));
  EXPECT_EQ(data_.maximum[2], 1839.0);  // the extremes follow
}

TEST_F(SavedDataTest, CopyCutAndPasteTabSeparatedBlocks) {
  // Rows 1-2 of x, y, zinc.
  g_->SetCurrentCell(1, 1);
  g_->selectionModel()->select(QItemSelection(g_->model()->index(0, 0), g_->model()->index(1, 2)),
                               QItemSelectionModel::ClearAndSelect);
  window_->Copy();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("181072\t333611\t1022\n181025\t333558\t1141\n"));
  // Pasted lower down, as a spreadsheet would paste it (with "\r\n" and a decimal comma).
  QGuiApplication::clipboard()->setText(QStringLiteral("1,5\t\t7\r\n8\tNA\t9\r\n"));
  g_->clearSelection();
  g_->SetCurrentCell(10, 2);
  window_->Paste();
  EXPECT_EQ(data_.value(10, 2), 1.5);
  EXPECT_TRUE(std::isnan(data_.value(10, 3)));
  EXPECT_EQ(data_.value(10, 4), 7.0);
  EXPECT_EQ(data_.value(11, 2), 8.0);
  EXPECT_TRUE(std::isnan(data_.value(11, 3)));
  // Cut: the block goes to the clipboard and becomes missing; one undo brings it back.
  g_->SetCurrentCell(1, 3);
  g_->selectionModel()->select(QItemSelection(g_->model()->index(0, 2), g_->model()->index(2, 2)),
                               QItemSelectionModel::ClearAndSelect);
  window_->Cut();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("1022\n1141\n640\n"));
  EXPECT_EQ(data_.missing(3), 3 + 2);
  window_->Undo();
  EXPECT_EQ(data_.value(3, 3), 640.0);
  // Text that is not a number pastes nothing, with a message naming the cell.
  QString warning;
  Reply<QMessageBox> box([&](QMessageBox* m) {
    warning = m->text();
    m->accept();
  });
  g_->clearSelection();
  g_->SetCurrentCell(20, 1);
  EXPECT_FALSE(window_->PasteText(QStringLiteral("1\t2\nx\t4\n"), 20, 1));
  EXPECT_TRUE(warning.contains("\"x\"") && warning.contains("fila 21")) << warning.toStdString();
  EXPECT_NE(data_.value(20, 1), 1.0);
}

TEST_F(SavedDataTest, ClosingWithUnsavedEditsAsksAndCancelKeepsThem) {
  types(3, 3, "5");
  QString question;
  {
    Reply<QMessageBox> cancels([&](QMessageBox* m) {
      question = m->text();
      m->button(QMessageBox::Cancel)->click();
    });
    EXPECT_FALSE(window_->close());
  }
  EXPECT_EQ(question, QStringLiteral("¿Guardar los cambios en los datos \"meuse.dae\"?"));
  EXPECT_TRUE(window_->isVisible());
  EXPECT_TRUE(window_->Modified());
  // "Sí" saves to the file it came from: here a copy.
  const QString copy = dir_.filePath("copia.dae");
  ASSERT_TRUE(QFile::copy(meuse(), copy));
  ASSERT_TRUE(window_->IniData(copy));
  types(3, 3, "5");
  {
    Reply<QMessageBox> yes([](QMessageBox* m) { m->button(QMessageBox::Yes)->click(); });
    EXPECT_TRUE(window_->close());
  }
  sorvan::core::SpatialData readItems;
  ASSERT_TRUE(sorvan::core::ReadData(QFile::encodeName(copy).toStdString(), readItems).ok);
  EXPECT_EQ(readItems.value(3, 3), 5.0);
}

TEST_F(SavedDataTest, TheImportDialogShowsTheDetectedFormatAndTakesCorrections) {
  const QString csv = dir_.filePath("suelo.csv");
  escribir(csv, "este;norte;zinc;nota\r\n181072,5;333611;1022;a\r\n181025;333558;-9999;b\r\n181165;333537;640,25;c\r\n");
  int separator = -1, decimal = -1, rows = -1;
  QString header;
  Reply<frmImportarTexto> dialog([&](frmImportarTexto* d) {
    separator = d->CboSeparador->currentIndex();
    decimal = d->CboDecimal->currentIndex();
    rows = d->TblVista->rowCount();
    header = d->TblVista->horizontalHeaderItem(2)->text();
    d->TxtAusente->setText("-9999");
    Capture(d, "import_dialog.png");
    d->accept();
  });
  Reply<QMessageBox> warning([](QMessageBox* m) { m->accept(); });  // the text column left out
  ASSERT_TRUE(window_->IniData(csv));
  EXPECT_EQ(separator, 1);  // semicolon
  EXPECT_EQ(decimal, 1);    // comma
  EXPECT_EQ(rows, 3);
  EXPECT_EQ(header, "zinc");
  ASSERT_EQ(data_.nvar, 3);
  EXPECT_EQ(data_.value(1, 1), 181072.5);
  EXPECT_TRUE(std::isnan(data_.value(2, 3)));
  EXPECT_EQ(data_.value(3, 3), 640.25);
  EXPECT_EQ(g_->TextMatrix(0, 2), "norte");
  EXPECT_EQ(g_->TextMatrix(2, 3), QString());

  // Corrected to the wrong separator, the file is one text column: refused,
  // and the data loaded stay.
  Reply<frmImportarTexto> bad([&](frmImportarTexto* d) {
    d->CboSeparador->setCurrentIndex(0);
    d->accept();
  });
  QString error;
  Reply<QMessageBox> box([&](QMessageBox* m) {
    error = m->text();
    m->accept();
  });
  EXPECT_FALSE(window_->IniData(csv));
  EXPECT_TRUE(error.contains("suelo.csv")) << error.toStdString();
  EXPECT_EQ(data_.value(3, 3), 640.25);
}

TEST(MainWindowDataTest, OpeningAnotherFileAsksFirstAndNewMakesAnEmptyTable) {
  frmMain w;
  w.show();
  ASSERT_TRUE(w.OpenData(meuse()));
  frmDatos* d = w.Data();
  d->PasteText(QStringLiteral("1"), 1, 1);
  ASSERT_TRUE(d->Modified());
  auto* save = w.findChild<QAction*>(QStringLiteral("mnuGuardar"));
  auto* undo = w.findChild<QAction*>(QStringLiteral("mnuDeshacer"));
  ASSERT_TRUE(save && undo);
  EXPECT_TRUE(save->isEnabled());
  EXPECT_TRUE(undo->isEnabled());
  {
    Reply<QMessageBox> cancels([](QMessageBox* m) { m->button(QMessageBox::Cancel)->click(); });
    EXPECT_FALSE(w.OpenData(meuse()));
  }
  EXPECT_EQ(w.OwnSession().data.value(1, 1), 1.0);  // the edit is still there
  undo->trigger();
  EXPECT_EQ(w.OwnSession().data.value(1, 1), 181072.0);
  EXPECT_FALSE(undo->isEnabled());
  EXPECT_FALSE(d->Modified());  // undone back to the file's values

  // "New": column names, then the number of rows; every cell empty.
  int questions = 0;
  Reply<QInputDialog> input(
      [&](QInputDialog* dlg) {
        if (questions++ == 0)
          dlg->setTextValue("este, norte, plomo");
        else
          dlg->setIntValue(5);
        dlg->accept();
      },
      2);
  w.findChild<QAction*>(QStringLiteral("mnuNuevo"))->trigger();
  ASSERT_EQ(w.OwnSession().data.nvar, 3);
  EXPECT_EQ(w.OwnSession().data.N, 5);
  EXPECT_EQ(w.OwnSession().data.missing(3), 5);
  EXPECT_EQ(d->MSFGrid()->TextMatrix(0, 3), "plomo");
  EXPECT_EQ(d->windowTitle(), "Sin título");
  // Closing the program with edits asks; "No" lets it close.
  d->PasteText(QStringLiteral("1\t2\t3"), 1, 1);
  QString question;
  Reply<QMessageBox> no([&](QMessageBox* m) {
    question = m->text();
    m->button(QMessageBox::No)->click();
  });
  EXPECT_TRUE(w.close());
  EXPECT_TRUE(question.contains("Sin título")) << question.toStdString();
}

TEST(MainWindowDataTest, InformationSummarisesTheDataSet) {
  QTemporaryDir dir;
  const QString csv = dir.filePath("muestras.csv");
  escribir(csv, "x,y,zinc,plomo\n181072,333611,1022,299\n181025,333558,NA,277\n181165,333537,640,\n"
                "181298,333484,257,116\n181307,333330,,117\n");
  frmMain w;
  w.resize(900, 600);
  w.show();
  Reply<frmImportarTexto> accepts([](frmImportarTexto* d) { d->accept(); });
  ASSERT_TRUE(w.OpenData(csv));
  QString info;
  Reply<QMessageBox> box([&](QMessageBox* m) {
    info = m->text();
    Capture(m, "data_information.png");
    m->accept();
  });
  Capture(&w, "data_missing_values.png");
  w.findChild<QAction*>(QStringLiteral("mnuInformacion"))->trigger();
  EXPECT_TRUE(info.contains("Filas: 5")) << info.toStdString();
  EXPECT_TRUE(info.contains("zinc: 2, 257, 1022, 639.6666667")) << info.toStdString();
  EXPECT_TRUE(info.contains("plomo: 1, 116, 299, 202.25")) << info.toStdString();
  EXPECT_TRUE(info.contains("Sistema de referencia: desconocido")) << info.toStdString();
}

TEST(DuplicatePointsTest, TheRowsAreNamedAndTheChoiceBecomesTheRunsPolicy) {
  sorvan::core::KrigingSession s;
  std::istringstream in("t\n3,5\nx,,0\ny,,0\nz,,0\n0,0,1\n5,5,2\n0,0,3\n9,1,4\nNA,NA,5\n");
  ASSERT_TRUE(sorvan::core::ReadData(in, "t.dae", s.data).ok);
  QString text;
  const char* buttons[] = {"CoPromediar", "CoPrimero"};
  const sorvan::core::DuplicatePolicy expectedOnes[] = {sorvan::core::DuplicatePolicy::Average,
                                                  sorvan::core::DuplicatePolicy::First};
  for (int k = 0; k < 2; ++k) {
    s.duplicates = sorvan::core::DuplicatePolicy::Error;
    Reply<QMessageBox> box([&](QMessageBox* m) {
      text = m->text();
      m->findChild<QPushButton*>(QString::fromLatin1(buttons[k]))->click();
    });
    EXPECT_TRUE(ChooseDuplicatePolicy(nullptr, s));
    EXPECT_EQ(s.duplicates, expectedOnes[k]);
  }
  EXPECT_TRUE(text.contains("filas 1 y 3")) << text.toStdString();
  // Once chosen it is not asked again; cancelled, the run does not start.
  EXPECT_TRUE(ChooseDuplicatePolicy(nullptr, s));
  s.duplicates = sorvan::core::DuplicatePolicy::Error;
  Reply<QMessageBox> cancels([](QMessageBox* m) { m->reject(); });
  EXPECT_FALSE(ChooseDuplicatePolicy(nullptr, s));
  EXPECT_EQ(s.duplicates, sorvan::core::DuplicatePolicy::Error);
}

TEST(SurfaceExportTest, TheRunsSurfacesGoOutInTheFormatOfTheExtension) {
  EXPECT_EQ(ExportDialogFilter(),
            "GeoTIFF (*.tif *.tiff)|*.tif;*.tiff|Rejilla ESRI ASCII (*.asc)|*.asc|"
            "Rejilla de texto (DSAA) (*.grd)|*.grd|Nodos CSV (*.csv)|*.csv");
  sorvan::core::KrigingSession s;
  QTemporaryDir dir;
  // No run yet: a message, no file.
  QString warning;
  {
    Reply<QMessageBox> box([&](QMessageBox* m) {
      warning = m->text();
      m->accept();
    });
    EXPECT_FALSE(ExportSurfacesTo(nullptr, s, dir.filePath("m.asc")));
  }
  EXPECT_TRUE(warning.contains("No hay superficies")) << warning.toStdString();
  s.hasSurfaces = true;
  s.surfaces.nx = 3;
  s.surfaces.ny = 2;
  s.surfaces.xMin = 10;
  s.surfaces.yMin = 20;
  s.surfaces.dx = s.surfaces.dy = 5;
  s.surfaces.SupPred = {1, 2, 3, 4, 5, 6};
  s.surfaces.SupVar = {0.5f, 0.5f, 0.5f, 1, 1, 1};
  QStringList written;
  ASSERT_TRUE(ExportSurfacesTo(nullptr, s, dir.filePath("m.asc"), &written));
  EXPECT_EQ(written, (QStringList{dir.filePath("m.asc"), dir.filePath("m_var.asc")}));
  QFile f(dir.filePath("m.asc"));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  // Rows from the top: the second row of nodes first; the corner half a cell before the first node.
  EXPECT_EQ(QString::fromUtf8(f.readAll()),
            "ncols 3\nnrows 2\nxllcorner 7.5\nyllcorner 17.5\ncellsize 5\n"
            "NODATA_value -3.4028234663852886e+38\n4 5 6\n1 2 3\n");
}

TEST(SaveFrameTest, TheSurfacesTabShowsAndReturnsTheExportNames) {
  sorvan::core::SpatialData data;
  ASSERT_TRUE(sorvan::core::ReadData(QFile::encodeName(meuse()).toStdString(), data).ok);
  sorvan::core::OpcionesKriging op;
  ASSERT_TRUE(sorvan::core::OpcionesPorDefecto(data, 1, 2, op).ok);
  op.GuardarPred = "zinc.tif";
  frmOpKriging dlg(op, data, 1, 2);
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  EXPECT_EQ(dlg.TxtGuardarPred->text(), "zinc.tif");
  EXPECT_EQ(dlg.TxtGuardarVar->text(), "");
  EXPECT_TRUE(dlg.TxtGuardarPred->isEnabled());
  dlg.Pestanas->setCurrentIndex(4);
  dlg.TxtGuardarPred->setText(" mapa.asc ");
  dlg.TxtGuardarVar->setText("/tmp/var.grd");
  if (!qEnvironmentVariableIsEmpty("SORVAN_CAPTURAS")) {
    QTest::qWait(50);
    dlg.grab().save(qEnvironmentVariable("SORVAN_SOURCE_DIR") + "/docs/screenshots/options_5.png");
  }
  QTest::mouseClick(dlg.CoAceptar, Qt::LeftButton);
  EXPECT_EQ(op.GuardarPred, "mapa.asc");
  EXPECT_EQ(op.GuardarVar, "/tmp/var.grd");
}

int main(int argc, char** argv) {
  return test_data::RunTests(argc, argv, {.forgottenModalMs = 10000, .ownSettings = true});
}
