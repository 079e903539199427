// SearchBrowserHelper: the browser helper object, one per tab, created and called on the tab's thread.
// When sited it starts the idle background workers, connects its event sink to the tab's browser, hooks
// the keyboard of the tab's thread (and shares a hook on the frame window's thread with the other tabs of
// the process) and shows the Quillbury band with its search box focused. Reference counts are plain: the
// object lives in one apartment.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <exdisp.h>
#include <ocidl.h>

#include <string>

#include "browser/SearchBHOBrowserEventSink.h"
#include "core/ComHelper.h"
#include "core/ScopedHandle.h"
#include "module/Module.h"

inline constexpr SourceLocation kHelperAdviseFailed{L"SearchBrowserHelper", 108};
inline constexpr SourceLocation kTabHookFailed{L"SearchBrowserHelper", 113};

class SearchBrowserHelper final : public IObjectWithSite
{
public:
    // Takes a module-count unit and the thread's helper slot; throws windows_error when the slot cannot
    // be written.
    SearchBrowserHelper();
    SearchBrowserHelper(const SearchBrowserHelper&) = delete;
    SearchBrowserHelper& operator=(const SearchBrowserHelper&) = delete;

    // IUnknown: IUnknown and IObjectWithSite only.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IObjectWithSite. SetSite reports a failure (message box and event log) and returns E_FAIL; what was
    // done before the failure stays done.
    STDMETHODIMP SetSite(IUnknown* site) override;
    STDMETHODIMP GetSite(REFIID riid, void** site) override;

    // The browser quits (or the helper leaves its site): gives back this tab's share of the frame thread's hook,
    // if it still holds one. Never throws.
    void ReleaseFrameHook() noexcept;

    // Shows the Quillbury band in the tab; when the band's toolbar on this thread is visible, focuses and
    // selects its search box, and puts `text` there when it is not empty. False when the browser refused
    // or no toolbar is visible. Throws windows_error when the band's identifier cannot be formatted.
    bool ShowToolbarBand(const std::wstring& text);

    [[nodiscard]] SearchBHOBrowserEventSink& EventSink() noexcept { return eventSink; }
    [[nodiscard]] DWORD AdviseCookie() const noexcept { return adviseCookie; }
    [[nodiscard]] HHOOK TabHook() const noexcept { return tabHook.Get(); }

private:
    ~SearchBrowserHelper();

    void TearDown();
    void ConnectEvents();
    void InstallTabHook();
    void InstallFrameHook() noexcept;
    [[nodiscard]] HWND FrameWindow() const noexcept;

    // First, so it is given back after the hooks and the references (the destruction order).
    ModuleReference moduleUnit;
    ULONG refCount = 1;
    ComPtr<IUnknown> site;
    ComPtr<IWebBrowser2> browser;
    HookHandle tabHook;
    SearchBHOBrowserEventSink eventSink{*this};
    DWORD adviseCookie = 0;
    bool holdsFrameHook = false; // this helper's share of the frame thread's hook is counted
};

// Starts the main worker and the notice worker when the shared block says that each is neither done nor
// running. The test and the start are not one step: two tabs sited at once may both start one.
void StartIdleWorkers() noexcept;
