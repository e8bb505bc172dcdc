// The user manual in the program: "Ayuda" > "Contenido" and "Buscar ayuda
// en...", the index and the search box, and the "Ayuda" buttons of the
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

void CargaDatos(sorvan::core::KrigingSession& s) {
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
  const QStringList paginas = frmAyuda::Paginas();
  ASSERT_EQ(paginas.size(), 8);
  for (const QString& p : paginas) {
    EXPECT_NE(frmAyuda::TituloPagina(p), p) << p.toStdString();          // a <title>
    EXPECT_GT(frmAyuda::TextoPagina(p).size(), 200) << p.toStdString();  // and a text
  }
  // The pages of the README's user guide, in Spanish.
  EXPECT_TRUE(frmAyuda::TextoPagina("opciones").contains("Rejilla de predicción"));
  EXPECT_TRUE(frmAyuda::TextoPagina("superficies").contains("Mostrar etiquetas"));
}

TEST(HelpWindowTest, ContentsOpensTheIndexWithEveryPage) {
  frmMain w;
  w.show();
  QAction* content = w.findChild<QAction*>("mnuContenido");
  ASSERT_TRUE(content->isEnabled());
  content->trigger();
  frmAyuda* ayuda = w.Ayuda();
  ASSERT_NE(ayuda, nullptr);
  EXPECT_TRUE(ayuda->isVisible());
  EXPECT_EQ(ayuda->PaginaActual(), "indice");
  EXPECT_EQ(CellIndex(*ayuda), frmAyuda::Paginas());
  EXPECT_TRUE(ayuda->Pagina->toPlainText().contains("Contenido"));
  // A link of the index opens its page.
  ayuda->LstIndice->setCurrentRow(4);
  EXPECT_EQ(ayuda->PaginaActual(), "semivariogramas");
  // With SORVAN_CAPTURAS set, the picture of the documentation.
  if (!qEnvironmentVariableIsEmpty("SORVAN_CAPTURAS"))
    ayuda->grab().save(qEnvironmentVariable("SORVAN_SOURCE_DIR") + "/docs/screenshots/help_window.png");
}

TEST(HelpWindowTest, SearchListsThePagesHoldingTheWordWhateverTheAccents) {
  frmAyuda a;
  EXPECT_EQ(a.Buscar("video"), (QStringList{"indice", "animaciones"}));
  EXPECT_EQ(a.Buscar("VÍDEO"), (QStringList{"indice", "animaciones"}));
  EXPECT_EQ(a.Buscar("botón derecho"), (QStringList{"semivariogramas", "superficies"}));
  EXPECT_TRUE(a.Buscar("xyzzy").isEmpty());
  EXPECT_EQ(CellIndex(a), QStringList());
  EXPECT_EQ(a.Buscar(""), frmAyuda::Paginas());
  // Typing in the box does the same, and choosing a result shows it.
  a.show();
  QTest::keyClicks(a.TxtBuscar, "perfil");
  EXPECT_EQ(CellIndex(a), (QStringList{"opciones", "superficies"}));
  a.LstIndice->setCurrentRow(0);
  EXPECT_EQ(a.PaginaActual(), "opciones");
  EXPECT_TRUE(a.Pagina->textCursor().hasSelection());  // the word found is marked
}

TEST(HelpWindowTest, SearchHelpOpensWithTheSearchBoxReady) {
  frmMain w;
  w.show();
  w.findChild<QAction*>("mnuBuscarAyuda")->trigger();
  ASSERT_NE(w.Ayuda(), nullptr);
  QTest::qWait(100);
  EXPECT_EQ(w.Ayuda()->focusWidget(), w.Ayuda()->TxtBuscar);
}

// The "Ayuda" buttons open the page of their dialog, also while the dialog
// is modal (the help window then belongs to it, or it could not be used).
TEST(HelpWindowTest, DialogHelpButtonsOpenTheirPages) {
  frmMain w;
  w.show();
  CargaDatos(w.Sesion());
  QString pagina, paginaOpciones;
  bool delDialogo = false;
  test_data::AlAparecerModal([&](QWidget* m) {
    auto* d = qobject_cast<frmKriging2D*>(m);
    ASSERT_NE(d, nullptr);
    d->CoAyuda->click();
    pagina = w.Ayuda()->PaginaActual();
    delDialogo = w.Ayuda()->parentWidget() == d;
    frmOpKriging options(w.Sesion().options, w.Sesion().data, 1, 2, d);
    options.CoAyuda->click();
    paginaOpciones = w.Ayuda()->PaginaActual();
    d->CoCancelar->click();
  });
  MostrarKriging2D(w);
  EXPECT_EQ(pagina, "kriging");
  EXPECT_TRUE(delDialogo);
  EXPECT_EQ(paginaOpciones, "opciones");
}

int main(int argc, char** argv) { return test_data::EjecutaPruebas(argc, argv, {.modalOlvidadoMs = 15000}); }
