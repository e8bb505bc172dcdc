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

  // Shows page `page` ("indice", "datos", "kriging", "opciones",
  // "semivariogramas", "superficies", "animaciones", "linea_comandos"); an
  // unknown or empty name shows the contents page.
  void ShowPage(const QString& page);
  // Puts the keyboard in the search box, its text selected.
  void StartSearch();
  // Lists the pages whose text holds `text` (ignoring case and accents); an
  // empty text lists every page again. Returns the names of the pages listed.
  QStringList Find(const QString& text);

  // The name of the page shown.
  QString CurrentPage() const;
  // Every page of the manual, in reading order, and its title.
  static QStringList Pages();
  static QString PageTitle(const QString& page);
  // The page's text without markup.
  static QString PageText(const QString& page);

  QLineEdit* TxtBuscar = nullptr;
  QListWidget* LstIndice = nullptr;
  QTextBrowser* Pagina = nullptr;

private:
  void fillIndex(const QStringList& pages);
};

}  // namespace sorvan::gui
