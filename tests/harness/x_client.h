#pragma once
// A test's own connection to the X server: windows by title, geometry, screenshots, the root picture, and
// keys and clicks sent through XTest.
#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

typedef struct _XDisplay Display;

namespace mirevo::test {

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb; // width * height * 3, top row first
    std::array<uint8_t, 3> at(int x, int y) const {
        size_t i = (static_cast<size_t>(y) * width + x) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
    void set(int x, int y, std::array<uint8_t, 3> c) {
        size_t i = (static_cast<size_t>(y) * width + x) * 3;
        rgb[i] = c[0], rgb[i + 1] = c[1], rgb[i + 2] = c[2];
    }
};

// A picture with the colour colourAt(x, y) at every pixel.
template <typename ColourAt> Image makeImage(int width, int height, ColourAt colourAt) {
    Image image{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 3)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.set(x, y, colourAt(x, y));
    return image;
}

// Colour distance for comparisons with a tolerance: the largest channel difference.
int colourDistance(std::array<uint8_t, 3> a, std::array<uint8_t, 3> b);

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0; // x, y relative to the root
};

class XClient {
public:
    explicit XClient(const std::string& display);
    ~XClient();
    XClient(const XClient&) = delete;
    XClient& operator=(const XClient&) = delete;

    bool ok() const { return display_ != nullptr; }
    Display* display() const { return display_; }
    unsigned long root() const;

    unsigned long findWindow(const std::string& title); // 0 when none
    // Polls for a window with this title until the deadline: the window, or 0 when none came.
    unsigned long waitForWindow(const std::string& title, std::chrono::milliseconds deadline);
    // Polls until no window has this title; false when one is still there at the deadline.
    bool waitForNoWindow(const std::string& title, std::chrono::milliseconds deadline);
    std::optional<Geometry> geometry(unsigned long window);
    bool mapped(unsigned long window);
    // Screenshot of a window's area (the root for the whole screen), as the screen shows it.
    std::optional<Image> screenshot(unsigned long window);
    // Paints the root window with the picture (kept while the server lives: start Xvfb with -noreset).
    void setRootPicture(const Image& picture);
    // Presses and releases a key, by X keysym name ("Escape", "a"), through XTest.
    void sendKey(const std::string& keysymName);
    // Gives the keyboard focus to a window (only one on the screen can take it); keys sent then reach it
    // wherever the pointer is.
    void focus(unsigned long window);
    void click(int x, int y, int button = 1);
    // The parts of a click, for drags: the pointer to a point on the root, a mouse button down or up.
    void movePointer(int x, int y);
    void pressButton(int button = 1);
    void releaseButton(int button = 1);
    void sync();

private:
    Display* display_ = nullptr;
};

} // namespace mirevo::test
