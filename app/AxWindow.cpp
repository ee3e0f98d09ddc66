#include "app/AxWindow.h"

#include "framework/platform/Platform.h"
#include "framework/platform/WindowBackend.h"

bool AxWindow::Create(int clientWidth, int clientHeight, const std::string& title, const std::string& /*className*/) {
    std::string error;
    hWnd = WindowBackend::Create(clientWidth, clientHeight, title, error);
    return hWnd != nullptr;
}

bool AxWindow::ProcessMessage() {
    wheelDelta = 0;
    bool close = WindowBackend::PumpEvents();
    // Scripted runs press Escape through the platform rather than through events.
    if (Platform().IsKeyDown(Key::Escape)) close = true;
    if (close && hWnd) {
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
