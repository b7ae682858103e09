#pragma once

#include <QIcon>
#include <QImage>

namespace lodrix {

// The application's picture: the red arm on its yellow shaft above the blue
// motor, drawn at any size (32 px is the window icon).
QImage drawAppIcon(int size);
QIcon appIcon();

} // namespace lodrix
