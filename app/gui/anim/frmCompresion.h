#pragma once
// "Compresión de vídeo": the choice of the encoder for an AVI file among
// those this machine's FFmpeg offers, with the quality for the lossy ones.
// Every frame is stored as a key frame, so there is no key-frame setting.
#include <QDialog>
#include <string>
#include <vector>

#include "platform/video/avi_encoders.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace sorvan::gui {
using namespace sorvan::platform;

struct CompressorChoice {
  std::string encoder = "rawvideo";
  int quality = 75;  // 1 ... 100
};

class frmCompresion : public QDialog {
  Q_OBJECT
public:
  explicit frmCompresion(QWidget* owner);

  // Shows the dialog modally with the previous choice of this session
  // selected. Returns false when the user cancels; `choice` is then unchanged.
  static bool Choose(QWidget* owner, CompressorChoice& choice);

  QComboBox* ComboCompresor = nullptr;
  QSpinBox* TxtCalidad = nullptr;
  QPushButton* CoAceptar = nullptr;
  QPushButton* CoCancelar = nullptr;

  CompressorChoice Choice() const;
  void Select(const CompressorChoice& choice);

private:
  void ComboCompresor_Change();

  std::vector<AviEncoder> encoders_;
  QLabel* lblCalidad_ = nullptr;
};

}  // namespace sorvan::gui
