#pragma once
// Open and save file dialogs behind a few properties and three calls, so that a
// form can ask for one or several file names with a title, a filter list, an
// initial folder and a default extension. Create one object per question.
//
// After every dialog the user accepts, the folder of the chosen file becomes the
// process's current folder (the kriging engine writes its result files there)
// and is remembered in the settings for the next run (LastFolder). The
// "DialogKind" column names folders and files in Spanish.
#include <QString>
#include <QStringList>

class QFileDialog;
class QWidget;

namespace sorvan::platform {

class cFileDlg {
public:
  cFileDlg();

  // Window that owns the dialog; nullptr for none.
  QWidget* OwnerHwnd = nullptr;
  // The open dialog accepts only existing files.
  bool FileMustExist = true;
  // Several files may be chosen; the name returned is then the folder followed
  // by the chosen names, separated by blanks (see also Archivos()).
  bool MultiSelect = false;
  // Hide the read-only box (the dialogs used here have none; kept for callers).
  bool HideReadOnly = true;
  // Description and pattern pairs separated by "|" or ":", for example
  // "Archivos BMP|*.bmp:Archivos DIB|*.dib". Several patterns of one pair are
  // separated by ";". After a dialog: the pattern of the filter chosen.
  QString Filter;
  // 1-based filter shown first (0 shows the first); after a dialog, the one chosen.
  int FilterIndex = 0;
  // Folder shown first; after a dialog, the name returned. Defaults to the
  // user's documents folder.
  QString InitDirectory;
  // Dialog caption; the program's title by default.
  QString DlgTitle;
  // Extension (without the dot) added to a name typed without one.
  QString DefaultExt;
  // Further dialog flags, passed through; after a dialog, the flags in effect.
  int Flags = 0;
  // The save dialog asks before replacing a file.
  bool OverwritePrompt = true;

  // Set when the user ticked the read-only box; always false with these dialogs.
  bool ReadOnly() const { return readOnly_; }
  // Sets InitDirectory to a special folder given by its system number: 0 the
  // desktop, 5 the documents folder, 13 music, 14 videos, 39 pictures, 40 the
  // user's home; any other number gives the home folder.
  void InitDirectorySpecial(int folder);

  // Open dialog. `filename` in: the initial name; out: the chosen path (or the
  // folder and names with MultiSelect). `fileTitle` out: the name without
  // folder. Returns false on cancel, and then both become a one-character
  // string holding a NUL, Flags 0, FilterIndex -1 and Filter that same string.
  bool VBGetOpenFileName(QString& filename, QString* fileTitle = nullptr);
  // The same; image files get a preview beside the list.
  bool VBGetOpenFileNamePreview(QString& filename, QString* fileTitle = nullptr);
  // Save dialog, with the same results.
  bool VBGetSaveFileName(QString& filename, QString* fileTitle = nullptr);

  // Full paths of the files chosen by the last accepted dialog.
  QStringList Archivos() const { return frameFiles_; }

  // True when the size of `path` can be taken (an existing, readable file).
  static bool ExistFile(const QString& path);
  // The display title of a file name: its name without the folder.
  static QString VBGetFileTitle(const QString& file);

  // The folder of the file chosen in the last accepted dialog, remembered
  // across runs of the program; the current folder when none is remembered
  // or it no longer exists.
  static QString LastFolder();

  // Flag bits of the system dialogs, as callers pass them in Flags.
  static constexpr int OFN_READONLY = 0x1;
  static constexpr int OFN_OVERWRITEPROMPT = 0x2;
  static constexpr int OFN_HIDEREADONLY = 0x4;
  static constexpr int OFN_ENABLEHOOK = 0x20;
  static constexpr int OFN_ENABLETEMPLATE = 0x40;
  static constexpr int OFN_ALLOWMULTISELECT = 0x200;
  static constexpr int OFN_FILEMUSTEXIST = 0x1000;

  // The filter list above as the name filters of a Qt file dialog.
  static QStringList QtFilters(const QString& filter);

private:
  enum class DialogKind { Open, OpenPreview, Save };
  bool show(DialogKind kind, QString& filename, QString* fileTitle);
  void prepareDialog(QFileDialog& dlg, DialogKind kind, const QString& filename, int flags) const;
  void cancelled(QString& filename, QString* fileTitle);

  bool readOnly_ = false;
  QStringList frameFiles_;
};

}  // namespace sorvan::platform
