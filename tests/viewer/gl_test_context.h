#pragma once
// A real GL context for tests and benchmarks: a hidden SDL window on the given X display (llvmpipe under
// Xvfb).
#include <string>

struct SDL_Window;

namespace mirevo::test {

class GlTestContext {
public:
    GlTestContext(const std::string& display, int width, int height);
    ~GlTestContext();
    GlTestContext(const GlTestContext&) = delete;
    GlTestContext& operator=(const GlTestContext&) = delete;

    bool ok() const { return context_ != nullptr; }
    const std::string& error() const { return error_; }

private:
    SDL_Window* window_ = nullptr;
    void* context_ = nullptr;
    bool videoStarted_ = false;
    std::string error_;
};

} // namespace mirevo::test
