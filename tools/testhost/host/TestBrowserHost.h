// A small stand-in for the browser's tab window: a top-level frame with a band area of fixed height at the
// top (the site's window, where the band is parented and laid out) and a content area below that shows the
// current location and page text. It owns the fake browser (and through it the site) and, while it lives,
// routes key messages that the pumps of MessagePump.h see to the band, as the browser does (it installs the
// thread's message filter for that). Several hosts on one thread play several tabs of one browser thread.
// Create it on a single-threaded apartment thread and use it on that thread only. A visible host takes
// about 2 s to destroy under Wine on an X server without a window manager (Wine waits for the unmap).
#pragma once

#include <string>

#include "host/ComSupport.h"
#include "host/FakeWebBrowser.h"

namespace testhost
{

struct HostOptions
{
    bool visible = false; // shown on the screen (needed for screenshots of what a user would see)
    int width = 900;
    int height = 600;
};

class TestBrowserHost
{
public:
    static constexpr int kBandAreaHeight = 40; // room for the band at 120 DPI too
    static constexpr const wchar_t* kFrameClass = L"QuillburyTestFrame";
    static constexpr const wchar_t* kFrameTitle = L"Quillbury test browser";

    // Creates the windows and the browser; throws std::runtime_error when a window cannot be created.
    explicit TestBrowserHost(const HostOptions& options = HostOptions());
    // Quits the browser if nobody did (OnQuit is fired and the guests are taken off their sites), then
    // destroys the windows.
    ~TestBrowserHost();
    TestBrowserHost(const TestBrowserHost&) = delete;
    TestBrowserHost& operator=(const TestBrowserHost&) = delete;

    HWND FrameWindow() const { return frame; }
    HWND BandArea() const { return bandArea; }
    HWND ContentWindow() const { return content; }
    FakeWebBrowser& Browser() const { return *browser.Get(); }
    const ComPtr<FakeWebBrowser>& BrowserPointer() const { return browser; }
    FakeSite& Site() const { return *browser->Site(); }

    // Shows the band with this CLSID through the browser's ShowBrowserBar (as the helper object would).
    HRESULT ShowBand(REFCLSID clsid, bool show = true);

private:
    static LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK BandAreaProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ContentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void PaintContent(HWND window);

    HWND frame = nullptr;
    HWND bandArea = nullptr;
    HWND content = nullptr;
    ComPtr<FakeWebBrowser> browser;
};

} // namespace testhost
