#include "ui/window_fit.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace waveharm {

QMargins windowFrameMargins(const QWidget& window) {
    const QRect frame = window.frameGeometry();
    const QRect inner = window.geometry();
    if (window.isVisible() && frame != inner) {
        return {inner.left() - frame.left(), inner.top() - frame.top(),
                frame.right() - inner.right(), frame.bottom() - inner.bottom()};
    }
    // Before the window manager has framed the window: a title bar and thin borders.
    return {4, 28, 4, 4};
}

QSize fittedSize(QSize wanted, QSize minimum, QSize available, QMargins frame) {
    const int roomW = available.width() - frame.left() - frame.right();
    const int roomH = available.height() - frame.top() - frame.bottom();
    return {std::max(minimum.width(), std::min(wanted.width(), roomW)),
            std::max(minimum.height(), std::min(wanted.height(), roomH))};
}

void placeOnScreen(QWidget& window, QSize wanted) {
    const QScreen* screen = window.screen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QMargins frame = windowFrameMargins(window);
    window.resize(fittedSize(wanted, window.minimumSize(), area.size(), frame));
    // move() places the frame, so the title bar stays on the screen.
    window.move(area.topLeft());
}

}  // namespace waveharm
