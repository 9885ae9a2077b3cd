#pragma once

#include <QIcon>

class QPainter;

namespace lirotag::ui {

// The program's icon, in a 256 × 256 square: the one picture behind the installed icon
// files, the window's icon and the About box.
void PaintProgramIcon(QPainter& painter);
QPixmap ProgramIconPixmap(int size);
QIcon ProgramIcon();

}  // namespace lirotag::ui
