// The user manual in the program: "Help" > "Content" and "Find ayuda
// en...", the index and the search box, and the "Help" buttons of the
// dialogs opening their own pages (they did nothing before).
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <sstream>

#include "core/spatial_data.h"
#include "core/kriging_session.h"
#include "gui/frmAyuda.h"
#include "gui/frmMain.h"
#include "gui/kriging/frmKriging2D.h"
#include "gui/kriging/frmOpKriging.h"
#include "gui/kriging/kriging_commands.h"
#include "gui_test_support.h"

using namespace sorvan::core;
using namespace sorvan::gui;

namespace {

void LoadData(sorvan::core::KrigingSession& s) {
  std::istringstream f(
      "\"prueba\"\n3,6\n\"x\",\"\",0\n\"y\",\"\",0\n\"v\",\"\",0\n"
      "0,200,1\n100,260,2\n50,230,3\n20,210,4\n80,250,5\n40,240,6\n");
  ASSERT_TRUE(sorvan::core::ReadData(f, "prueba.dae", s.data).ok);
  s.dataFile = "prueba.dae";
}

QStringList CellIndex(const frmAyuda& a) {
  QStringList t;
  for (int i = 0; i < a.LstIndice->count(); ++i) t << a.LstIndice->item(i)->data(Qt::UserRole).toString();
  return t;
}

}  // namespace

TEST(HelpWindowTest, EveryPageOfTheManualHasATitleAndText) {
  const QStringList pages = frmAyuda::Pages();
  ASSERT_EQ(pages.size(), 8);
  for (const QString& p : pages) {
    EXPECT_NE(frmAyuda::PageTitle(p), p) << p.toStdString();          // a <title>
    EXPECT_GT(frmAyuda::PageText(p).size(), 200) << p.toStdString();  // and a text
  }
  // The pages of the README's user guide, in Spanish.
  EXPECT_TRUE(frmAyuda::PageText("opciones").contains("Rejilla de predicción"));
  EXPECT_TRUE(frmAyuda::PageText("superficies").contains("Mostrar etiquetas"));
}

TEST(HelpWindowTest, ContentsOpensTheIndexWithEveryPage) {
  frmMain w;
  w.show();
  QAction* content = w.findChild<QAction*>("mnuContenido");
  ASSERT_TRUE(content->isEnabled());
  content->trigger();
  frmAyuda* help = w.Help();
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  EXPECT_EQ(help->CurrentPage(), "indice");
  EXPECT_EQ(CellIndex(*help), frmAyuda::Pages());
  EXPECT_TRUE(help->Pagina->toPlainText().contains("Contenido"));
  // A link of the index opens its page.
  help->LstIndice->setCurrentRow(4);
  EXPECT_EQ(help->CurrentPage(), "semivariogramas");
  // With SORVAN_CAPTURAS set, the picture of the documentation.
  if (!qEnvironmentVariableIsEmpty("SORVAN_CAPTURAS"))
    help->grab().save(qEnvironmentVariable("SORVAN_SOURCE_DIR") + "/docs/screenshots/help_window.png");
}

TEST(HelpWindowTest, SearchListsThePagesHoldingTheWordWhateverTheAccents) {
  frmAyuda a;
  EXPECT_EQ(a.Find("video"), (QStringList{"indice", "animaciones"}));
  EXPECT_EQ(a.Find("VÍDEO"), (QStringList{"indice", "animaciones"}));
  EXPECT_EQ(a.Find("botón derecho"), (QStringList{"semivariogramas", "superficies"}));
  EXPECT_TRUE(a.Find("xyzzy").isEmpty());
  EXPECT_EQ(CellIndex(a), QStringList());
  EXPECT_EQ(a.Find(""), frmAyuda::Pages());
  // Typing in the box does the same, and choosing a result shows it.
  a.show();
  QTest::keyClicks(a.TxtBuscar, "perfil");
  EXPECT_EQ(CellIndex(a), (QStringList{"opciones", "superficies"}));
  a.LstIndice->setCurrentRow(0);
  EXPECT_EQ(a.CurrentPage(), "opciones");
  EXPECT_TRUE(a.Pagina->textCursor().hasSelection());  // the word found is marked
}

TEST(HelpWindowTest, SearchHelpOpensWithTheSearchBoxReady) {
  frmMain w;
  w.show();
  w.findChild<QAction*>("mnuBuscarAyuda")->trigger();
  ASSERT_NE(w.Help(), nullptr);
  QTest::qWait(100);
  EXPECT_EQ(w.Help()->focusWidget(), w.Help()->TxtBuscar);
}

// The "Help" buttons open the page of their dialog, also while the dialog
// is modal (the help window then belongs to it, or it could not be used).
TEST(HelpWindowTest, DialogHelpButtonsOpenTheirPages) {
  frmMain w;
  w.show();
  LoadData(w.OwnSession());
  QString page, optionsPage;
  bool ofDialog = false;
  test_data::OnModalShown([&](QWidget* m) {
    auto* d = qobject_cast<frmKriging2D*>(m);
    ASSERT_NE(d, nullptr);
    d->CoAyuda->click();
    page = w.Help()->CurrentPage();
    ofDialog = w.Help()->parentWidget() == d;
    frmOpKriging options(w.OwnSession().options, w.OwnSession().data, 1, 2, d);
    options.CoAyuda->click();
    optionsPage = w.Help()->CurrentPage();
    d->CoCancelar->click();
  });
  ShowKriging2D(w);
  EXPECT_EQ(page, "kriging");
  EXPECT_TRUE(ofDialog);
  EXPECT_EQ(optionsPage, "opciones");
}

int main(int argc, char** argv) { return test_data::RunTests(argc, argv, {.forgottenModalMs = 15000}); }
