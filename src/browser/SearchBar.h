// SearchBar: the band Internet Explorer shows in its toolbar area. It owns the Quillbury toolbar window,
// routes keyboard input between the browser, the toolbar and its search box, stays advised on the browser's
// events, and serves the toolbar (browser, input-object site, search text, navigation). The band of each
// thread is findable through a thread slot.
#pragma once

#include <memory>

#include "browser/BandServices.h"
#include "browser/DispatchEventSink.h"
#include "browser/ExplorerBar.h"
#include "core/ScopedHandle.h"

class SearchBar;
class SearchToolBar;

inline constexpr SourceLocation kAcceleratorsFailed{L"SearchBar", 26};
inline constexpr SourceLocation kNoParentWindow{L"SearchBar", 133};
inline constexpr SourceLocation kNoConnectionPoint{L"SearchBar", 148};
inline constexpr SourceLocation kAdviseFailed{L"SearchBar", 149};
inline constexpr SourceLocation kNavigateFailed{L"SearchBar", 232};

// The band listens to the browser's events but acts on none of them.
class SearchBarBrowserEventSink : public DispatchEventSink
{
public:
    explicit SearchBarBrowserEventSink(SearchBar& bandOwner) noexcept : owner(bandOwner) {}
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return S_OK; }

private:
    [[maybe_unused]] SearchBar& owner;
};

class SearchBar final : public ExplorerBar, public BandServices
{
public:
    // Throws windows_error when the accelerators or the thread slot cannot be set up.
    SearchBar();

    // IPersist
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    // IDockingWindow
    STDMETHODIMP ShowDW(BOOL show) override;
    // IInputObject
    STDMETHODIMP UIActivateIO(BOOL activate, MSG* message) override;
    STDMETHODIMP HasFocusIO() override;
    STDMETHODIMP TranslateAcceleratorIO(MSG* message) override;

    // BandServices
    ComPtr<IWebBrowser2> GetWebBrowser() override { return webBrowser; }
    ComPtr<IInputObjectSite> GetInputObjectSite() override { return inputObjectSite; }
    IUnknown* BandUnknown() override { return static_cast<IDeskBand*>(this); }
    std::wstring GetSearchText() override;
    void Navigate(const std::wstring& url) override;

    // The toolbar, or null before the band was sited.
    [[nodiscard]] SearchToolBar* ToolBarWindow() const noexcept { return toolBar.get(); }

private:
    ~SearchBar() override;

    void DisconnectSite() override;
    void ConnectBrowserEvents() override;
    POINTL GetMinSize() override;
    POINTL GetMaxSize() override;
    POINTL GetActualSize() override;
    void CreateBandWindow() override;
    std::wstring GetTitle() override { return {}; }
    HWND GetBandWindow() override;

    ModuleReference searchBarUnit;  // first, so it is given back last
    AcceleratorHandle accelerators; // given back with the band (one USER object per band under Wine)
    SearchBarBrowserEventSink eventSink{*this};
    std::unique_ptr<SearchToolBar> toolBar;
    DWORD adviseCookie = 0;
};

// The band of the calling thread, or null.
[[nodiscard]] SearchBar* CurrentThreadBand() noexcept;
