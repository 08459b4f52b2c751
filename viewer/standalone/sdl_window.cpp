#include "viewer/standalone/sdl_window.h"

#include <SDL.h>

#include "common/program_names.h"
#include "common/x11/x11_error_handler.h"

namespace mirevo::viewer {

Result<std::unique_ptr<SdlViewerWindow>, SdlViewerWindow::OpenFailure> SdlViewerWindow::open() {
    using Step = OpenFailure::Step;
    // The saver finds the viewer by its X window title, so X it is, whatever SDL_VIDEODRIVER says.
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);
    // The viewer is the screen saver; it must not keep the display from blanking.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    std::unique_ptr<SdlViewerWindow> self(new SdlViewerWindow());
    // X protocol errors must not end the viewer with Xlib's exit code 1: SDL can provoke a harmless one
    // while the window goes away. Set before SDL starts its video, so SDL's own handler passes them on.
    x11InstallErrorHandler();
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        return Failure(OpenFailure{Step::NoDisplay, SDL_GetError()});
    }
    self->videoStarted_ = true;

    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    // Hidden at creation, so the title is on the window before anyone can see it mapped.
    self->window_ = SDL_CreateWindow(kViewerWindowTitle, 0, 0, kViewerWidth, kViewerHeight,
                                     SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN);
    if (self->window_) self->context_ = SDL_GL_CreateContext(self->window_);
    if (!self->context_) {
        return Failure(OpenFailure{Step::NoWindow, SDL_GetError()});
    }
    SDL_GL_MakeCurrent(self->window_, self->context_);
    // Where the display has vertical sync, the swap sets the pace.
    SDL_GL_SetSwapInterval(1);
    SDL_ShowCursor(SDL_DISABLE);
    return self;
}

SdlViewerWindow::~SdlViewerWindow() {
    deleteContext();
    if (window_) SDL_DestroyWindow(window_);
    if (videoStarted_) {
        SDL_ShowCursor(SDL_ENABLE);
        SDL_Quit();
    }
}

void SdlViewerWindow::show() {
    SDL_ShowWindow(window_);
}

void SdlViewerWindow::drawableSize(int& width, int& height) const {
    SDL_GL_GetDrawableSize(window_, &width, &height);
}

int SdlViewerWindow::refreshRate() const {
    SDL_DisplayMode mode{};
    int index = SDL_GetWindowDisplayIndex(window_);
    if (SDL_GetCurrentDisplayMode(index < 0 ? 0 : index, &mode) != 0) return 0;
    return mode.refresh_rate;
}

void SdlViewerWindow::swap() {
    SDL_GL_SwapWindow(window_);
}

void SdlViewerWindow::deleteContext() {
    if (!context_) return;
    SDL_GL_MakeCurrent(window_, nullptr);
    SDL_GL_DeleteContext(context_);
    context_ = nullptr;
}

} // namespace mirevo::viewer
