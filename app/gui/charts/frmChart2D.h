#pragma once
// Semivariogram chart window: one ".sv" chart file (both estimators, or the
// estimator and its fitted model) and, when present, the annotation of its
// ".fmt" companion: legend, pair count under each lag, class limits on the
// X axis. A click on the chart emphasises series 2 and series 1 in turn.
#include <QString>
#include <QWidget>

namespace sorvan::platform { class Chart2D; }

namespace sorvan::gui {
using namespace sorvan::platform;

class frmChart2D : public QWidget {
  Q_OBJECT
public:
  explicit frmChart2D(QWidget* parent = nullptr);

  Chart2D& Grafico() { return *grafico_; }

  // Loads the chart file `path` and annotates it from its companion, all in
  // one batch. Returns false, with `error` naming the file, when the chart
  // file cannot be read; the chart is then left empty. A companion that
  // stops short or holds a non-number ends the annotation where it fails
  // and sets `warning` to a message naming it; what was read stays drawn.
  bool Load(const QString& path, QString* error, QString* warning);

  // The display toggle: false until the first click.
  bool Toggle() const { return alternate_; }
  // What a click on the chart does.
  void Grafico_ChartClicked();

  // Path of the companion annotation file of `path` (extension "fmt",
  // matched ignoring case as the engine writes upper-case names); empty when
  // there is none.
  static QString Companion(const QString& path);

protected:
  void resizeEvent(QResizeEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

private:
  void Form_Resize();
  bool note(const QString& fmtPath);

  Chart2D* grafico_ = nullptr;
  bool alternate_ = false;
};

}  // namespace sorvan::gui
