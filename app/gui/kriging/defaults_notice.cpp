#include "gui/kriging/defaults_notice.h"

#include <QMessageBox>

#include "core/automatic_options_text.h"
#include "core/sesion_kriging.h"

QString TextoAvisoDefectos(const sorvan::SesionKriging& sesion) {
  return QStringLiteral("Atención se toman los valores iniciales por defecto.\n\n") +
         QString::fromStdString(sorvan::DescribeAutomaticOptions(sesion.opciones)) +
         QStringLiteral("\n\nPara cambiarlos, pulse \"Opciones\".");
}

void AvisaDefectos(QWidget* padre, sorvan::SesionKriging& sesion, const QString& titulo) {
  // Told again only for another data file, or when the automatic values
  // themselves changed (other coordinate columns, edited coordinates).
  const std::string clave = sesion.archivoDatos + '|' + sorvan::DescribeAutomaticOptions(sesion.opciones);
  if (sesion.defectosAnunciados == clave) return;
  sesion.defectosAnunciados = clave;
  QMessageBox::information(padre, titulo, TextoAvisoDefectos(sesion));
}
