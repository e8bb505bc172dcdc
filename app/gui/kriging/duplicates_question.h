#pragma once
// Before a run: points at the same coordinates are named and the user chooses
// what the run does with them (average them, keep the first of each group,
// or not run).
class QWidget;
namespace sorvan::core {
struct KrigingSession;
}

namespace sorvan::gui {
using namespace sorvan::core;

// Asks only when the rows the run would use hold coinciding points and the
// session's policy is still "stop". False when the user cancels the run.
bool ChooseDuplicatePolicy(QWidget* parent, sorvan::core::KrigingSession& session);

}  // namespace sorvan::gui
