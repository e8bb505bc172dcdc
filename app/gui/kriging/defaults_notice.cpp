#include "gui/kriging/defaults_notice.h"

#include <QMessageBox>

#include "core/automatic_options_text.h"
#include "core/kriging_session.h"

namespace sorvan::gui {
using namespace sorvan::core;

QString DefaultsNoticeText(const sorvan::core::KrigingSession& session) {
  return QStringLiteral("Atención se toman los valores iniciales por defecto.\n\n") +
         QString::fromStdString(sorvan::core::DescribeAutomaticOptions(session.options)) +
         QStringLiteral("\n\nPara cambiarlos, pulse \"Opciones\".");
}

void NoticeDefaults(QWidget* parent, sorvan::core::KrigingSession& session, const QString& title) {
  // Told again only for another data file, or when the automatic values
  // themselves changed (other coordinate columns, edited coordinates).
  const std::string key = session.dataFile + '|' + sorvan::core::DescribeAutomaticOptions(session.options);
  if (session.defaultsAnnounced == key) return;
  session.defaultsAnnounced = key;
  QMessageBox::information(parent, title, DefaultsNoticeText(session));
}

}  // namespace sorvan::gui
