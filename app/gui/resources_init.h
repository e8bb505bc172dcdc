#pragma once

namespace sorvan::gui {
// The program's own images (icon) and its user manual, compiled into the GUI
// library.
namespace Principal {

// Registers the resources. The windows that use them call this first; it may
// be called any number of times.
void InitResources();

}  // namespace Principal

}  // namespace sorvan::gui
