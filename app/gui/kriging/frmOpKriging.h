#pragma once
// The options dialog "Options Kriging": shows the kriging options on six
// tabs, recomputes the grid on request ("Ajustar"), associates a profile
// (".per" polygon) and writes the fields back into the options on "Accept".
//
// It edits the options record it is given in place, and only on "Accept";
// "Cancelar" changes no option. A profile associated while the dialog is open
// stays associated even when the dialog is then cancelled. The opener must
// have filled the options with their automatic values first.
#include <QDialog>

#include "core/spatial_data.h"
#include "core/kriging_options.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
namespace sorvan::gui { class ControlUpDown; }

namespace sorvan::gui {
using namespace sorvan::core;

class frmOpKriging : public QDialog {
  Q_OBJECT
public:
  // `data`, `colX` and `colY` (1-based) give the extent of the coordinates
  // that "Ajustar" fits the grid to.
  frmOpKriging(sorvan::core::OpcionesKriging& options, const sorvan::core::SpatialData& data, int colX,
               int colY, QWidget* parent = nullptr);

  // The controls keep the names the system's users and tests know them by.
  QTabWidget* Pestanas = nullptr;
  // "Método kriging"
  QButtonGroup* OpMedia = nullptr;
  // Frame "Kriging Local": checkable; checked, every node is kriged from its
  // own neighbours.
  QGroupBox* FraKrigingLocal = nullptr;
  QLineEdit* TxtNVecinos = nullptr;
  QLineEdit* TxtNMinVecinos = nullptr;
  QLineEdit* TxtDistVecinos = nullptr;  // empty: no distance limit
  QCheckBox* VerCuadrantes = nullptr;
  QCheckBox* VerVariograma = nullptr;
  QCheckBox* VerTendencia = nullptr;
  QCheckBox* VerSupTend = nullptr;  // "Generar gráfico con tendencia", enabled with a trend chosen
  // "Estimación variograma"
  QButtonGroup* OpEstimador = nullptr;
  QLineEdit* TxtSaltoIni = nullptr;
  QLineEdit* TxtRSalto = nullptr;
  QLineEdit* TxtNSaltos = nullptr;
  QLineEdit* TxtNApor = nullptr;
  QPushButton* CoAutoESV = nullptr;
  QCheckBox* VerLongVar = nullptr;
  QCheckBox* VerEstimadores = nullptr;
  // "Modelo variograma"
  QButtonGroup* OpModelo = nullptr;
  QLineEdit* TxtNAjus = nullptr;
  QLineEdit* TxtNMinAjus = nullptr;
  QCheckBox* ChkAjusteGlobal = nullptr;  // fit method global: several starting points
  QCheckBox* VerAjuste = nullptr;
  // "Grid de predicción "
  QLineEdit* TxtMinRx = nullptr;
  QLineEdit* TxtMinRy = nullptr;
  QLineEdit* TxtNRx = nullptr;
  QLineEdit* TxtNRy = nullptr;
  ControlUpDown* UpDownNRx = nullptr;
  ControlUpDown* UpDownNRy = nullptr;
  QLineEdit* TxtLRx = nullptr;
  QLineEdit* TxtLRy = nullptr;
  QPushButton* CoAutoRej = nullptr;
  // "Superficies"
  QCheckBox* VerSupPred = nullptr;
  QCheckBox* VerSupVar = nullptr;
  QLineEdit* TxtGuardarPred = nullptr;  // "Save" frame: files exported after each run
  QLineEdit* TxtGuardarVar = nullptr;
  // "Profile  "
  QCheckBox* VerPerfil = nullptr;
  QLineEdit* TxtPerfil = nullptr;
  QCheckBox* VerRejillaPerfil = nullptr;
  QButtonGroup* OpExcluir = nullptr;
  QButtonGroup* OpValorExcluidos = nullptr;
  // Buttons below the tabs.
  QPushButton* CoAceptar = nullptr;
  QPushButton* CoCancelar = nullptr;
  QPushButton* CoAyuda = nullptr;

private:
  QWidget* createMethodPage();
  QWidget* createEstimationPage();
  QWidget* createModelPage();
  QWidget* createGridPage();
  QWidget* createSurfacesPage();
  QWidget* createProfilePage();
  void load();

  void VerLongVar_Click();
  void CoAutoESV_Click();
  void CoAutoRej_Click();
  void VerPerfil_Click();
  void CoAceptar_Click();

  // Fits the grid boxes to the profile's bounding box (nodes at the centres
  // of Nx by Ny equal cells).
  void fitGridToProfile();
  void removeProfile();
  // Message box titled "Sorvan: Kriging 2D" with a warning icon; the focus
  // goes to `field` with its text selected so the user can correct it.
  void reject(const QString& text, QLineEdit* field);

  sorvan::core::OpcionesKriging& options_;
  const sorvan::core::SpatialData& data_;
  int colX_, colY_;
  // Labels enabled and disabled together with their boxes by VerLongVar.
  QLabel* LblSaltoIni = nullptr;
  QLabel* LblRSalto = nullptr;
  QLabel* LblNSaltos = nullptr;
};

}  // namespace sorvan::gui
