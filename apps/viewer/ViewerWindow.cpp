#include "apps/viewer/ViewerWindow.h"

#include <SDL.h>

#include <array>
#include <chrono>
#include <memory>
#include <stdexcept>

namespace {

struct SdlSession {
    SdlSession() {
        if (SDL_Init(SDL_INIT_VIDEO) != 0)
            throw std::runtime_error(std::string("cannot open a window: ") + SDL_GetError());
    }
    ~SdlSession() { SDL_Quit(); }
};

template <typename T, void (*Free)(T*)> struct SdlDeleter {
    void operator()(T* object) const { Free(object); }
};
using WindowPointer = std::unique_ptr<SDL_Window, SdlDeleter<SDL_Window, SDL_DestroyWindow>>;
using CursorPointer = std::unique_ptr<SDL_Cursor, SdlDeleter<SDL_Cursor, SDL_FreeCursor>>;

ViewerState::Button ButtonOf(uint8_t button) {
    return button == SDL_BUTTON_RIGHT    ? ViewerState::Button::eRight
           : button == SDL_BUTTON_MIDDLE ? ViewerState::Button::eMiddle
                                         : ViewerState::Button::eLeft;
}

std::optional<ViewerState::Key> KeyOf(SDL_Keycode key) {
    switch (key) {
    case SDLK_p:
        return ViewerState::Key::eProjection;
    case SDLK_LEFTBRACKET:
        return ViewerState::Key::eFovDown;
    case SDLK_RIGHTBRACKET:
        return ViewerState::Key::eFovUp;
    case SDLK_t:
        return ViewerState::Key::eSortKey;
    case SDLK_k:
        return ViewerState::Key::eSkipSort;
    case SDLK_g:
        return ViewerState::Key::eGizmo;
    case SDLK_s:
        return ViewerState::Key::eSave;
    case SDLK_r:
        return ViewerState::Key::eReset;
    case SDLK_q:
    case SDLK_ESCAPE:
        return ViewerState::Key::eQuit;
    case SDLK_F1:
        return ViewerState::Key::eHelp;
    case SDLK_UP:
        return ViewerState::Key::eWalkForward;
    case SDLK_DOWN:
        return ViewerState::Key::eWalkBack;
    case SDLK_LEFT:
        return ViewerState::Key::eWalkLeft;
    case SDLK_RIGHT:
        return ViewerState::Key::eWalkRight;
    default:
        return std::nullopt;
    }
}

void Handle(const SDL_Event& event, ViewerState& state, bool& closed) {
    switch (event.type) {
    case SDL_QUIT:
        closed = true;
        break;
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
            state.Resize(event.window.data1, event.window.data2);
        else if (event.window.event == SDL_WINDOWEVENT_EXPOSED)
            state.SetPresentMilliseconds(0.0); // the next present repaints; nothing else changed
        break;
    case SDL_MOUSEMOTION:
        state.MouseMove(event.motion.x, event.motion.y);
        break;
    case SDL_MOUSEBUTTONDOWN:
        state.MouseDown(ButtonOf(event.button.button), event.button.x, event.button.y);
        break;
    case SDL_MOUSEBUTTONUP:
        state.MouseUp(ButtonOf(event.button.button), event.button.x, event.button.y);
        break;
    case SDL_MOUSEWHEEL:
        state.Wheel(event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y);
        break;
    case SDL_KEYDOWN:
        if (const std::optional<ViewerState::Key> key = KeyOf(event.key.keysym.sym))
            state.Press(*key);
        break;
    default:
        break;
    }
}

} // namespace

void ViewerWindow::Run(ViewerState& state, const std::string& title) {
    // The frame is drawn in software already: the window's surface stays a plain framebuffer
    // (shared memory on X11). Left to itself SDL would put a renderer behind it, recreating the
    // window once it is shown, and add a texture upload and a blit to every frame.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    const SdlSession session;
    WindowPointer window(SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                          state.GetWidth(), state.GetHeight(),
                                          SDL_WINDOW_RESIZABLE | SDL_WINDOW_SHOWN));
    if (!window)
        throw std::runtime_error(std::string("cannot open a window: ") + SDL_GetError());

    // One cursor per ViewerState::Cursor, in its order.
    const std::array<CursorPointer, 6> cursors = {
        CursorPointer(SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW)),
        CursorPointer(SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_SIZEALL)),
        CursorPointer(SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_SIZEWE)),
        CursorPointer(SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_SIZENS)),
        CursorPointer(SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_SIZENWSE)),
        CursorPointer(SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_SIZENESW))};
    ViewerState::Cursor shown_cursor = ViewerState::Cursor::eArrow;

    bool closed = false;
    bool present = true;
    while (!closed && !state.WantsQuit()) {
        SDL_Event event;
        if (!state.NeedsUpdate() && !present) {
            if (SDL_WaitEvent(&event) == 0)
                throw std::runtime_error(std::string("lost the window's events: ") + SDL_GetError());
            Handle(event, state, closed);
            present = event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_EXPOSED;
        }
        // Everything already queued goes in before the next frame, so a fast mouse costs one frame.
        while (SDL_PollEvent(&event) != 0) {
            Handle(event, state, closed);
            present =
                present || (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_EXPOSED);
        }
        if (state.GetCursor() != shown_cursor) {
            shown_cursor = state.GetCursor();
            if (SDL_Cursor* cursor = cursors[size_t(shown_cursor)].get())
                SDL_SetCursor(cursor);
        }
        if (!state.NeedsUpdate() && !present)
            continue;
        state.Update();
        const auto start = std::chrono::steady_clock::now();
        // One conversion of the frame into the window's surface and one put.
        SDL_Surface* surface = SDL_GetWindowSurface(window.get());
        if (surface == nullptr)
            throw std::runtime_error(std::string("cannot draw into the window: ") + SDL_GetError());
        if (surface->w == state.GetWidth() && surface->h == state.GetHeight()) {
            SDL_LockSurface(surface);
            SDL_ConvertPixels(state.GetWidth(), state.GetHeight(), SDL_PIXELFORMAT_RGBA32,
                              state.GetImage().data(), state.GetWidth() * 4, surface->format->format,
                              surface->pixels, surface->pitch);
            SDL_UnlockSurface(surface);
            SDL_UpdateWindowSurface(window.get());
        }
        state.SetPresentMilliseconds(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        present = false;
    }
}
