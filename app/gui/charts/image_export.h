#pragma once
// "Export imagen..." of the chart windows' context menu: asks for a file name
// (PNG picture, PDF document or SVG drawing) and writes the chart with `escribir`, telling
// the user, by the file's name, when it cannot be written.
#include <QString>
#include <functional>

class QWidget;

namespace sorvan::gui {

void ExportImage(QWidget* window, const std::function<bool(const QString&, QString*)>& escribir);

}  // namespace sorvan::gui
