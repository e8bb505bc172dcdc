#pragma once
// The start-up window: shown without a frame while the main window loads.
#include <QWidget>

namespace sorvan::gui {

class frmSplash : public QWidget {
  Q_OBJECT
public:
  explicit frmSplash(QWidget* parent = nullptr);

protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace sorvan::gui
