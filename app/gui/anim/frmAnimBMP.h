#pragma once
// The video-assembly dialog. Bitmap mode ("Generar AVI de ficheros BMP"):
// a list of equally sized bitmaps, previewed, written straight to an AVI.
// Surface mode ("Generar AVI de ficheros SUP", after PreparaSUP): a list of
// surface files previewed in a 3-D chart with one Z range common to all of
// them, rendered to frames by MakeAnimation and then written to an AVI.
#include <QDialog>
#include <QStringList>

namespace sorvan::platform { class Chart3D; }
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace sorvan::gui {
using namespace sorvan::platform;

class frmAnimBMP : public QDialog {
  Q_OBJECT
public:
  explicit frmAnimBMP(QWidget* owner = nullptr);

  // Switches the dialog to surface files.
  void PreparaSUP();
  bool SurfaceMode() const { return surfaceMode_; }

  // Adds files as "Añadir BMP..." / "Añadir SUP..." does after its dialog.
  void AddFiles(const QStringList& files);

  // The running Z range of the surfaces in the list (3e38 / -3e38 when empty).
  float ZMinimo() const { return zmin_; }
  float ZMaximo() const { return zmax_; }

  // The list, in the order added.
  QStringList Archivos() const;

  QListWidget* lstDIBList = nullptr;
  QPushButton* cmdFileOpen = nullptr;
  QPushButton* cmdClearList = nullptr;
  QPushButton* cmdWriteAVI = nullptr;
  QPushButton* cmdCancelar = nullptr;
  QLineEdit* txtFPS = nullptr;
  QLabel* imgPreview = nullptr;
  Chart3D* grafico = nullptr;

  void cmdFileOpen_Click();
  void cmdClearList_Click();
  void cmdWriteAVI_Click();
  void reject() override;

private:
  void lstDIBList_Click();
  void preview(const QString& file);
  bool loadSurface(const QString& file, bool extendRange);
  void clearRange();

  bool surfaceMode_ = false;
  // Format of the first bitmap added: every later one must match it.
  bool hasFirst_ = false;
  int firstWidth_ = 0, firstHeight_ = 0, firstBits_ = 0;
  QString firstFile_;  // the bitmap whose format every other must have
  float zmin_ = 3e38f, zmax_ = -3e38f;
};

// Title of a surface frame: its file's first line from character 38 on
// (empty for the surface files the engine writes).
QString SurfaceTitle(const QString& file);

}  // namespace sorvan::gui
