#include <QApplication>

#include "gui/frmMain.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  frmMain w;
  w.show();
  return app.exec();
}
