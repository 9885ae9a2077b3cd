#pragma once

class QGroupBox;

namespace lirotag::ui {

// Draws the group box's title on its frame, the frame line running through the middle
// of the title, as the window layout assumes: its controls start right below that line.
// Styles that put the title above the frame (Fusion among them) would otherwise run the
// frame through the first control of every group. Only the drawing changes: no control
// moves. Application style sheets still apply, and a sheet that styles the group box's
// frame or title takes over as usual.
void PutTitleOnFrame(QGroupBox* group);

}  // namespace lirotag::ui
