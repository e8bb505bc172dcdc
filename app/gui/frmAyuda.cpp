#include "gui/frmAyuda.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

#include "gui/resources_init.h"

namespace sorvan::gui {

namespace {

const QString kRaiz = QStringLiteral("qrc:/sorvan/manual/");

QString Html(const QString& pagina) {
  QFile f(QStringLiteral(":/sorvan/manual/%1.html").arg(pagina));
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// Lower case without accents, so that "vídeo" is found by "video".
QString Normaliza(const QString& text) {
  QString t = text.normalized(QString::NormalizationForm_D).toLower();
  t.remove(QRegularExpression(QStringLiteral("\\p{Mn}")));
  return t;
}

}  // namespace

frmAyuda::frmAyuda(QWidget* parent) : QWidget(parent, Qt::Window) {
  Principal::IniciarRecursos();
  setObjectName(QStringLiteral("frmAyuda"));
  setWindowTitle(QStringLiteral("Ayuda de Sorvan"));
  setAttribute(Qt::WA_DeleteOnClose, false);  // kept for the next question

  TxtBuscar = new QLineEdit(this);
  TxtBuscar->setObjectName(QStringLiteral("TxtBuscar"));
  TxtBuscar->setPlaceholderText(QStringLiteral("Palabra que buscar"));
  TxtBuscar->setClearButtonEnabled(true);
  LstIndice = new QListWidget(this);
  LstIndice->setObjectName(QStringLiteral("LstIndice"));
  Pagina = new QTextBrowser(this);
  Pagina->setObjectName(QStringLiteral("Pagina"));
  Pagina->setOpenLinks(true);
  Pagina->setSearchPaths({QStringLiteral(":/sorvan/manual")});

  auto* izquierda = new QWidget(this);
  auto* capaIzquierda = new QVBoxLayout(izquierda);
  capaIzquierda->setContentsMargins(0, 0, 0, 0);
  auto* etiqueta = new QLabel(QStringLiteral("&Buscar:"), izquierda);
  etiqueta->setBuddy(TxtBuscar);
  capaIzquierda->addWidget(etiqueta);
  capaIzquierda->addWidget(TxtBuscar);
  capaIzquierda->addWidget(new QLabel(QStringLiteral("Contenido:"), izquierda));
  capaIzquierda->addWidget(LstIndice, 1);
  auto* division = new QSplitter(this);
  division->addWidget(izquierda);
  division->addWidget(Pagina);
  division->setStretchFactor(1, 1);
  division->setSizes({220, 620});
  auto* capa = new QHBoxLayout(this);
  capa->addWidget(division);
  resize(860, 620);

  llenarIndice(Paginas());
  connect(TxtBuscar, &QLineEdit::textChanged, this, [this](const QString& t) { Buscar(t); });
  connect(TxtBuscar, &QLineEdit::returnPressed, this, [this] {
    if (LstIndice->count() > 0) LstIndice->setCurrentRow(0);
  });
  connect(LstIndice, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
    if (!item) return;
    MostrarPagina(item->data(Qt::UserRole).toString());
    // The word searched for, marked in the page.
    if (!TxtBuscar->text().trimmed().isEmpty()) Pagina->find(TxtBuscar->text().trimmed());
  });
  MostrarPagina(QString());
}

QStringList frmAyuda::Paginas() {
  return {QStringLiteral("indice"),          QStringLiteral("datos"),       QStringLiteral("kriging"),
          QStringLiteral("opciones"),        QStringLiteral("semivariogramas"), QStringLiteral("superficies"),
          QStringLiteral("animaciones"),     QStringLiteral("linea_comandos")};
}

QString frmAyuda::TituloPagina(const QString& pagina) {
  static const QRegularExpression title(QStringLiteral("<title>([^<]*)</title>"));
  const QRegularExpressionMatch m = title.match(Html(pagina));
  return m.hasMatch() ? m.captured(1) : pagina;
}

QString frmAyuda::TextoPagina(const QString& pagina) {
  QTextDocument doc;
  doc.setHtml(Html(pagina));
  return doc.toPlainText();
}

void frmAyuda::llenarIndice(const QStringList& paginas) {
  const QSignalBlocker bloqueo(LstIndice);
  LstIndice->clear();
  for (const QString& p : paginas) {
    auto* item = new QListWidgetItem(TituloPagina(p), LstIndice);
    item->setData(Qt::UserRole, p);
  }
}

void frmAyuda::MostrarPagina(const QString& pagina) {
  const QString nombre = Paginas().contains(pagina) ? pagina : QStringLiteral("indice");
  Pagina->setSource(QUrl(kRaiz + nombre + QStringLiteral(".html")));
}

QString frmAyuda::PaginaActual() const {
  const QString file = Pagina->source().fileName();
  return file.left(file.lastIndexOf(QLatin1Char('.')));
}

void frmAyuda::EmpezarBusqueda() {
  TxtBuscar->setFocus();
  TxtBuscar->selectAll();
}

QStringList frmAyuda::Buscar(const QString& text) {
  const QString buscado = Normaliza(text.trimmed());
  QStringList halladas;
  for (const QString& p : Paginas())
    if (buscado.isEmpty() || Normaliza(TextoPagina(p)).contains(buscado)) halladas << p;
  llenarIndice(halladas);
  return halladas;
}

}  // namespace sorvan::gui
