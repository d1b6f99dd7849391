#pragma once
// Windows that fit the screen they open on: the wanted size when it fits the screen's
// available area with the window manager's frame, else the largest that fits (never
// below the window's minimum), with the frame's top-left corner, and so the title
// bar, at the area's top-left.

#include <QMargins>
#include <QSize>

class QWidget;

namespace waveharm {

/// The frame the window manager puts round `window`: measured once the window has been
/// shown, else a typical title bar and border.
QMargins windowFrameMargins(const QWidget& window);

/// The inner size for `wanted` on an available area of `available` with `frame`, at
/// least `minimum`.
QSize fittedSize(QSize wanted, QSize minimum, QSize available, QMargins frame);

/// Sizes and places the top-level `window` on its screen as told above.
void placeOnScreen(QWidget& window, QSize wanted);

}  // namespace waveharm
