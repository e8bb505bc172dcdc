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
  bool SameData() const;

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
  QStringList SeriesFiles() const { return frameFiles_; }
  QStringList SeriesTitles() const { return titles_; }
  bool ChosenOptions() const { return chosenOptions_; }

  void CoAñadir_Click();
  void CoEliminar_Click();
  void CoOpciones_Click();
  void CoAceptar_Click();

  void reject() override;

protected:
  bool eventFilter(QObject* object, QEvent* event) override;

private:
  bool Valid();
  void TakeColumns();
  bool PrepareOptions();
  static void Move(QListWidget* from, QListWidget* hasta);

  sorvan::core::KrigingSession& session_;
  const sorvan::core::SpatialData* dataLoaded_ = nullptr;
  std::string loadedFile_;
  bool chosenOptions_ = false;
  QStringList frameFiles_, titles_;
};

}  // namespace sorvan::gui
