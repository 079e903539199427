#include "browser/SearchBrowserHelper.h"

#include <exdispid.h>
#include <shlguid.h>

#include <mutex>

#include "browser/SearchBar.h"
#include "core/ErrorReport.h"
#include "module/Guids.h"
#include "module/ProcessObjects.h"
#include "toolbar/SearchToolBar.h"
#include "workers/MainWorker.h"
#include "workers/NoticeWorker.h"

namespace
{
// Both hooks hand every keyboard event on untouched. The frame hook exists so that every tab of the
// process shares one hook on the frame thread, counted by the tabs using it; its procedure needs nothing
// from the table, so it takes no lock on the frame thread's keyboard path.
LRESULT CALLBACK TabHookProcedure(int code, WPARAM wParam, LPARAM lParam)
{
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK FrameHookProcedure(int code, WPARAM wParam, LPARAM lParam)
{
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Owns a VARIANT argument for the length of a call.
struct ArgumentVariant
{
    ArgumentVariant() noexcept { VariantInit(&value); }
    ArgumentVariant(const ArgumentVariant&) = delete;
    ArgumentVariant& operator=(const ArgumentVariant&) = delete;
    ~ArgumentVariant() { VariantClear(&value); }
    VARIANT value;
};
} // namespace

void StartIdleWorkers() noexcept
{
    SharedBlock& shared = Shared();
    if (shared.mainDone == 0 && shared.mainRunning == 0)
        StartMainWorker(&shared.mainDone, &shared.mainRunning, 0);
    // Read afresh: the block is shared with every other tab and process.
    if (shared.noticeDone == 0 && shared.noticeRunning == 0)
        StartNoticeWorker(&shared.noticeDone, &shared.noticeRunning);
}

SearchBrowserHelper::SearchBrowserHelper()
{
    Process().helperSlot.Set(this);
}

SearchBrowserHelper::~SearchBrowserHelper()
{
    Process().helperSlot.Clear();
    // The browser takes its helpers off their site before releasing them; should a host not do so, the
    // connection point must not keep calling a sink that is about to be freed.
    if (browser)
    {
        try
        {
            TearDown();
        }
        catch (...)
        {
            // Nothing can be reported from here; the references still go with the members.
        }
    }
}

STDMETHODIMP SearchBrowserHelper::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_INVALIDARG;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IObjectWithSite)
        return E_NOINTERFACE;
    *ppv = static_cast<IObjectWithSite*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) SearchBrowserHelper::AddRef()
{
    return ++refCount;
}

STDMETHODIMP_(ULONG) SearchBrowserHelper::Release()
{
    const ULONG count = --refCount;
    if (count == 0)
        delete this;
    return count;
}

STDMETHODIMP SearchBrowserHelper::SetSite(IUnknown* newSite)
try
{
    TearDown();
    if (!newSite)
        return S_OK;
    site = ComPtr<IUnknown>(newSite);
    StartIdleWorkers();

    ComPtr<IServiceProvider> provider;
    QueryInterfaceOrThrow(site, provider);
    ComPtr<IWebBrowser2> found;
    if (FAILED(provider->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, found.ReceiveVoid())) || !found)
        return S_OK; // sited, but with nothing to connect to
    browser = std::move(found);

    InstallFrameHook();
    ConnectEvents();
    InstallTabHook();
    ShowToolbarBand(std::wstring());
    return S_OK;
}
catch (const wexception<std::runtime_error>& error)
{
    ShowError(error);
    return E_FAIL;
}
catch (...)
{
    return UnexpectedFailure();
}

STDMETHODIMP SearchBrowserHelper::GetSite(REFIID riid, void** result)
{
    if (!result)
        return E_INVALIDARG;
    *result = nullptr;
    if (!site)
        return E_FAIL;
    return site.Get()->QueryInterface(riid, result);
}

void SearchBrowserHelper::TearDown()
{
    // The share of the frame hook goes with the site when OnQuit did not take it; the cookie is kept until
    // the connection point let the sink go.
    ReleaseFrameHook();
    if (browser && adviseCookie != 0)
    {
        ComPtr<IConnectionPointContainer> container;
        QueryInterfaceOrThrow(browser, container);
        ComPtr<IConnectionPoint> point;
        if (SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Receive())) && point &&
            SUCCEEDED(point->Unadvise(adviseCookie)))
            adviseCookie = 0;
    }
    site.Reset();
    browser.Reset();
    tabHook.Reset();
}

void SearchBrowserHelper::ConnectEvents()
{
    ComPtr<IConnectionPointContainer> container;
    QueryInterfaceOrThrow(browser, container);
    ComPtr<IConnectionPoint> point;
    if (FAILED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Receive())))
        return; // no events: the hooks and the band are still handled
    DWORD cookie = 0;
    const HRESULT hr = point->Advise(&eventSink, &cookie); // a null point throws the invalid-pointer error
    if (FAILED(hr))
        throw AtLocation(MakeComError(hr, point), kHelperAdviseFailed);
    adviseCookie = cookie;
}

void SearchBrowserHelper::InstallTabHook()
{
    HookHandle hook(SetWindowsHookExW(WH_KEYBOARD, &TabHookProcedure, nullptr /* module */, GetCurrentThreadId()));
    if (!hook)
        throw AtLocation(LastWindowsError(), kTabHookFailed);
    tabHook = std::move(hook);
}

HWND SearchBrowserHelper::FrameWindow() const noexcept
{
    SHANDLE_PTR frame = 0;
    if (!browser || FAILED(browser.Get()->get_HWND(&frame)))
        return nullptr;
    return reinterpret_cast<HWND>(frame);
}

void SearchBrowserHelper::InstallFrameHook() noexcept
try
{
    const HWND frame = FrameWindow();
    // Thread 0 (no such window) would make the hook global; the tab's own thread has the tab hook.
    const DWORD thread = frame ? GetWindowThreadProcessId(frame, nullptr) : 0;
    if (holdsFrameHook || thread == 0 || thread == GetCurrentThreadId())
        return;
    ProcessObjects& process = Process();
    const std::lock_guard guard(process.frameHookLock);
    const auto found = process.frameHooks.find(thread);
    if (found != process.frameHooks.end())
    {
        ++found->second.useCount;
        holdsFrameHook = true;
        return;
    }
    FrameHookEntry entry;
    // Refused when the frame window belongs to another process (no module handle is given); the empty
    // hook is recorded and counted all the same.
    entry.hook.Reset(SetWindowsHookExW(WH_KEYBOARD, &FrameHookProcedure, nullptr /* module */, thread));
    entry.useCount = 1;
    entry.frameWindow = frame;
    process.frameHooks.emplace(thread, std::move(entry));
    holdsFrameHook = true;
}
catch (...)
{
    // Out of memory for the table entry: the tab simply has no frame hook.
}

void SearchBrowserHelper::ReleaseFrameHook() noexcept
try
{
    const HWND frame = FrameWindow();
    const DWORD thread = frame ? GetWindowThreadProcessId(frame, nullptr) : 0;
    if (!holdsFrameHook || thread == 0 || thread == GetCurrentThreadId())
        return;
    ProcessObjects& process = Process();
    const std::lock_guard guard(process.frameHookLock);
    holdsFrameHook = false;
    const auto found = process.frameHooks.find(thread);
    if (found == process.frameHooks.end())
        return;
    if (--found->second.useCount <= 0)
        process.frameHooks.erase(found); // the entry's hook is removed with it
}
catch (...)
{
    // Only the lock can fail here; the entry then stays until the library unloads.
}

bool SearchBrowserHelper::ShowToolbarBand(const std::wstring& text)
{
    ArgumentVariant clsid;
    clsid.value.vt = VT_BSTR;
    const std::wstring clsidText = GuidToString(kBandClsid);
    clsid.value.bstrVal = SysAllocStringLen(clsidText.data(), static_cast<UINT>(clsidText.size()));
    if (!clsid.value.bstrVal)
        throw std::bad_alloc();
    ArgumentVariant show;
    show.value.vt = VT_BOOL;
    show.value.boolVal = VARIANT_TRUE;
    ArgumentVariant size; // VT_EMPTY: no size
    if (FAILED(browser->ShowBrowserBar(&clsid.value, &show.value, &size.value)))
        return false;

    const SearchBar* band = CurrentThreadBand();
    const SearchToolBar* toolBar = band ? band->ToolBarWindow() : nullptr;
    if (!toolBar || IsWindowVisible(toolBar->Window()) != TRUE)
        return false;
    const HWND searchBox = toolBar->SearchBox();
    SetFocus(searchBox);
    SendMessageW(searchBox, EM_SETSEL, 0, -1);
    if (!text.empty())
    {
        SetWindowTextW(searchBox, text.c_str());
        SendMessageW(searchBox, EM_SETSEL, text.size(), static_cast<LPARAM>(text.size()));
    }
    return true;
}
