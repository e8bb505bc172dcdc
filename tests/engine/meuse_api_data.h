#pragma once
// Meuse's 155 zinc data as the named interface takes them, and the small grid
// over them that the interface's tests krige on.
#include "kriging_api.h"
#include "kriging_reference.h"

namespace kriging {

inline KrigingData MeuseData() {
  const reference::Data meuse = reference::Meuse();
  KrigingData data;
  for (int i = 0; i < meuse.size(); ++i) {
    data.x.push_back(meuse.x[i]);
    data.y.push_back(meuse.y[i]);
    data.z.push_back(meuse.z[i]);
  }
  return data;
}

inline KrigingOptions MeuseOptions() {
  KrigingOptions o;
  o.grid = {12, 14, 178648.0, 329784.0, 241.75, 290.0};
  return o;
}

}  // namespace kriging
