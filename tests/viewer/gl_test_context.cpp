#include "tests/viewer/gl_test_context.h"

#include <cstdlib>

#include <SDL.h>

namespace mirevo::test {

GlTestContext::GlTestContext(const std::string& display, int width, int height) {
    setenv("DISPLAY", display.c_str(), 1);
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        error_ = SDL_GetError();
        return;
    }
    videoStarted_ = true;
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    window_ = SDL_CreateWindow("mirevo-gl-test", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (window_) context_ = SDL_GL_CreateContext(window_);
    if (!context_) {
        error_ = SDL_GetError();
        return;
    }
    SDL_GL_MakeCurrent(window_, context_);
}

GlTestContext::~GlTestContext() {
    if (context_) SDL_GL_DeleteContext(context_);
    if (window_) SDL_DestroyWindow(window_);
    if (videoStarted_) SDL_Quit();
}

} // namespace mirevo::test
