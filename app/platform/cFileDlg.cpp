#include "platform/cFileDlg.h"

#include <algorithm>

#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QFileInfo>
#include <QGridLayout>
#include <QImageReader>
#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QTreeView>
#include <QPixmap>
#include <QStandardPaths>

#include "platform/settings_store.h"

namespace sorvan::platform {

namespace {

QString carpetaEspecial(QStandardPaths::StandardLocation donde) {
  const QString ruta = QStandardPaths::writableLocation(donde);
  return !ruta.isEmpty() && QFileInfo(ruta).isDir() ? ruta : QDir::homePath();
}

// A one-character string holding a NUL: what the callers test for after a cancel.
QString textoNulo() { return QString(QChar(u'\0')); }

// The pairs of a filter list: "desc|pattern|desc|pattern", "|" and ":" alike.
QList<QPair<QString, QString>> paresFiltro(const QString& filter) {
  QList<QPair<QString, QString>> pairs;
  QString limpio = filter;
  limpio.replace(QLatin1Char(':'), QLatin1Char('|'));
  const QStringList partes = limpio.split(QLatin1Char('|'));
  for (int i = 0; i + 1 < partes.size(); i += 2) {
    if (partes[i].isEmpty() && partes[i + 1].isEmpty()) break;  // two NULs end the list
    pairs.append({partes[i], partes[i + 1]});
  }
  return pairs;
}

const QString kSeccionDialogos = QStringLiteral("Dialogos");
const QString kClaveCarpeta = QStringLiteral("UltimaCarpeta");

// The detail view's headings and "Tipo" column in Spanish: without Qt's
// translations the system's descriptions read "Folder", "plain text document".
class SpanishColumns : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;

  QVariant data(const QModelIndex& index, int role) const override {
    if (index.column() == 2 && role == Qt::DisplayRole)
      if (auto* archivos = qobject_cast<QFileSystemModel*>(sourceModel())) {
        const QModelIndex origin = mapToSource(index).siblingAtColumn(0);
        if (archivos->isDir(origin)) return QStringLiteral("Carpeta");
        const QString extension = QFileInfo(archivos->fileName(origin)).suffix();
        return extension.isEmpty() ? QStringLiteral("Archivo") : QStringLiteral("Archivo ") + extension.toUpper();
      }
    return QIdentityProxyModel::data(index, role);
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 4) {
      static const char* const titulos[] = {"Nombre", "Tamaño", "Tipo", "Fecha de modificación"};
      return QString::fromUtf8(titulos[section]);
    }
    return QIdentityProxyModel::headerData(section, orientation, role);
  }
};

}  // namespace

QString cFileDlg::LastFolder() {
  const QString carpeta = SettingsStore().GetText(kSeccionDialogos, kClaveCarpeta);
  return !carpeta.isEmpty() && QFileInfo(carpeta).isDir() ? carpeta : QDir::currentPath();
}

cFileDlg::cFileDlg()
    : InitDirectory(carpetaEspecial(QStandardPaths::DocumentsLocation)),
      DlgTitle(QStringLiteral("Sorvan")) {}

void cFileDlg::InitDirectorySpecial(int folder) {
  switch (folder) {
    case 0: case 0x10: InitDirectory = carpetaEspecial(QStandardPaths::DesktopLocation); break;
    case 5: InitDirectory = carpetaEspecial(QStandardPaths::DocumentsLocation); break;
    case 13: InitDirectory = carpetaEspecial(QStandardPaths::MusicLocation); break;
    case 14: InitDirectory = carpetaEspecial(QStandardPaths::MoviesLocation); break;
    case 39: InitDirectory = carpetaEspecial(QStandardPaths::PicturesLocation); break;
    default: InitDirectory = QDir::homePath(); break;
  }
}

QStringList cFileDlg::QtFilters(const QString& filter) {
  QStringList filtros;
  for (const auto& [descripcion, patron] : paresFiltro(filter)) {
    // Qt matches "*.*" only against names holding a dot; the system's dialogs
    // take it for every file.
    QStringList patrones;
    for (QString p : patron.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      p = p.trimmed();
      patrones << (p == QLatin1String("*.*") ? QStringLiteral("*") : p);
    }
    if (patrones.isEmpty()) patrones << QStringLiteral("*");
    // The patterns go in parentheses after the description, which is all the
    // dialog shows (HideNameFilterDetails), as the system's dialogs do.
    filtros << descripcion + QStringLiteral(" (") + patrones.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return filtros;
}

void cFileDlg::prepararDialogo(QFileDialog& dlg, Tipo kind, const QString& filename,
                               int flags) const {
  dlg.setOption(QFileDialog::DontUseNativeDialog, true);
  dlg.setOption(QFileDialog::HideNameFilterDetails, true);
  dlg.setProxyModel(new SpanishColumns(&dlg));
  dlg.setWindowTitle(DlgTitle);
  if (kind == Tipo::Guardar) {
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setOption(QFileDialog::DontConfirmOverwrite, !(flags & OFN_OVERWRITEPROMPT));
  } else {
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    if (flags & OFN_ALLOWMULTISELECT)
      dlg.setFileMode(QFileDialog::ExistingFiles);
    else
      dlg.setFileMode((flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  }
  if (!DefaultExt.isEmpty()) dlg.setDefaultSuffix(DefaultExt);

  // InitDirectory may hold the name returned by an earlier dialog (a file, or
  // a folder and names): use that folder.
  const QFileInfo inicio(InitDirectory);
  if (inicio.isDir())
    dlg.setDirectory(InitDirectory);
  else if (inicio.isFile())
    dlg.setDirectory(inicio.absolutePath());
  else if (!archivos_.isEmpty())
    dlg.setDirectory(QFileInfo(archivos_.first()).absolutePath());
  else
    dlg.setDirectory(QDir::currentPath());

  const QStringList filtros = QtFilters(Filter);
  if (!filtros.isEmpty()) {
    dlg.setNameFilters(filtros);
    const int i = FilterIndex >= 1 && FilterIndex <= filtros.size() ? FilterIndex - 1 : 0;
    dlg.selectNameFilter(filtros[i]);
  }
  if (!filename.isEmpty() && filename != textoNulo()) {
    const QFileInfo f(filename);
    if (f.path() != QLatin1String(".") || filename.startsWith(QLatin1String("./")))
      dlg.setDirectory(f.absolutePath());
    dlg.selectFile(f.fileName());
  }
  // Qt's own dialog speaks English unless its translations are installed;
  // the labels the user reads are given in Spanish here, so that the dialog
  // matches the program either way.
  dlg.setLabelText(QFileDialog::LookIn, QStringLiteral("Buscar en:"));
  dlg.setLabelText(QFileDialog::FileName, QStringLiteral("Nombre:"));
  dlg.setLabelText(QFileDialog::FileType, QStringLiteral("Tipo:"));
  dlg.setLabelText(QFileDialog::Accept,
                   kind == Tipo::Guardar ? QStringLiteral("&Guardar") : QStringLiteral("&Abrir"));
  dlg.setLabelText(QFileDialog::Reject, QStringLiteral("Cancelar"));
  // Wide enough for the name, size, type and date columns without eliding.
  dlg.resize(dlg.sizeHint().expandedTo(QSize(760, 460)));
  // The detail columns fit their texts ("Última modificación", sizes, dates)
  // and the name column takes the rest, instead of fixed widths that cut them.
  if (auto* detalle = dlg.findChild<QTreeView*>(QStringLiteral("treeView"))) {
    QHeaderView* cabecera = detalle->header();
    cabecera->setStretchLastSection(false);
    cabecera->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int c = 1; c < cabecera->count(); ++c) cabecera->setSectionResizeMode(c, QHeaderView::ResizeToContents);
  }
  // The places list at the left is wide enough for "Equipo" and the folders.
  auto* lugares = dlg.findChild<QWidget*>(QStringLiteral("sidebar"));
  auto* division = dlg.findChild<QSplitter*>(QStringLiteral("splitter"));
  if (lugares && division && division->count() == 2) {
    const int width = std::max(lugares->fontMetrics().horizontalAdvance(QStringLiteral("Documentos")) + 60, 150);
    division->setSizes({width, std::max(dlg.width() - width, 200)});
  }
}

void cFileDlg::cancelled(QString& filename, QString* fileTitle) {
  filename = textoNulo();
  if (fileTitle) *fileTitle = textoNulo();
  Flags = 0;
  FilterIndex = -1;
  Filter = textoNulo();
  archivos_.clear();
}

bool cFileDlg::mostrar(Tipo kind, QString& filename, QString* fileTitle) {
  // The hook and template bits ask for system extensions that do not exist here.
  int flags = Flags & ~(OFN_ENABLEHOOK | OFN_ENABLETEMPLATE);
  if (kind == Tipo::Guardar) {
    if (OverwritePrompt) flags |= OFN_OVERWRITEPROMPT;
    flags |= OFN_HIDEREADONLY;
  } else {
    if (FileMustExist) flags |= OFN_FILEMUSTEXIST;
    if (MultiSelect) flags |= OFN_ALLOWMULTISELECT;
    if (readOnly_) flags |= OFN_READONLY;
    if (HideReadOnly) flags |= OFN_HIDEREADONLY;
  }

  QFileDialog dlg(OwnerHwnd);
  prepararDialogo(dlg, kind, filename, flags);

  QLabel* vista = nullptr;
  if (kind == Tipo::AbrirVista) {
    if (auto* grid = qobject_cast<QGridLayout*>(dlg.layout())) {
      vista = new QLabel(&dlg);
      vista->setFixedSize(160, 160);
      vista->setAlignment(Qt::AlignCenter);
      vista->setFrameShape(QFrame::StyledPanel);
      grid->addWidget(vista, 1, grid->columnCount(), 2, 1);
      QObject::connect(&dlg, &QFileDialog::currentChanged, vista, [vista](const QString& ruta) {
        QImageReader lector(ruta);
        const QImage imagen = lector.canRead() ? lector.read() : QImage();
        vista->setPixmap(imagen.isNull() ? QPixmap()
                                         : QPixmap::fromImage(imagen.scaled(
                                               vista->size(), Qt::KeepAspectRatio,
                                               Qt::SmoothTransformation)));
      });
    }
  }

  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) {
    cancelled(filename, fileTitle);
    return false;
  }

  archivos_ = dlg.selectedFiles();
  const QFileInfo first(archivos_.first());
  if (archivos_.size() == 1) {
    filename = QDir::toNativeSeparators(first.absoluteFilePath());
    if (fileTitle) *fileTitle = first.fileName();
  } else {
    // Several files: the folder, then each name, separated by blanks.
    QStringList partes{QDir::toNativeSeparators(first.absolutePath())};
    for (const QString& f : archivos_) partes << QFileInfo(f).fileName();
    filename = partes.join(QLatin1Char(' '));
    if (fileTitle) *fileTitle = first.fileName();
  }

  Flags = flags;
  const QStringList filtros = QtFilters(Filter);
  // The dialog reports the chosen filter as it shows it, without the patterns.
  const QString mostrado = dlg.selectedNameFilter();
  int elegido = -1;
  for (int i = 0; i < filtros.size() && elegido < 0; ++i) {
    const QString sinPatrones = filtros[i].left(filtros[i].lastIndexOf(QStringLiteral(" (")));
    if (mostrado == filtros[i] || mostrado.trimmed() == sinPatrones.trimmed()) elegido = i;
  }
  if (elegido >= 0) {
    FilterIndex = elegido + 1;
    Filter = paresFiltro(Filter)[elegido].second;
  }
  readOnly_ = false;
  InitDirectory = filename;

  // The engine's result files go to the folder of the last file chosen.
  QDir::setCurrent(first.absolutePath());
  SettingsStore().SaveText(kSeccionDialogos, kClaveCarpeta, first.absolutePath());
  return true;
}

bool cFileDlg::VBGetOpenFileName(QString& filename, QString* fileTitle) {
  return mostrar(Tipo::Abrir, filename, fileTitle);
}

bool cFileDlg::VBGetOpenFileNamePreview(QString& filename, QString* fileTitle) {
  return mostrar(Tipo::AbrirVista, filename, fileTitle);
}

bool cFileDlg::VBGetSaveFileName(QString& filename, QString* fileTitle) {
  return mostrar(Tipo::Guardar, filename, fileTitle);
}

bool cFileDlg::ExistFile(const QString& path) {
  const QFileInfo f(path);
  return f.exists() && f.isFile() && f.isReadable();
}

QString cFileDlg::VBGetFileTitle(const QString& file) { return QFileInfo(file).fileName(); }

}  // namespace sorvan::platform
