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

const QString kRoot = QStringLiteral("qrc:/sorvan/manual/");

QString Html(const QString& page) {
  QFile f(QStringLiteral(":/sorvan/manual/%1.html").arg(page));
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// Lower case without accents, so that "vídeo" is found by "video".
QString Normalise(const QString& text) {
  QString t = text.normalized(QString::NormalizationForm_D).toLower();
  t.remove(QRegularExpression(QStringLiteral("\\p{Mn}")));
  return t;
}

}  // namespace

frmAyuda::frmAyuda(QWidget* parent) : QWidget(parent, Qt::Window) {
  Principal::InitResources();
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

  auto* left = new QWidget(this);
  auto* leftLayer = new QVBoxLayout(left);
  leftLayer->setContentsMargins(0, 0, 0, 0);
  auto* label = new QLabel(QStringLiteral("&Buscar:"), left);
  label->setBuddy(TxtBuscar);
  leftLayer->addWidget(label);
  leftLayer->addWidget(TxtBuscar);
  leftLayer->addWidget(new QLabel(QStringLiteral("Contenido:"), left));
  leftLayer->addWidget(LstIndice, 1);
  auto* division = new QSplitter(this);
  division->addWidget(left);
  division->addWidget(Pagina);
  division->setStretchFactor(1, 1);
  division->setSizes({220, 620});
  auto* layer = new QHBoxLayout(this);
  layer->addWidget(division);
  resize(860, 620);

  fillIndex(Pages());
  connect(TxtBuscar, &QLineEdit::textChanged, this, [this](const QString& t) { Find(t); });
  connect(TxtBuscar, &QLineEdit::returnPressed, this, [this] {
    if (LstIndice->count() > 0) LstIndice->setCurrentRow(0);
  });
  connect(LstIndice, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
    if (!item) return;
    ShowPage(item->data(Qt::UserRole).toString());
    // The word searched for, marked in the page.
    if (!TxtBuscar->text().trimmed().isEmpty()) Pagina->find(TxtBuscar->text().trimmed());
  });
  ShowPage(QString());
}

QStringList frmAyuda::Pages() {
  return {QStringLiteral("indice"),          QStringLiteral("datos"),       QStringLiteral("kriging"),
          QStringLiteral("opciones"),        QStringLiteral("semivariogramas"), QStringLiteral("superficies"),
          QStringLiteral("animaciones"),     QStringLiteral("linea_comandos")};
}

QString frmAyuda::PageTitle(const QString& page) {
  static const QRegularExpression title(QStringLiteral("<title>([^<]*)</title>"));
  const QRegularExpressionMatch m = title.match(Html(page));
  return m.hasMatch() ? m.captured(1) : page;
}

QString frmAyuda::PageText(const QString& page) {
  QTextDocument doc;
  doc.setHtml(Html(page));
  return doc.toPlainText();
}

void frmAyuda::fillIndex(const QStringList& pages) {
  const QSignalBlocker blocking(LstIndice);
  LstIndice->clear();
  for (const QString& p : pages) {
    auto* item = new QListWidgetItem(PageTitle(p), LstIndice);
    item->setData(Qt::UserRole, p);
  }
}

void frmAyuda::ShowPage(const QString& page) {
  const QString nombre = Pages().contains(page) ? page : QStringLiteral("indice");
  Pagina->setSource(QUrl(kRoot + nombre + QStringLiteral(".html")));
}

QString frmAyuda::CurrentPage() const {
  const QString file = Pagina->source().fileName();
  return file.left(file.lastIndexOf(QLatin1Char('.')));
}

void frmAyuda::StartSearch() {
  TxtBuscar->setFocus();
  TxtBuscar->selectAll();
}

QStringList frmAyuda::Find(const QString& text) {
  const QString sought = Normalise(text.trimmed());
  QStringList foundOnes;
  for (const QString& p : Pages())
    if (sought.isEmpty() || Normalise(PageText(p)).contains(sought)) foundOnes << p;
  fillIndex(foundOnes);
  return foundOnes;
}

}  // namespace sorvan::gui
