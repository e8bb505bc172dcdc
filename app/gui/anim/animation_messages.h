#pragma once
// Message boxes of the animation tools: titled with the program's title and
// answered with OK only.
#include <QMessageBox>
#include <QString>

namespace sorvan::core { class cDIB; }

namespace sorvan::gui {
using namespace sorvan::core;

// The title of the program's message boxes.
QString ProgramTitle();

// A modal box over `owner`; `detail`, when given, is offered behind the
// "Show Details..." button so that the main text stays the program's own.
void AnimationMessage(QWidget* owner, QMessageBox::Icon icon, const QString& text,
                 const QString& detail = QString());

// Makes `dib` show its own messages (missing, locked or unsupported file) in
// boxes over `owner`, as the bitmap class does for its users.
void UserMessages(cDIB& dib, QWidget* owner);

}  // namespace sorvan::gui
