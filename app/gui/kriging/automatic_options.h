#pragma once
// The automatic options of a run for the session's data and its X and Y
// columns, worked out beside the window: with a million points the shortest
// pair distances take seconds, under a progress box with "Cancelar".
#include "core/result.h"

class QWidget;
namespace sorvan::core {
struct KrigingSession;
}

namespace sorvan::gui {
using namespace sorvan::core;

// False when the user cancelled (the options untouched). Otherwise `r` says
// how it went: on success the session's options hold the automatic values,
// on a refusal (too few data, all points at one place...) they are untouched.
bool ComputeAutomaticOptions(QWidget* parent, sorvan::core::KrigingSession& session, sorvan::core::Result& r);

}  // namespace sorvan::gui
