#pragma once

#include <QColor>

// The window system's own colours, addressed by their system colour index,
// so that a window can give a control the same colour as the rest of the
// desktop gives that kind of surface.
namespace SystemColors {

constexpr int WindowBackground = 5;  // background of text boxes and lists
constexpr int InactiveBorder = 11;   // border of a window that is not active
constexpr int ButtonFace = 15;       // face of buttons and dialog backgrounds

// The colour the desktop now uses for the given system colour index.
QColor SystemColour(int index);

}  // namespace SystemColors
