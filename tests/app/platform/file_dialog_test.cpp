// cFileDlg driven through real Qt file dialogs: properties, results of accepted
// and cancelled dialogs, filters, multiple selection and the working folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyle>
#include <QTest>
#include <QTranslator>
#include <QTreeView>

#include "gui_test_support.h"
#include "platform/cFileDlg.h"

using namespace sorvan::platform;

using test_data::OnModalShown;
using test_data::ChooseFile;

namespace {

void create(const QString& path) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("1\n");
}

class FileDialogTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    create(dir_.filePath("uno.dae"));
    create(dir_.filePath("dos.dae"));
    create(dir_.filePath("tres.sup"));
  }
  test_data::TemporaryFolder dir_;  // the current folder is put back when it goes
};

TEST_F(FileDialogTest, ANewObjectHasTheDocumentedDefaults) {
  cFileDlg dlg;
  EXPECT_EQ(dlg.OwnerHwnd, nullptr);
  EXPECT_TRUE(dlg.FileMustExist);
  EXPECT_FALSE(dlg.MultiSelect);
  EXPECT_FALSE(dlg.ReadOnly());
  EXPECT_TRUE(dlg.HideReadOnly);
  EXPECT_TRUE(dlg.Filter.isEmpty());
  EXPECT_EQ(dlg.FilterIndex, 0);
  EXPECT_EQ(dlg.DlgTitle, QStringLiteral("Sorvan"));
  EXPECT_TRUE(dlg.DefaultExt.isEmpty());
  EXPECT_EQ(dlg.Flags, 0);
  EXPECT_TRUE(dlg.OverwritePrompt);
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  EXPECT_EQ(dlg.InitDirectory, QFileInfo(documents).isDir() ? documents : QDir::homePath());
}

TEST_F(FileDialogTest, SpecialFolderFiveIsTheDocumentsFolder) {
  cFileDlg dlg;
  dlg.InitDirectory = "/tmp";
  dlg.InitDirectorySpecial(5);
  EXPECT_EQ(dlg.InitDirectory, cFileDlg().InitDirectory);
  dlg.InitDirectorySpecial(12345);
  EXPECT_EQ(dlg.InitDirectory, QDir::homePath());
}

TEST(FiltersTest, BarsAndColonsBothSeparateThePairs) {
  const QStringList f = cFileDlg::QtFilters("Archivos BMP|*.bmp:Archivos DIB|*.dib");
  ASSERT_EQ(f.size(), 2);
  EXPECT_EQ(f[0], QStringLiteral("Archivos BMP (*.bmp)"));
  EXPECT_EQ(f[1], QStringLiteral("Archivos DIB (*.dib)"));
}

TEST(FiltersTest, StarDotStarMatchesEveryFileAndSemicolonsSplitPatterns) {
  const QStringList f =
      cFileDlg::QtFilters("Imágenes|*.bmp;*.dib|Todos los ficheros (*.*)|*.*");
  ASSERT_EQ(f.size(), 2);
  EXPECT_EQ(f[0], QStringLiteral("Imágenes (*.bmp *.dib)"));
  EXPECT_EQ(f[1], QStringLiteral("Todos los ficheros (*.*) (*)"));
  EXPECT_TRUE(cFileDlg::QtFilters("").isEmpty());
}

TEST_F(FileDialogTest, AcceptedOpenDialogReturnsTheFileAndMovesTheWorkingFolder) {
  cFileDlg dlg;
  dlg.Filter = "Archivos de datos espaciales (*.dae)|*.dae|Todos los ficheros (*.*)|*.*";
  dlg.FilterIndex = 1;
  dlg.InitDirectory = dir_.path();
  dlg.DlgTitle = "Abrir datos";
  QString title, filters;
  OnModalShown([&](QWidget* w) {
    auto* fd = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(fd, nullptr);
    title = fd->windowTitle();
    filters = fd->nameFilters().join(";");
    ChooseFile(fd, dir_.filePath("dos.dae"));
  });
  QString nombre, shortName;
  ASSERT_TRUE(dlg.VBGetOpenFileName(nombre, &shortName));
  EXPECT_EQ(title, QStringLiteral("Abrir datos"));
  EXPECT_TRUE(filters.contains("(*.dae)"));
  EXPECT_EQ(QFileInfo(nombre).canonicalFilePath(), QFileInfo(dir_.filePath("dos.dae")).canonicalFilePath());
  EXPECT_EQ(shortName, QStringLiteral("dos.dae"));
  EXPECT_EQ(dlg.FilterIndex, 1);
  EXPECT_EQ(dlg.Filter, QStringLiteral("*.dae"));
  EXPECT_TRUE(dlg.Flags & cFileDlg::OFN_FILEMUSTEXIST);
  EXPECT_TRUE(dlg.Flags & cFileDlg::OFN_HIDEREADONLY);
  EXPECT_EQ(dlg.InitDirectory, nombre);
  // The engine writes next to the last chosen file.
  EXPECT_EQ(QDir::current().canonicalPath(), QDir(dir_.path()).canonicalPath());
}

// The dialog used to read "Look in:", "File name:", "Open" and "Cancel" in the
// middle of a Spanish program.
TEST_F(FileDialogTest, TheDialogSpeaksSpanish) {
  // With Qt's Spanish texts, as the program runs, the headings and types are
  // longer than the English ones.
  QTranslator qtSpanish;
  const bool translated = qtSpanish.load(QLocale(QLocale::Spanish, QLocale::Spain), QStringLiteral("qtbase"),
                                        QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
  if (translated) QApplication::installTranslator(&qtSpanish);
  for (bool save : {false, true}) {
    cFileDlg dlg;
    dlg.Filter = "Datos|*.dae";
    dlg.InitDirectory = dir_.path();
    QString find, nombre, kind, accept, cancel;
    QSize measure;
    OnModalShown([&](QWidget* w) {
      auto* fd = qobject_cast<QFileDialog*>(w);
      ASSERT_NE(fd, nullptr);
      find = fd->labelText(QFileDialog::LookIn);
      nombre = fd->labelText(QFileDialog::FileName);
      kind = fd->labelText(QFileDialog::FileType);
      accept = fd->labelText(QFileDialog::Accept);
      cancel = fd->labelText(QFileDialog::Reject);
      measure = fd->size();
      // Every column of the detail view shows its heading and texts whole.
      auto* detail = fd->findChild<QTreeView*>(QStringLiteral("treeView"));
      ASSERT_NE(detail, nullptr);
      fd->show();
      QTest::qWait(300);
      QHeaderView* header = detail->header();
      for (int c = 0; c < header->count(); ++c)
        if (!header->isSectionHidden(c)) {
          EXPECT_GE(header->sectionSize(c), header->sectionSizeHint(c)) << "columna " << c;
          if (c == 0) continue;
          // An item's text is drawn with a margin of the focus frame plus one
          // pixel on each side; a narrower column elides it.
          const int margin = 2 * (detail->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, detail) + 1);
          QAbstractItemModel* model = detail->model();
          for (int f = 0; f < model->rowCount(detail->rootIndex()); ++f) {
            const QString text = model->index(f, c, detail->rootIndex()).data().toString();
            EXPECT_GE(header->sectionSize(c), detail->fontMetrics().horizontalAdvance(text) + margin)
                << "columna " << c << ": " << text.toStdString();
          }
        }
      // The places list at the left shows names such as "Documentos" whole
      // ("Equipo" was cut).
      if (QWidget* places = fd->findChild<QWidget*>(QStringLiteral("sidebar")))
        EXPECT_GE(places->width(), places->fontMetrics().horizontalAdvance(QStringLiteral("Documentos")) + 40);
      fd->reject();
    });
    QString file;
    if (save)
      EXPECT_FALSE(dlg.VBGetSaveFileName(file));
    else
      EXPECT_FALSE(dlg.VBGetOpenFileName(file));
    EXPECT_EQ(find, QStringLiteral("Buscar en:"));
    EXPECT_EQ(nombre, QStringLiteral("Nombre:"));
    EXPECT_EQ(kind, QStringLiteral("Tipo:"));
    EXPECT_EQ(accept, save ? QStringLiteral("&Guardar") : QStringLiteral("&Abrir"));
    EXPECT_EQ(cancel, QStringLiteral("Cancelar"));
    EXPECT_GE(measure.width(), 760);
  }
  if (translated) QApplication::removeTranslator(&qtSpanish);
}

// Without Qt's translations the "DialogKind" column read "Folder" and "plain text
// document": folders and files are named in Spanish, headings too.
TEST_F(FileDialogTest, TheTypeColumnNamesFoldersAndFilesInSpanish) {
  ASSERT_TRUE(QDir(dir_.path()).mkdir("sub"));
  cFileDlg dlg;
  dlg.InitDirectory = dir_.path();
  QStringList kindTexts, titles;
  OnModalShown([&](QWidget* w) {
    auto* fd = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(fd, nullptr);
    auto* detail = fd->findChild<QTreeView*>(QStringLiteral("treeView"));
    ASSERT_NE(detail, nullptr);
    QAbstractItemModel* model = detail->model();
    for (int wait = 0; wait < 50 && model->rowCount(detail->rootIndex()) < 4; ++wait) QTest::qWait(20);
    for (int f = 0; f < model->rowCount(detail->rootIndex()); ++f)
      kindTexts << model->index(f, 0, detail->rootIndex()).data().toString() + "=" +
                   model->index(f, 2, detail->rootIndex()).data().toString();
    for (int c = 0; c < 4; ++c) titles << model->headerData(c, Qt::Horizontal).toString();
    fd->reject();
  });
  QString file;
  EXPECT_FALSE(dlg.VBGetOpenFileName(file));
  kindTexts.sort();
  EXPECT_EQ(kindTexts, (QStringList{"dos.dae=Archivo DAE", "sub=Carpeta", "tres.sup=Archivo SUP", "uno.dae=Archivo DAE"}));
  EXPECT_EQ(titles, (QStringList{"Nombre", "Tamaño", "Tipo", "Fecha de modificación"}));
}

// The folder of the chosen file is remembered for the next run.
TEST_F(FileDialogTest, TheLastFolderIsRememberedInTheSettings) {
  cFileDlg dlg;
  dlg.InitDirectory = dir_.path();
  OnModalShown([&](QWidget* w) { ChooseFile(qobject_cast<QFileDialog*>(w), dir_.filePath("uno.dae")); });
  QString file;
  ASSERT_TRUE(dlg.VBGetOpenFileName(file));
  QDir::setCurrent(QDir::tempPath());
  EXPECT_EQ(QDir(cFileDlg::LastFolder()).canonicalPath(), QDir(dir_.path()).canonicalPath());
}

TEST_F(FileDialogTest, TheSecondFilterCanBeShownFirstAndIsReportedBack) {
  cFileDlg dlg;
  dlg.Filter = "Datos|*.dae|Superficies|*.sup";
  dlg.FilterIndex = 2;
  dlg.InitDirectory = dir_.path();
  QString chosen;
  OnModalShown([&](QWidget* w) {
    auto* fd = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(fd, nullptr);
    chosen = fd->selectedNameFilter();
    ChooseFile(fd, dir_.filePath("tres.sup"));
  });
  QString nombre;
  ASSERT_TRUE(dlg.VBGetOpenFileName(nombre));
  EXPECT_EQ(chosen, QStringLiteral("Superficies"));  // shown without its patterns
  EXPECT_EQ(dlg.FilterIndex, 2);
  EXPECT_EQ(dlg.Filter, QStringLiteral("*.sup"));
}

TEST_F(FileDialogTest, CancelGivesTheNulResults) {
  cFileDlg dlg;
  dlg.Filter = "Datos|*.dae";
  dlg.FilterIndex = 1;
  dlg.Flags = 0x8;
  dlg.InitDirectory = dir_.path();
  OnModalShown([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
  QString nombre = "previo.dae", shortName = "x";
  EXPECT_FALSE(dlg.VBGetOpenFileName(nombre, &shortName));
  const QString nul(QChar(u'\0'));
  EXPECT_EQ(nombre, nul);
  EXPECT_EQ(shortName, nul);
  EXPECT_EQ(dlg.Flags, 0);
  EXPECT_EQ(dlg.FilterIndex, -1);
  EXPECT_EQ(dlg.Filter, nul);
  EXPECT_TRUE(dlg.Archivos().isEmpty());
  EXPECT_NE(QDir::current().canonicalPath(), QDir(dir_.path()).canonicalPath());
}

TEST_F(FileDialogTest, MultipleSelectionReturnsTheFolderAndTheNames) {
  cFileDlg dlg;
  dlg.MultiSelect = true;
  dlg.Filter = "Datos|*.dae";
  dlg.InitDirectory = dir_.path();
  OnModalShown([&](QWidget* w) {
    auto* fd = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(fd, nullptr);
    EXPECT_EQ(fd->fileMode(), QFileDialog::ExistingFiles);
    ChooseFile(fd, "\"uno.dae\" \"dos.dae\"");
  });
  QString nombre;
  ASSERT_TRUE(dlg.VBGetOpenFileName(nombre));
  EXPECT_TRUE(dlg.Flags & cFileDlg::OFN_ALLOWMULTISELECT);
  const QStringList parts = nombre.split(' ');
  ASSERT_EQ(parts.size(), 3) << nombre.toStdString();
  EXPECT_EQ(QDir(parts[0]).canonicalPath(), QDir(dir_.path()).canonicalPath());
  QStringList names = parts.mid(1);
  names.sort();
  EXPECT_EQ(names, QStringList({"dos.dae", "uno.dae"}));
  EXPECT_EQ(dlg.Archivos().size(), 2);

  // Asked again, the same object opens in that folder.
  QString folder;
  OnModalShown([&](QWidget* w) {
    folder = static_cast<QFileDialog*>(w)->directory().absolutePath();
    static_cast<QDialog*>(w)->reject();
  });
  QString otro;
  EXPECT_FALSE(dlg.VBGetOpenFileName(otro));
  EXPECT_EQ(QDir(folder).canonicalPath(), QDir(dir_.path()).canonicalPath());
}

TEST_F(FileDialogTest, SaveAddsTheDefaultExtension) {
  cFileDlg dlg;
  dlg.DefaultExt = "avi";
  dlg.Filter = "Vídeo AVI|*.avi";
  dlg.InitDirectory = dir_.path();
  OnModalShown([&](QWidget* w) {
    auto* fd = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(fd, nullptr);
    EXPECT_EQ(fd->acceptMode(), QFileDialog::AcceptSave);
    ChooseFile(fd, "pelicula");
  });
  QString nombre, shortName;
  ASSERT_TRUE(dlg.VBGetSaveFileName(nombre, &shortName));
  EXPECT_EQ(shortName, QStringLiteral("pelicula.avi"));
  EXPECT_EQ(QFileInfo(nombre).absolutePath(), QFileInfo(dir_.filePath("x")).absolutePath());
  EXPECT_TRUE(dlg.Flags & cFileDlg::OFN_OVERWRITEPROMPT);
  EXPECT_TRUE(dlg.Flags & cFileDlg::OFN_HIDEREADONLY);
}

TEST_F(FileDialogTest, SaveOverAnExistingFileAsksFirst) {
  cFileDlg dlg;
  dlg.InitDirectory = dir_.path();
  bool asked = false;
  OnModalShown([&](QWidget* w) {
    auto* fd = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(fd, nullptr);
    // The question about replacing the file comes up inside accept().
    OnModalShown([&](QWidget* question) {
      auto* box = qobject_cast<QMessageBox*>(question);
      ASSERT_NE(box, nullptr);
      asked = true;
      box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes)->click() : box->accept();
    });
    ChooseFile(fd, "uno.dae");
  });
  QString nombre;
  ASSERT_TRUE(dlg.VBGetSaveFileName(nombre));
  EXPECT_TRUE(asked);
  EXPECT_EQ(cFileDlg::VBGetFileTitle(nombre), QStringLiteral("uno.dae"));
}

TEST_F(FileDialogTest, ThePreviewDialogShowsAPictureOfTheCurrentImage) {
  QImage image(40, 30, QImage::Format_RGB32);
  image.fill(Qt::red);
  ASSERT_TRUE(image.save(dir_.filePath("cuadro.bmp")));
  cFileDlg dlg;
  dlg.Filter = "Archivos BMP|*.bmp";
  dlg.InitDirectory = dir_.path();
  bool withView = false;
  OnModalShown([&](QWidget* w) {
    auto* fd = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(fd, nullptr);
    // The preview follows the dialog's current file.
    emit fd->currentChanged(dir_.filePath("cuadro.bmp"));
    for (QLabel* l : fd->findChildren<QLabel*>())
      if (l->size() == QSize(160, 160) && !l->pixmap().isNull()) withView = true;
    ChooseFile(fd, dir_.filePath("cuadro.bmp"));
  });
  QString nombre;
  ASSERT_TRUE(dlg.VBGetOpenFileNamePreview(nombre));
  EXPECT_TRUE(withView);
  EXPECT_EQ(cFileDlg::VBGetFileTitle(nombre), QStringLiteral("cuadro.bmp"));
}

TEST_F(FileDialogTest, ExistFileAndFileTitle) {
  EXPECT_TRUE(cFileDlg::ExistFile(dir_.filePath("uno.dae")));
  EXPECT_FALSE(cFileDlg::ExistFile(dir_.filePath("no_existe.dae")));
  EXPECT_FALSE(cFileDlg::ExistFile(dir_.path()));  // a folder has no file length
  EXPECT_EQ(cFileDlg::VBGetFileTitle("/datos/campo/meuse.dae"), QStringLiteral("meuse.dae"));
}

}  // namespace

int main(int argc, char** argv) { return test_data::RunTests(argc, argv, {.forgottenModalMs = 10000}); }
