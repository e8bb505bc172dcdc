#pragma once
// Chart3D: the 3-D chart control of the program, over Qt DataVisualization. It
// shows one grid surface (chart_grid.h) as
//  - a 3-D surface (Q3DSurface) coloured by Z, with an optional wire mesh
//    (SolidSurface(false)) and an optional projection of the contour lines on
//    the floor (ContourProjection);
//  - a plan contour map when the surface body is switched off
//    (SurfaceSwitches(false, false)): labelled contour lines (ContourMode 0) or
//    filled bands between the levels with their lines (ContourMode 1);
//  - 3-D bars, one bar per node (ChartType 1);
// with the title above and the colour scale of Z at the right. Hole nodes are
// left out of every view. Angles are in degrees.
//
// Batching: while Batch(true) is in force nothing is redrawn; Batch(false)
// rebuilds the picture once.
//
// The right mouse button turns the 3-D view; a right click that does not turn
// it raises customContextMenuRequested when the chart's context-menu policy is
// Qt::CustomContextMenu, as a click anywhere else on the chart does.
#include "platform/chart_grid.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>
#include <vector>

namespace sorvan::platform { class Chart3DView; }
namespace sorvan::platform { class Chart3DPlan; }
namespace sorvan::platform { class Chart3DScale; }
class QLabel;
class QPainter;

namespace sorvan::platform {

enum class GridAxis { X, Y };

class Chart3D : public QWidget {
  Q_OBJECT
public:
  explicit Chart3D(QWidget* parent = nullptr);
  ~Chart3D() override;

  // Whether the 3-D views can be drawn: false on a system without OpenGL,
  // where the chart shows a note in their place (the plan map, the colour
  // scale and the picture files still work).
  bool Has3DGraph() const;

  void Batch(bool on);
  bool Batching() const { return batch_ > 0; }
  void Move(int left, int top, int width, int height);
  void Visible(bool on);

  // Replaces the grid with a surface file (".sup" layout: optional "#" range
  // line, "GRID nx ny", "hole dx dy xMin yMin", nx rows of ny values). On
  // failure the chart keeps its grid, returns false and sets `error` to a
  // message naming the file. A load resets the Z axis range to the data's.
  bool LoadGridFile(const QString& path, QString* error = nullptr);

  // Grid geometry, set before LoadGridValues. Layout code 1 is the only layout
  // (regular grid). Node counts, steps and first-node coordinates per axis.
  void GridLayout(int code);
  void GridNodeCount(GridAxis axis, int n);
  void GridStep(GridAxis axis, double step);
  void GridOrigin(GridAxis axis, double first);
  void HoleValue(double hole);
  // Node values, X index fastest (values[i + nx*j]); `count` must be nx*ny,
  // otherwise nothing changes and false is returned. Resets the Z range.
  bool LoadGridValues(const float* values, long long count);
  const SurfaceGrid& Grid() const { return grid_; }

  // 0 surface, 1 bars. The bars view draws one bar per node up to 10000
  // nodes; a larger grid is shown by every k-th node along each axis (the
  // smallest k that keeps to 10000 bars), with a note under the graph.
  void ChartType(int type);
  int ChartTypeCode() const { return chartType_; }
  // The note of a thinned bars view (empty when every node has its bar).
  QString BarsNote() const;
  // Likewise the surface view, which draws at most 200 × 200 nodes (every
  // k-th node along each axis, k the smallest that keeps to that count).
  QString SurfaceNote() const;
  // Both on: the surface body is drawn; both off: only the contours (plan map).
  void SurfaceSwitches(bool a, bool b);
  bool SurfaceOn() const { return surface_; }
  // 0 contour lines, 1 contour bands (filled between levels).
  void ContourMode(int mode);
  int ContourModeCode() const { return contourMode_; }
  // Both on: the contour lines are projected on the floor of the 3-D view.
  void ContourProjection(bool a, bool b);
  bool ContourProjectionOn() const { return projection_; }
  // true: a smooth filled surface; false: the surface with its wire mesh.
  void SolidSurface(bool on);
  bool SolidSurfaceOn() const { return solid_; }
  // Whether the wire mesh is drawn now: not on a solid surface, nor where
  // the grid's cells would be smaller than kMinMeshCellPixels on screen (the
  // lines would cover the surface and turn it dark).
  bool MeshShown() const;
  static constexpr double kMinMeshCellPixels = 4.0;
  // Cell size, in pixels, of an nx by ny grid drawn in a 3-D view of `body`:
  // the surface's box takes about half the shorter side.
  static double CellPixels(int nx, int ny, QSize body);

  // The values written along the contour lines, in the contour maps and on
  // the floor of the 3-D view with contours (on at first). Only the labels
  // change: the kind of view stays.
  void ContourLabels(bool on);
  bool ContourLabelsOn() const { return labels_; }

  // The text shown for the node (i, j) (0-based) picked on the surface:
  // "X = ..., Y = ..., Z = ..." in that order, the coordinates with the
  // decimals their grid needs, Z with up to six significant digits.
  static QString PickedPointText(const SurfaceGrid& grid, int i, int j);

  // Viewpoint: rotation 0 looks from the south (north at the back), 90 from
  // the west, 180 from the north, 270 from the east. Elevation 0 is a side
  // view, 90 a view from straight above.
  void ViewRotation(int degrees);
  void ViewElevation(int degrees);
  int ViewRotationValue() const { return rotation_; }
  int ViewElevationValue() const { return elevation_; }

  void Title(const QString& text);
  QString TitleText() const { return title_; }

  // Fixes the Z axis (and colour scale) range. After a load it holds the
  // smallest and largest defined node value (widened by 1 each way for a
  // flat surface, 0..1 for an empty one).
  void ZAxisRange(float zmin, float zmax);
  float ZAxisMin() const { return zmin_; }
  float ZAxisMax() const { return zmax_; }
  // The Z scale as the axes and the colour scale show it, with its number of
  // equal steps (each one a grid line; labels on every step or every few).
  // A range set by ZAxisRange is shown exactly, in steps of the contour
  // levels when they are evenly spaced through its ends, otherwise in 3 to
  // 10 steps of few digits (0..36: 0, 6, ..., 36). After a load the data's
  // range is widened to round values.
  struct ZScale {
    double low, high;
    int segments;
  };
  ZScale ZAxisScale() const;

  // Contour levels. ContourLevelSwitch(true): the chart chooses about ten
  // round levels over the Z range itself (the initial state). false: the
  // levels set here are used: ContourLevelCount(n) gives n levels evenly
  // spaced from the Z axis minimum to its maximum (0 clears the list), and
  // AddContourLevel appends one level.
  void ContourLevelCount(int n);
  void AddContourLevel(double value);
  void ContourLevelSwitch(bool automatic);
  // The levels in use now, ascending.
  std::vector<double> ContourLevels() const;

  // Chart-wide look used when rendering frames: background colour (area 0:
  // the whole chart), frame around the picture (style code, width in pixels;
  // style 0 means none), whether the frame and the 3-D box are drawn, and
  // whether the chart redraws on screen (false while frames are rendered to
  // files; DrawToFile works either way).
  void Backdrop(int area, const QColor& color);
  void FrameSettings(int style, int width);
  void FrameSwitch(bool on);
  void RenderSwitch(bool on);

  // Writes the picture, at the chart's size, as a 24-bit Windows bitmap
  // (format code 1; the only one), whole or not at all. Returns true on
  // success; otherwise `error` names the file and the cause.
  bool DrawToFile(const QString& path, int format, QString* error = nullptr);
  // The picture at the chart's size (what DrawToFile writes).
  QImage Picture();
  // Writes the picture as ".png" (or another raster format), ".pdf" or ".svg";
  // in the two vector formats the plan map is drawn as vectors, the 3-D views
  // as a raster picture. Whole or not at all: returns false if the file
  // cannot be written, with `error` naming the file and the cause.
  bool ExportPicture(const QString& path, QString* error = nullptr);

signals:
  // The user finished turning the view with the mouse. The handler may change
  // the values; they are applied when it returns, unless the handler set the
  // view itself (ViewRotation / ViewElevation) meanwhile. `second` has no use
  // in this chart and is passed as 0.
  void ViewChanged(double& elevation, double& second, double& rotation);

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  friend class Chart3DView;
  friend class Chart3DPlan;
  friend class Chart3DScale;
  void changed();
  void rebuild();
  void resetZRange();
  // The Z range as axes and colour scale show it: ZAxisRange out to round
  // values, with its number of round steps.
  struct ShownRange {
    double low = 0.0, high = 1.0;
    int segments = 1;
  };
  ShownRange shownRange() const;
  void userTurnedView(double elevation, double rotation);
  QColor colourOf(double z) const;
  void paintVector(QPainter& painter, const QImage& picture);

  SurfaceGrid grid_;
  int chartType_ = 0;
  bool surface_ = true;
  int contourMode_ = 0;
  bool projection_ = false;
  bool solid_ = false;
  bool labels_ = true;
  int rotation_ = 45;
  int elevation_ = 45;
  QString title_;
  float zmin_ = 0.0f, zmax_ = 1.0f;
  bool zFixed_ = false;  // the range comes from ZAxisRange, not from the data
  bool autoLevels_ = true;
  std::vector<double> levels_;
  QColor backdrop_ = Qt::white;
  int frameStyle_ = 0, frameWidth_ = 0;
  bool frameOn_ = true;
  int batch_ = 0;
  bool dirty_ = false;
  bool viewSetByHandler_ = false;

  QLabel* titleLabel_ = nullptr;
  QLabel* noteLabel_ = nullptr;
  Chart3DView* view3d_ = nullptr;
  Chart3DPlan* plan_ = nullptr;
  Chart3DScale* scale_ = nullptr;
};

}  // namespace sorvan::platform
