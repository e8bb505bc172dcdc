#pragma once
// "Animar superficies Kriging 2D": kriges several variables of the open data
// set one after another with the same coordinates and options, keeps each
// prediction surface as ANIMnn.SUP in the working folder, and renders the
// series to an AVI video with one Z scale common to every frame.
#include <QDialog>
#include <QStringList>

#include "core/kriging_session.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace sorvan::gui {
using namespace sorvan::core;

class frmAnimK2D : public QDialog {
  Q_OBJECT
public:
  // Fills the lists and drop-downs from the session's data set.
  explicit frmAnimK2D(sorvan::core::KrigingSession& session, QWidget* owner = nullptr);

  // True while the dialog shows the data set it was loaded with.
  bool MismosDatos() const;

  QComboBox* ComboX = nullptr;
  QComboBox* ComboY = nullptr;
  QComboBox* ComboE = nullptr;
  QListWidget* ListaZ = nullptr;
  QListWidget* ListaSup = nullptr;
  QPushButton* CoAñadir = nullptr;
  QPushButton* CoEliminar = nullptr;
  QLineEdit* txtFPS = nullptr;
  QPushButton* CoOpciones = nullptr;
  QPushButton* CoAyuda = nullptr;
  QPushButton* CoCancelar = nullptr;
  QPushButton* CoAceptar = nullptr;

  // The surface files and titles of the last series (for the caller's checks).
  QStringList ArchivosSerie() const { return archivos_; }
  QStringList TitulosSerie() const { return titulos_; }
  bool OpcionesElegidas() const { return opcionesElegidas_; }

  void CoAñadir_Click();
  void CoEliminar_Click();
  void CoOpciones_Click();
  void CoAceptar_Click();

  void reject() override;

protected:
  bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
  bool Valido();
  void TomaColumnas();
  bool PreparaOpciones();
  static void Mueve(QListWidget* from, QListWidget* hasta);

  sorvan::core::KrigingSession& sesion_;
  const sorvan::core::SpatialData* datosCargados_ = nullptr;
  std::string archivoCargado_;
  bool opcionesElegidas_ = false;
  QStringList archivos_, titulos_;
};

}  // namespace sorvan::gui
