#include "gui/resources_init.h"

#include <QtGlobal>
#include <QDir>

// Outside any namespace, as the resource macro requires. The resources live in
// a static library, so nothing would pull them in without this reference.
static void registerResources() {
  Q_INIT_RESOURCE(sorvan);
  Q_INIT_RESOURCE(manual);
}

namespace sorvan::gui {
namespace Principal {

void InitResources() {
  static bool done = false;
  if (!done) {
    registerResources();
    done = true;
  }
}

}  // namespace Principal

}  // namespace sorvan::gui
