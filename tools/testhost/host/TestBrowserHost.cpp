// The test host's windows: frame, band area and content area, and the browser that works with them.
#include "host/TestBrowserHost.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "host/MessagePump.h"

namespace testhost
{
namespace
{

constexpr const wchar_t* kBandAreaClass = L"QuillburyTestBandArea";
constexpr const wchar_t* kContentClass = L"QuillburyTestContent";

void RegisterHostClass(const wchar_t* name, WNDPROC procedure, int background)
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(background + 1));
    windowClass.lpszClassName = name;
    // Registered once per process; a second host finds the classes already there.
    RegisterClassExW(&windowClass);
}

// The browsers of this thread's hosts: the thread's message filter offers key messages to each (several
// hosts on one thread are several tabs of one browser thread).
thread_local std::vector<FakeWebBrowser*> threadBrowsers;

bool RouteToThreadBrowsers(MSG& message)
{
    // Copied: a band's handling may create or destroy a host.
    const std::vector<FakeWebBrowser*> browsers = threadBrowsers;
    for (FakeWebBrowser* browser : browsers)
    {
        if (browser->RouteKeyMessage(message))
            return true;
    }
    return false;
}

TestBrowserHost* HostOf(HWND window)
{
    return reinterpret_cast<TestBrowserHost*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void FailIfNull(HWND window, const char* what)
{
    if (!window)
        throw std::runtime_error(std::string("test host: cannot create the ") + what + " window");
}

} // namespace

TestBrowserHost::TestBrowserHost(const HostOptions& options)
{
    RegisterHostClass(kFrameClass, &FrameProc, COLOR_WINDOW);
    RegisterHostClass(kBandAreaClass, &BandAreaProc, COLOR_BTNFACE);
    RegisterHostClass(kContentClass, &ContentProc, COLOR_WINDOW);
    const HINSTANCE instance = GetModuleHandleW(nullptr);

    frame = CreateWindowExW(0, kFrameClass, kFrameTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 40, 40, options.width,
                            options.height, nullptr /* parent */, nullptr /* menu */, instance, nullptr);
    FailIfNull(frame, "frame");
    RECT client = {};
    GetClientRect(frame, &client);
    bandArea = CreateWindowExW(0, kBandAreaClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, client.right,
                               kBandAreaHeight, frame, nullptr, instance, nullptr);
    content = CreateWindowExW(0, kContentClass, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, kBandAreaHeight,
                              client.right, client.bottom - kBandAreaHeight, frame, nullptr, instance, nullptr);
    if (!bandArea || !content)
    {
        DestroyWindow(frame);
        FailIfNull(nullptr, "band area or content");
    }
    SetWindowLongPtrW(frame, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(bandArea, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(content, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

    browser = FakeWebBrowser::Create({frame, bandArea, content});
    if (threadBrowsers.empty())
        SetMessageFilter(&RouteToThreadBrowsers);
    threadBrowsers.push_back(browser.Get());

    if (options.visible)
    {
        ShowWindow(frame, SW_SHOWNORMAL);
        UpdateWindow(frame);
    }
}

TestBrowserHost::~TestBrowserHost()
{
    browser->Quit();
    threadBrowsers.erase(std::remove(threadBrowsers.begin(), threadBrowsers.end(), browser.Get()),
                         threadBrowsers.end());
    if (threadBrowsers.empty())
        SetMessageFilter(nullptr);
    SetWindowLongPtrW(frame, GWLP_USERDATA, 0);
    SetWindowLongPtrW(bandArea, GWLP_USERDATA, 0);
    SetWindowLongPtrW(content, GWLP_USERDATA, 0);
    DestroyWindow(frame);
}

HRESULT TestBrowserHost::ShowBand(REFCLSID clsid, bool show)
{
    ScopedVariant text(GuidText(clsid));
    VARIANT visible;
    VariantInit(&visible);
    visible.vt = VT_BOOL;
    visible.boolVal = show ? VARIANT_TRUE : VARIANT_FALSE;
    return browser->ShowBrowserBar(text.Get(), &visible, nullptr);
}

LRESULT CALLBACK TestBrowserHost::FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    TestBrowserHost* host = HostOf(window);
    if (message == WM_SIZE && host)
    {
        const int width = LOWORD(lParam);
        const int height = HIWORD(lParam);
        MoveWindow(host->bandArea, 0, 0, width, kBandAreaHeight, TRUE);
        MoveWindow(host->content, 0, kBandAreaHeight, width, height > kBandAreaHeight ? height - kBandAreaHeight : 0,
                   TRUE);
        return 0;
    }
    if (message == WM_CLOSE)
    {
        // The host is closed by its owner (test or tool), never by the window manager.
        ShowWindow(window, SW_HIDE);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK TestBrowserHost::BandAreaProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    TestBrowserHost* host = HostOf(window);
    if (message == WM_SIZE && host && host->browser)
        host->browser->LayoutBand();
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK TestBrowserHost::ContentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    TestBrowserHost* host = HostOf(window);
    if (message == WM_PAINT && host)
    {
        host->PaintContent(window);
        return 0;
    }
    if (message == WM_LBUTTONDOWN)
        SetFocus(window);
    return DefWindowProcW(window, message, wParam, lParam);
}

void TestBrowserHost::PaintContent(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT area = {};
    GetClientRect(window, &area);
    InflateRect(&area, -8, -6);
    std::wstring text = L"Location: " + browser->Location();
    if (FakeDocument* document = browser->Document())
        text += L"\r\n\r\n" + document->BodyHtml();
    SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
    EndPaint(window, &paint);
}

} // namespace testhost
