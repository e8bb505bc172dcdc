#pragma once
// The notice that a run takes the automatic options: shown once per data
// set, saying which values were chosen.
#include <QString>

class QWidget;
namespace sorvan::core {
struct KrigingSession;
}

namespace sorvan::gui {
using namespace sorvan::core;

// Tells the user, over `parent` with `title`, that the options of `session`
// hold the automatic values and which they are, the first time for the
// session's data file and these values; later calls for the same say
// nothing.
void NoticeDefaults(QWidget* parent, sorvan::core::KrigingSession& session, const QString& title);

// The notice's text for the options of `session`.
QString DefaultsNoticeText(const sorvan::core::KrigingSession& session);

}  // namespace sorvan::gui
