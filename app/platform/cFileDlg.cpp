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

QString specialFolder(QStandardPaths::StandardLocation where) {
  const QString dirPath = QStandardPaths::writableLocation(where);
  return !dirPath.isEmpty() && QFileInfo(dirPath).isDir() ? dirPath : QDir::homePath();
}

// A one-character string holding a NUL: what the callers test for after a cancel.
QString nullText() { return QString(QChar(u'\0')); }

// The pairs of a filter list: "desc|pattern|desc|pattern", "|" and ":" alike.
QList<QPair<QString, QString>> filterPairs(const QString& filter) {
  QList<QPair<QString, QString>> pairs;
  QString clean = filter;
  clean.replace(QLatin1Char(':'), QLatin1Char('|'));
  const QStringList parts = clean.split(QLatin1Char('|'));
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].isEmpty() && parts[i + 1].isEmpty()) break;  // two NULs end the list
    pairs.append({parts[i], parts[i + 1]});
  }
  return pairs;
}

const QString kDialogsSection = QStringLiteral("Dialogos");
const QString kFolderKey = QStringLiteral("UltimaCarpeta");

// The detail view's headings and "DialogKind" column in Spanish: without Qt's
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
      static const char* const titles[] = {"Nombre", "Tamaño", "Tipo", "Fecha de modificación"};
      return QString::fromUtf8(titles[section]);
    }
    return QIdentityProxyModel::headerData(section, orientation, role);
  }
};

}  // namespace

QString cFileDlg::LastFolder() {
  const QString carpeta = SettingsStore().GetText(kDialogsSection, kFolderKey);
  return !carpeta.isEmpty() && QFileInfo(carpeta).isDir() ? carpeta : QDir::currentPath();
}

cFileDlg::cFileDlg()
    : InitDirectory(specialFolder(QStandardPaths::DocumentsLocation)),
      DlgTitle(QStringLiteral("Sorvan")) {}

void cFileDlg::InitDirectorySpecial(int folder) {
  switch (folder) {
    case 0: case 0x10: InitDirectory = specialFolder(QStandardPaths::DesktopLocation); break;
    case 5: InitDirectory = specialFolder(QStandardPaths::DocumentsLocation); break;
    case 13: InitDirectory = specialFolder(QStandardPaths::MusicLocation); break;
    case 14: InitDirectory = specialFolder(QStandardPaths::MoviesLocation); break;
    case 39: InitDirectory = specialFolder(QStandardPaths::PicturesLocation); break;
    default: InitDirectory = QDir::homePath(); break;
  }
}

QStringList cFileDlg::QtFilters(const QString& filter) {
  QStringList filters;
  for (const auto& [description, pattern] : filterPairs(filter)) {
    // Qt matches "*.*" only against names holding a dot; the system's dialogs
    // take it for every file.
    QStringList patterns;
    for (QString p : pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      p = p.trimmed();
      patterns << (p == QLatin1String("*.*") ? QStringLiteral("*") : p);
    }
    if (patterns.isEmpty()) patterns << QStringLiteral("*");
    // The patterns go in parentheses after the description, which is all the
    // dialog shows (HideNameFilterDetails), as the system's dialogs do.
    filters << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return filters;
}

void cFileDlg::prepareDialog(QFileDialog& dlg, DialogKind kind, const QString& filename,
                               int flags) const {
  dlg.setOption(QFileDialog::DontUseNativeDialog, true);
  dlg.setOption(QFileDialog::HideNameFilterDetails, true);
  dlg.setProxyModel(new SpanishColumns(&dlg));
  dlg.setWindowTitle(DlgTitle);
  if (kind == DialogKind::Save) {
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
  const QFileInfo start(InitDirectory);
  if (start.isDir())
    dlg.setDirectory(InitDirectory);
  else if (start.isFile())
    dlg.setDirectory(start.absolutePath());
  else if (!frameFiles_.isEmpty())
    dlg.setDirectory(QFileInfo(frameFiles_.first()).absolutePath());
  else
    dlg.setDirectory(QDir::currentPath());

  const QStringList filters = QtFilters(Filter);
  if (!filters.isEmpty()) {
    dlg.setNameFilters(filters);
    const int i = FilterIndex >= 1 && FilterIndex <= filters.size() ? FilterIndex - 1 : 0;
    dlg.selectNameFilter(filters[i]);
  }
  if (!filename.isEmpty() && filename != nullText()) {
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
                   kind == DialogKind::Save ? QStringLiteral("&Guardar") : QStringLiteral("&Abrir"));
  dlg.setLabelText(QFileDialog::Reject, QStringLiteral("Cancelar"));
  // Wide enough for the name, size, type and date columns without eliding.
  dlg.resize(dlg.sizeHint().expandedTo(QSize(760, 460)));
  // The detail columns fit their texts ("Última modificación", sizes, dates)
  // and the name column takes the rest, instead of fixed widths that cut them.
  if (auto* detail = dlg.findChild<QTreeView*>(QStringLiteral("treeView"))) {
    QHeaderView* header = detail->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int c = 1; c < header->count(); ++c) header->setSectionResizeMode(c, QHeaderView::ResizeToContents);
  }
  // The places list at the left is wide enough for "Equipo" and the folders.
  auto* places = dlg.findChild<QWidget*>(QStringLiteral("sidebar"));
  auto* division = dlg.findChild<QSplitter*>(QStringLiteral("splitter"));
  if (places && division && division->count() == 2) {
    const int width = std::max(places->fontMetrics().horizontalAdvance(QStringLiteral("Documentos")) + 60, 150);
    division->setSizes({width, std::max(dlg.width() - width, 200)});
  }
}

void cFileDlg::cancelled(QString& filename, QString* fileTitle) {
  filename = nullText();
  if (fileTitle) *fileTitle = nullText();
  Flags = 0;
  FilterIndex = -1;
  Filter = nullText();
  frameFiles_.clear();
}

bool cFileDlg::show(DialogKind kind, QString& filename, QString* fileTitle) {
  // The hook and template bits ask for system extensions that do not exist here.
  int flags = Flags & ~(OFN_ENABLEHOOK | OFN_ENABLETEMPLATE);
  if (kind == DialogKind::Save) {
    if (OverwritePrompt) flags |= OFN_OVERWRITEPROMPT;
    flags |= OFN_HIDEREADONLY;
  } else {
    if (FileMustExist) flags |= OFN_FILEMUSTEXIST;
    if (MultiSelect) flags |= OFN_ALLOWMULTISELECT;
    if (readOnly_) flags |= OFN_READONLY;
    if (HideReadOnly) flags |= OFN_HIDEREADONLY;
  }

  QFileDialog dlg(OwnerHwnd);
  prepareDialog(dlg, kind, filename, flags);

  QLabel* view = nullptr;
  if (kind == DialogKind::OpenPreview) {
    if (auto* grid = qobject_cast<QGridLayout*>(dlg.layout())) {
      view = new QLabel(&dlg);
      view->setFixedSize(160, 160);
      view->setAlignment(Qt::AlignCenter);
      view->setFrameShape(QFrame::StyledPanel);
      grid->addWidget(view, 1, grid->columnCount(), 2, 1);
      QObject::connect(&dlg, &QFileDialog::currentChanged, view, [view](const QString& dirPath) {
        QImageReader reader(dirPath);
        const QImage image = reader.canRead() ? reader.read() : QImage();
        view->setPixmap(image.isNull() ? QPixmap()
                                         : QPixmap::fromImage(image.scaled(
                                               view->size(), Qt::KeepAspectRatio,
                                               Qt::SmoothTransformation)));
      });
    }
  }

  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) {
    cancelled(filename, fileTitle);
    return false;
  }

  frameFiles_ = dlg.selectedFiles();
  const QFileInfo first(frameFiles_.first());
  if (frameFiles_.size() == 1) {
    filename = QDir::toNativeSeparators(first.absoluteFilePath());
    if (fileTitle) *fileTitle = first.fileName();
  } else {
    // Several files: the folder, then each name, separated by blanks.
    QStringList parts{QDir::toNativeSeparators(first.absolutePath())};
    for (const QString& f : frameFiles_) parts << QFileInfo(f).fileName();
    filename = parts.join(QLatin1Char(' '));
    if (fileTitle) *fileTitle = first.fileName();
  }

  Flags = flags;
  const QStringList filters = QtFilters(Filter);
  // The dialog reports the chosen filter as it shows it, without the patterns.
  const QString shown = dlg.selectedNameFilter();
  int chosen = -1;
  for (int i = 0; i < filters.size() && chosen < 0; ++i) {
    const QString withoutPatterns = filters[i].left(filters[i].lastIndexOf(QStringLiteral(" (")));
    if (shown == filters[i] || shown.trimmed() == withoutPatterns.trimmed()) chosen = i;
  }
  if (chosen >= 0) {
    FilterIndex = chosen + 1;
    Filter = filterPairs(Filter)[chosen].second;
  }
  readOnly_ = false;
  InitDirectory = filename;

  // The engine's result files go to the folder of the last file chosen.
  QDir::setCurrent(first.absolutePath());
  SettingsStore().SaveText(kDialogsSection, kFolderKey, first.absolutePath());
  return true;
}

bool cFileDlg::VBGetOpenFileName(QString& filename, QString* fileTitle) {
  return show(DialogKind::Open, filename, fileTitle);
}

bool cFileDlg::VBGetOpenFileNamePreview(QString& filename, QString* fileTitle) {
  return show(DialogKind::OpenPreview, filename, fileTitle);
}

bool cFileDlg::VBGetSaveFileName(QString& filename, QString* fileTitle) {
  return show(DialogKind::Save, filename, fileTitle);
}

bool cFileDlg::ExistFile(const QString& path) {
  const QFileInfo f(path);
  return f.exists() && f.isFile() && f.isReadable();
}

QString cFileDlg::VBGetFileTitle(const QString& file) { return QFileInfo(file).fileName(); }

}  // namespace sorvan::platform
