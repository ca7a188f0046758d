#pragma once

#include <QSize>

class QWidget;

// Windows fit the screen they open on: a window is never larger than the screen's available area
// (the screen less its task bars and docks) less the frame that the window manager puts around
// it, so its title bar and its buttons stay on the screen also at large text sizes.
class ScreenFit {
public:
    // The room for a window's own area on its screen. Before a window is shown its frame is not
    // known: the frame of the window it opens from stands in for it.
    static QSize room(const QWidget& window);
    // Shrinks the window into that room where it is larger; a window not sized yet first takes the
    // size it would open with. A window whose contents need more than the room gets them in a
    // scroll area.
    static void fit(QWidget& window);
};
