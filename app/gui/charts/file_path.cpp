#include "gui/charts/file_path.h"

#include <QDir>
#include <QFileInfo>

namespace sorvan::gui {

QString ExistingFile(const QString& path) {
  const QFileInfo info(path);
  if (info.isFile()) return path;
  const QDir dir = info.absoluteDir();
  for (const QString& name : dir.entryList(QDir::Files))
    if (name.compare(info.fileName(), Qt::CaseInsensitive) == 0) return dir.filePath(name);
  return path;
}

}  // namespace sorvan::gui
