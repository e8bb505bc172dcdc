#pragma once
// Surface chart window: one grid surface in the 3-D chart, with the toolbar
// BarraGraf3D (five views, labels, solid surface) and the viewpoint and
// elevation lists. A view turned with the mouse snaps to the lists' angles.
#include <QString>
#include <QWidget>

namespace sorvan::platform { class Chart3D; }
class QComboBox;
class QToolBar;
namespace sorvan::core {
struct KrigingSession;
}

namespace sorvan::gui {
using namespace sorvan::core;
using namespace sorvan::platform;

class frmChart3D : public QWidget {
  Q_OBJECT
public:
  explicit frmChart3D(QWidget* parent = nullptr);
  ~frmChart3D() override;

  Chart3D& Grafico() { return *grafico_; }
  QToolBar* BarraGraf3D() const { return toolbar_; }
  QComboBox* ComboVista() const { return comboVista_; }
  QComboBox* ComboElevacion() const { return comboElevacion_; }

  // Shows surface `kind`: 1 the prediction, 2 the variance of the session's
  // last run, 3 the surface file `text`, 4 the trend that run fitted, on the
  // prediction's grid; any other kind leaves the chart empty. Returns false,
  // with `error` naming the file (kind 3) or saying that there is no run (or
  // no trend) to show (kinds 1, 2, 4), when there is nothing to draw,
  // or naming the surface when this system cannot draw 3-D graphs (no OpenGL).
  // A file shown (kind 3) is kept in the property "archivoSuperficie", for
  // "Save como...".
  bool Load(int kind, const QString& text, const sorvan::core::KrigingSession& session, QString* error);

  // A toolbar button by its key ("vista1" ... "vista5", "etiquetas", "solida").
  void BarraGraf3D_ButtonClick(const QString& key);
  // The chart's report of a view turned with the mouse: brings the angles into
  // range and selects the list items of the sector and band the view lies in.
  void Grafico_ViewChanged(double& elevation, double& second, double& rotation);

  // Angles of the list items, in list order.
  static const int kViewAngles[8];
  static const int kElevationAngles[7];

protected:
  void resizeEvent(QResizeEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

private:
  void createToolbar();
  void Form_Resize();
  void applyView();
  // "Export imagen..." at `global`, for a right click anywhere on the window.
  void showContextMenu(const QPoint& global);

  Chart3D* grafico_ = nullptr;
  QToolBar* toolbar_ = nullptr;
  QComboBox* comboVista_ = nullptr;
  QComboBox* comboElevacion_ = nullptr;
};

}  // namespace sorvan::gui
