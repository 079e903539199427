// bench_minimal_bands.dll: the least a browser band can be, as a registered in-process server activated the
// way the toolbar band is. The empty band shows one empty child window; the toolbar band builds the toolbar
// our band builds (same control version through the same kind of activation context, same styles, the 19
// items, the image list from the same bitmaps, the edit box) and does nothing else: no fonts, no logo
// window, no tooltips, no subclassing, no events, no settings.
#include "MinimalBands.h"

#include <windows.h>

#include <objbase.h>

#include <commctrl.h>
#include <shlobj.h>

#include <atomic>
#include <string>

namespace
{
HINSTANCE module = nullptr;
std::atomic<long> objectCount{0};
HANDLE context = INVALID_HANDLE_VALUE; // made on first use, as the add-on makes its own

struct ActivationScope
{
    ULONG_PTR cookie = 0;
    ActivationScope()
    {
        if (context == INVALID_HANDLE_VALUE)
        {
            ACTCTXW description{};
            description.cbSize = sizeof(description);
            description.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID | ACTCTX_FLAG_HMODULE_VALID;
            description.hModule = module;
            description.lpResourceName = MAKEINTRESOURCEW(2);
            context = CreateActCtxW(&description);
        }
        ActivateActCtx(context, &cookie);
    }
    ~ActivationScope() { DeactivateActCtx(0, cookie); }
};

struct Item
{
    const wchar_t* text;
    int image;
    BYTE style;
};

constexpr BYTE kText = BTNS_AUTOSIZE | BTNS_SHOWTEXT;
constexpr BYTE kDrop = kText | BTNS_WHOLEDROPDOWN;
constexpr Item kItems[] = {
    {nullptr, 110, BTNS_SEP},
    {nullptr, 200, BTNS_SEP}, // the logo's and the edit box's slots
    {L"Search", 2, kText},
    {nullptr, 0, BTNS_SEP},
    {L"My Account", 3, kText},
    {nullptr, 0, BTNS_SEP},
    {L"Offers", 10, kDrop},
    {L"Vouchers", 12, kDrop},
    {nullptr, 0, BTNS_SEP},
    {L"Hot Deals", 14, kDrop},
    {L"Free Cashback", 13, kText},
    {nullptr, 0, BTNS_SEP},
    {L"Twitter", 1, kText},
    {L"Facebook", 0, kText},
    {nullptr, 0, BTNS_SEP},
    {L"Settings", 5, kText},
    {nullptr, 0, BTNS_SEP},
    {L"Approved Cashback", 15, kText},
    {L"Pending Cashback", 16, kText},
};
static_assert(sizeof(kItems) / sizeof(kItems[0]) == 19);

class Band final : public IDeskBand, public IObjectWithSite
{
public:
    explicit Band(bool withToolbar) : toolbar(withToolbar) { ++objectCount; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IOleWindow || riid == IID_IDockingWindow || riid == IID_IDeskBand)
            *ppv = static_cast<IDeskBand*>(this);
        else if (riid == IID_IObjectWithSite)
            *ppv = static_cast<IObjectWithSite*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refCount; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG count = --refCount;
        if (count == 0)
            delete this;
        return count;
    }

    STDMETHODIMP GetWindow(HWND* result) override
    {
        *result = window;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP ShowDW(BOOL show) override
    {
        ShowWindow(window, show ? SW_SHOW : SW_HIDE);
        return S_OK;
    }
    STDMETHODIMP CloseDW(DWORD) override { return ShowDW(FALSE); }
    STDMETHODIMP ResizeBorderDW(LPCRECT, IUnknown*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetBandInfo(DWORD, DWORD, DESKBANDINFO* info) override
    {
        const LONG height = toolbar && window ? HIWORD(SendMessageW(window, TB_GETBUTTONSIZE, 0, 0)) : 24;
        info->ptMinSize = {20, height};
        info->ptMaxSize = {-1, height};
        info->ptIntegral = {1, 1};
        info->ptActual = {-1, height};
        info->wszTitle[0] = L'\0';
        info->dwModeFlags = DBIMF_USECHEVRON | DBIMF_BREAK;
        info->dwMask &= ~static_cast<DWORD>(DBIM_BKCOLOR);
        return S_OK;
    }

    STDMETHODIMP SetSite(IUnknown* site) override
    {
        Close();
        IOleWindow* oleWindow = nullptr;
        if (!site || FAILED(site->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&oleWindow))))
            return site ? E_FAIL : S_OK;
        HWND parent = nullptr;
        oleWindow->GetWindow(&parent);
        oleWindow->Release();
        if (toolbar)
            BuildToolbar(parent);
        else
            window = CreateWindowExW(0, L"Static", nullptr, WS_CHILD | WS_CLIPSIBLINGS, 0, 0, 0, 0, parent, nullptr,
                                     module, nullptr);
        return window ? S_OK : E_FAIL;
    }
    STDMETHODIMP GetSite(REFIID, void** site) override
    {
        *site = nullptr;
        return E_FAIL;
    }

private:
    ~Band()
    {
        Close();
        --objectCount;
    }

    void BuildToolbar(HWND parent)
    {
        const ActivationScope scope;
        window =
            CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr, 0x4601994D, 0, 0, 0, 0, parent, nullptr, module, nullptr);
        if (!window)
            return;
        SendMessageW(window, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
        SendMessageW(window, TB_SETEXTENDEDSTYLE, 0,
                     TBSTYLE_EX_DRAWDDARROWS | TBSTYLE_EX_MIXEDBUTTONS | TBSTYLE_EX_HIDECLIPPEDBUTTONS);
        images = ImageList_Create(20, 20, ILC_MASK | ILC_COLOR24, 15, 15);
        const auto image =
            static_cast<HBITMAP>(LoadImageW(module, MAKEINTRESOURCEW(113), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        const auto mask =
            static_cast<HBITMAP>(LoadImageW(module, MAKEINTRESOURCEW(115), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        ImageList_Add(images, image, mask);
        DeleteObject(image);
        DeleteObject(mask);
        SendMessageW(window, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
        TBBUTTON buttons[19]{};
        for (int i = 0; i < 19; ++i)
        {
            buttons[i].iBitmap = kItems[i].image;
            buttons[i].idCommand = i + 1;
            buttons[i].fsState = TBSTATE_ENABLED;
            buttons[i].fsStyle = kItems[i].style;
            buttons[i].iString = reinterpret_cast<INT_PTR>(kItems[i].text);
        }
        SendMessageW(window, TB_ADDBUTTONSW, 19, reinterpret_cast<LPARAM>(buttons));
        RECT slot{};
        SendMessageW(window, TB_GETRECT, 2, reinterpret_cast<LPARAM>(&slot));
        CreateWindowExW(WS_EX_CLIENTEDGE, L"Edit", nullptr, 0x50010180, slot.left, slot.top + 1, slot.right - slot.left,
                        slot.bottom - slot.top - 2, window, nullptr, module, nullptr);
    }

    void Close()
    {
        if (window)
            DestroyWindow(window);
        window = nullptr;
        if (images)
        {
            const ActivationScope scope;
            ImageList_Destroy(images);
        }
        images = nullptr;
    }

    ULONG refCount = 1;
    const bool toolbar;
    HWND window = nullptr;
    HIMAGELIST images = nullptr;
};

class Factory final : public IClassFactory
{
public:
    explicit Factory(bool withToolbar) : toolbar(withToolbar) { ++objectCount; }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = riid == IID_IUnknown || riid == IID_IClassFactory ? static_cast<IClassFactory*>(this) : nullptr;
        if (!*ppv)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refCount; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG count = --refCount;
        if (count == 0)
            delete this;
        return count;
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto* band = new Band(toolbar);
        const HRESULT result = band->QueryInterface(riid, ppv);
        band->Release();
        return result;
    }
    STDMETHODIMP LockServer(BOOL lock) override
    {
        objectCount += lock ? 1 : -1;
        return S_OK;
    }

private:
    ~Factory() { --objectCount; }
    ULONG refCount = 1;
    const bool toolbar;
};

bool RegisterBandClass(const CLSID& clsid, const wchar_t* path)
{
    wchar_t text[64];
    StringFromGUID2(clsid, text, 64);
    const std::wstring key = L"CLSID\\" + std::wstring(text) + L"\\InprocServer32";
    HKEY server = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &server, nullptr) != 0)
        return false;
    const auto bytes = [](const wchar_t* value) { return static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)); };
    const bool ok = RegSetValueExW(server, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), bytes(path)) == 0 &&
                    RegSetValueExW(server, L"ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"Apartment"),
                                   bytes(L"Apartment")) == 0;
    RegCloseKey(server);
    return ok;
}
} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
    {
        module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    *ppv = nullptr;
    if (!IsEqualCLSID(clsid, kEmptyBandClsid) && !IsEqualCLSID(clsid, kMinimalToolbarBandClsid))
        return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new Factory(IsEqualCLSID(clsid, kMinimalToolbarBandClsid));
    const HRESULT result = factory->QueryInterface(riid, ppv);
    factory->Release();
    return result;
}

STDAPI DllCanUnloadNow()
{
    return objectCount == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(module, path, MAX_PATH);
    return RegisterBandClass(kEmptyBandClsid, path) && RegisterBandClass(kMinimalToolbarBandClsid, path) ? S_OK
                                                                                                         : E_FAIL;
}
