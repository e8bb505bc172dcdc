#pragma once
// What a run leaves out of the data set: rows with X, Y or Z missing, and
// points that the duplicates policy merged into another at the same place.
// Told in the run's log (a line the program appends after the engine's own)
// and in the status bar after the run.
#include <string>

#include "core/duplicates.h"
#include "core/result.h"

namespace sorvan::core {

struct DataLeftOut {
  int rowsWithoutXYZ = 0;   // rows with X, Y or Z missing
  int pointsMerged = 0;  // points merged into the first of their group
  DuplicatePolicy policy = DuplicatePolicy::Error;
  bool empty() const { return rowsWithoutXYZ == 0 && pointsMerged == 0; }
};

// "2 filas sin X, Y o Z; 3 puntos repetidos promediados" (or "... descartados"
// when the first of each group is kept); empty when nothing was left out.
std::string DataLeftOutText(const DataLeftOut& fuera);

// The log line: "Data fuera del cálculo: <DataLeftOutText>."
std::string DataLeftOutLogLine(const DataLeftOut& fuera);

// Appends DataLeftOutLogLine to `folder`/KRIGING.LOG; nothing when
// nothing was left out. A failure names the file.
Result RecordDataLeftOut(const std::string& folder, const DataLeftOut& fuera);

}  // namespace sorvan::core
