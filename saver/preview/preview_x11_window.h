#pragma once
// The preview window Tovik_R as an X window inside the host window, on an X connection of its own, so that
// the host vanishing under it can never disturb the toolkit's connection.
#include <cstdint>
#include <memory>
#include <vector>

namespace mirevo {

struct PreviewPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb; // width * height * 3, top row first
};

class PreviewX11Window {
public:
    // Creates the window as a child of the host, at 0,0 and sized to it, showing the picture at its own size
    // from the top-left on black, and watches both windows. Nothing when the display cannot be opened or the
    // host is not a window that can hold one (0, a number that names no window, an input-only window).
    static std::unique_ptr<PreviewX11Window> open(unsigned long host, const PreviewPicture& picture,
                                                  float twipsPerPixelX, float twipsPerPixelY);
    ~PreviewX11Window();
    PreviewX11Window(const PreviewX11Window&) = delete;
    PreviewX11Window& operator=(const PreviewX11Window&) = delete;

    // The connection's file descriptor, readable when events arrive.
    int connectionNumber() const;
    // Takes every event that has arrived; false once the preview window or its host has been destroyed.
    bool handleEvents();

private:
    struct Connection;
    explicit PreviewX11Window(std::unique_ptr<Connection> connection);

    std::unique_ptr<Connection> connection_;
};

} // namespace mirevo
