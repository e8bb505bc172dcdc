#pragma once
// The help window: the program's user manual (HTML pages in the program's
// resources) with its contents at the left, a search box above them, and the
// page at the right. One window for the whole program, not modal.
#include <QString>
#include <QStringList>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QTextBrowser;

namespace sorvan::gui {

class frmAyuda : public QWidget {
  Q_OBJECT
public:
  explicit frmAyuda(QWidget* parent = nullptr);

  // Shows page `pagina` ("indice", "datos", "kriging", "opciones",
  // "semivariogramas", "superficies", "animaciones", "linea_comandos"); an
  // unknown or empty name shows the contents page.
  void MostrarPagina(const QString& pagina);
  // Puts the keyboard in the search box, its text selected.
  void EmpezarBusqueda();
  // Lists the pages whose text holds `text` (ignoring case and accents); an
  // empty text lists every page again. Returns the names of the pages listed.
  QStringList Buscar(const QString& text);

  // The name of the page shown.
  QString PaginaActual() const;
  // Every page of the manual, in reading order, and its title.
  static QStringList Paginas();
  static QString TituloPagina(const QString& pagina);
  // The page's text without markup.
  static QString TextoPagina(const QString& pagina);

  QLineEdit* TxtBuscar = nullptr;
  QListWidget* LstIndice = nullptr;
  QTextBrowser* Pagina = nullptr;

private:
  void llenarIndice(const QStringList& paginas);
};

}  // namespace sorvan::gui
