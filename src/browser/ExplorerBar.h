// ExplorerBar: the COM side of a browser band. It keeps the site, the site's window and the browser, answers
// the band interfaces the browser asks for, and leaves the band's window, title and sizes to a derived
// class. Lives on the browser's UI thread; reference counts are plain.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <exdisp.h>
#include <ocidl.h>
#include <shlobj.h>

#include <string>

#include "core/ComHelper.h"
#include "module/Module.h"

inline constexpr SourceLocation kSiteWindowFailed{L"ExplorerBar", 172};
inline constexpr SourceLocation kSiteBrowserFailed{L"ExplorerBar", 178};

class ExplorerBar : public IDeskBand, public IInputObject, public IObjectWithSite, public IPersistStream
{
public:
    ExplorerBar(const ExplorerBar&) = delete;
    ExplorerBar& operator=(const ExplorerBar&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IOleWindow
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enterMode) override;

    // IDockingWindow
    STDMETHODIMP ShowDW(BOOL show) override;
    STDMETHODIMP CloseDW(DWORD reserved) override;
    STDMETHODIMP ResizeBorderDW(LPCRECT border, IUnknown* site, BOOL reserved) override;

    // IDeskBand
    STDMETHODIMP GetBandInfo(DWORD bandId, DWORD viewMode, DESKBANDINFO* info) override;

    // IInputObject
    STDMETHODIMP UIActivateIO(BOOL activate, MSG* message) override;
    STDMETHODIMP HasFocusIO() override;
    STDMETHODIMP TranslateAcceleratorIO(MSG* message) override;

    // IObjectWithSite
    STDMETHODIMP SetSite(IUnknown* site) override;
    STDMETHODIMP GetSite(REFIID riid, void** site) override;

    // IPersist, IPersistStream
    STDMETHODIMP GetClassID(CLSID* clsid) override = 0;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(IStream* stream) override;
    STDMETHODIMP Save(IStream* stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;

    // The band's own window handle, or null.
    [[nodiscard]] HWND BandWindow();

protected:
    ExplorerBar() noexcept = default;
    virtual ~ExplorerBar();

    // Releases what came from the site. Derived classes disconnect their events and destroy their window
    // first, then call this.
    virtual void DisconnectSite();
    virtual void ConnectBrowserEvents() {}
    virtual POINTL GetMinSize() { return {10, 10}; }
    virtual POINTL GetMaxSize() { return {-1, -1}; }
    virtual POINTL GetActualSize() { return {-1, -1}; }
    virtual void CreateBandWindow() = 0;
    virtual std::wstring GetTitle() = 0;
    // The window the band shows, or null when it has none.
    virtual HWND GetBandWindow() = 0;

    // First, so it is given back after everything else of the band is released.
    ModuleReference bandUnit;
    HWND parentWindow = nullptr;
    ComPtr<IWebBrowser2> webBrowser;
    ComPtr<IInputObjectSite> inputObjectSite;

private:
    HRESULT ConnectSite(IUnknown* site);

    ULONG refCount = 1;
};
