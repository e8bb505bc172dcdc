#pragma once
// File names as the user and the engine spell them: the engine writes its
// result files in upper case ("SKUESTIM.SV") while the program asks for them
// in lower case ("skuestim.sv"), which on a case-sensitive file system name
// different files.
#include <QString>

namespace sorvan::gui {

// `path` when it names an existing file; otherwise the file of its folder whose
// name matches ignoring case; otherwise `path` unchanged.
QString ExistingFile(const QString& path);

}  // namespace sorvan::gui
