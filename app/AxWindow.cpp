#include "app/AxWindow.h"

#include "framework/platform/Platform.h"

bool AxWindow::Create(int clientWidth, int clientHeight, const std::string& title, const std::string& /*className*/) {
    std::string error;
    hWnd = WindowBackend::Create(clientWidth, clientHeight, title, error);
    return hWnd != nullptr;
}

bool AxWindow::ProcessMessage() {
    wheelDelta = 0;
    WindowBackend::Events events = WindowBackend::PumpEvents(fullscreenKeys);
    if (events.escape && escapeCloses) events.close = true;
    if (eventFilter) eventFilter(events);
    focusLost = events.focusLost;
    // Scripted runs press Escape through the platform rather than through events.
    if (escapeCloses && Platform().IsKeyDown(Key::Escape)) events.close = true;
    if (events.close && hWnd) {
        Release();
        return false;
    }
    return true;
}

void AxWindow::Release() {
    if (!hWnd) return;
    WindowBackend::Destroy(hWnd);
    hWnd = nullptr;
}

bool AxWindow::SetFullscreen(bool fullscreen) { return WindowBackend::SetFullscreen(hWnd, fullscreen); }

bool AxWindow::IsFullscreen() const { return WindowBackend::IsFullscreen(hWnd); }
