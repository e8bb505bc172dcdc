#pragma once
// Numbers typed in the animation dialogs and prompts, read by the program's
// one rule (core/number_text.h).
#include <QString>
#include <optional>

class QWidget;

namespace sorvan::gui {

// The frame rate typed in a "Frames/seg." box: the number rounded to an
// integer with ties to even ("2.5" gives 2, "3.5" gives 4), kept within the
// 16-bit range (the video writer later brings it into 1 ... 30). Nothing when
// the text is not a number.
std::optional<int> FramesPerSecond(const QString& text);

// FramesPerSecond, or a message over `owner` naming the "Frames/seg."
// box and the text, and nothing.
std::optional<int> FramesPerSecondOr(QWidget* owner, const QString& text);

}  // namespace sorvan::gui
