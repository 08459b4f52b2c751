#pragma once
// The zoom outline on Qt: a frameless window that the window manager leaves alone, shaped to a thin
// rectangle, moved and resized through the frames of zoomFrames.
#include <functional>

#include <QWidget>

#include "saver/settings_dialog/zoom_frames.h"

namespace mirevo {

class QtZoomOutline : public QWidget {
public:
    QtZoomOutline();
    // Shows the frames from one rectangle to the other at their pace, then hides; returns when done.
    // meanwhile runs after the first frame; the frames its work delays are skipped, not drawn late.
    void play(const ZoomRect& from, const ZoomRect& to, const std::function<void()>& meanwhile);

private:
    void showFrame(const ZoomRect& r);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace mirevo
