#include "gui/frmMain.h"

#include <QDir>
#include <QMdiArea>
#include <QMessageBox>
#include <QStatusBar>

#include "gui/charts/chart_windows.h"
#if __has_include("core/sesion_kriging.h")
#include "core/sesion_kriging.h"
#define SORVAN_HAS_SESION 1
#else
struct SesionKriging {};  // until the core session is in place
#endif

namespace {
frmMain* instancia = nullptr;
}

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
  instancia = this;
  setWindowTitle(QStringLiteral("Sorvan"));
  mdi_ = new QMdiArea(this);
  setCentralWidget(mdi_);
  carpetaInicio_ = QDir::currentPath();
#ifdef SORVAN_HAS_SESION
  sesion_ = std::make_unique<SesionKriging>();
#endif
  statusBar()->showMessage(QStringLiteral("Preparado"));
}

frmMain::~frmMain() {
  if (instancia == this) instancia = nullptr;
}

frmMain* frmMain::Instance() { return instancia; }

void frmMain::MensajeBE(const QString& text) {
  statusBar()->showMessage(text);
  statusBar()->repaint();
}

void frmMain::NuevoGraf2D(const QString& file, const QString& title) {
  QString error;
  if (!AbrirGraf2D(mdi_, file, title, &error))
    QMessageBox::warning(this, windowTitle(), error.isEmpty() ? file : error);
}

void frmMain::NuevoGraf3D(int kind, const QString& title) {
  QString error;
  if (!sesion_ || !AbrirGraf3D(mdi_, kind, title, *sesion_, &error))
    QMessageBox::warning(this, windowTitle(), error.isEmpty() ? title : error);
}

QMdiArea* frmMain::AreaMDI() { return mdi_; }
QString frmMain::CarpetaInicio() const { return carpetaInicio_; }
SesionKriging& frmMain::Sesion() { return *sesion_; }
void frmMain::HabilitarKriging(bool enabled) { (void)enabled; }
bool frmMain::AbrirDatos(const QString& path) { (void)path; return false; }
frmDatos* frmMain::Datos() const { return datos_; }
void frmMain::closeEvent(QCloseEvent* event) { QMainWindow::closeEvent(event); }
void frmMain::createActions() {}
void frmMain::createMenus() {}
void frmMain::createStatusBar() {}
void frmMain::readSettings() {}
void frmMain::writeSettings() {}
void frmMain::actualizarMenuVentana() {}
void frmMain::mnuAbrirDatos() {}
void frmMain::mnuAbrirSuperficie() {}
void frmMain::mnuAbrirVariograma() {}
void frmMain::mnuAcercaDe() {}
void frmMain::mnuAyuda() {}
