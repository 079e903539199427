#include "BenchTabs.h"

#include <objbase.h>

#include <shlobj.h>

#include <cstdio>

#include "BenchReport.h"
#include "MinimalBands.h"
#include "module/Guids.h"

namespace
{
std::wstring BesideProgram(const wchar_t* name)
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    folder.resize(folder.find_last_of(L'\\') + 1);
    return folder + name;
}

DWORD RunRegsvr32(const std::wstring& dll)
{
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(system) + L"\\regsvr32.exe\" /s \"" + dll + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        return GetLastError();
    DWORD code = WAIT_TIMEOUT;
    if (WaitForSingleObject(started.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(started.hProcess, &code);
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return code;
}

template <class T> void ReleaseAndClear(T*& object)
{
    if (object)
        object->Release();
    object = nullptr;
}
} // namespace

const char* TabKindName(TabKind kind)
{
    switch (kind)
    {
    case TabKind::EmptyBand:
        return "empty band";
    case TabKind::MinimalToolbar:
        return "minimal toolbar band";
    case TabKind::Ours:
    default:
        return "our band with our helper";
    }
}

bool RegisterBenchBands()
{
    for (const wchar_t* dll : {L"Quillbury.dll", kMinimalBandsDll})
        if (const DWORD code = RunRegsvr32(BesideProgram(dll)); code != 0)
        {
            std::fprintf(stderr, "regsvr32 %ls failed with %lu\n", dll, code);
            return false;
        }
    return true;
}

bool OpenTab(testhost::TestBrowserHost& host, TabKind kind)
{
    HRESULT result = E_FAIL;
    if (kind == TabKind::Ours)
        result = host.Browser().CreateHelperObject(kHelperClsid);
    else
        result = host.ShowBand(kind == TabKind::EmptyBand ? kEmptyBandClsid : kMinimalToolbarBandClsid);
    const HWND band = host.Browser().BandWindow();
    // The host is hidden, so the band's own style says whether it was shown.
    return SUCCEEDED(result) && band && (GetWindowLongW(band, GWL_STYLE) & WS_VISIBLE) != 0;
}

void CloseTab(testhost::TestBrowserHost& host)
{
    host.Browser().Quit();
}

BandSteps TimeBandSteps(IUnknown* site, REFCLSID clsid)
{
    BandSteps steps;
    IClassFactory* factory = nullptr;
    IObjectWithSite* band = nullptr;
    IDockingWindow* docking = nullptr;
    HRESULT created = E_FAIL;
    HRESULT sited = E_FAIL;
    HRESULT shown = E_FAIL;
    steps.classObject = 1e3 * SecondsOf(
                                  [&]
                                  {
                                      created = CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr,
                                                                 IID_IClassFactory, reinterpret_cast<void**>(&factory));
                                  });
    if (SUCCEEDED(created))
        steps.instance =
            1e3 *
            SecondsOf(
                [&]
                { created = factory->CreateInstance(nullptr, IID_IObjectWithSite, reinterpret_cast<void**>(&band)); });
    ReleaseAndClear(factory);
    if (SUCCEEDED(created) && band)
    {
        steps.setSite = 1e3 * SecondsOf([&] { sited = band->SetSite(site); });
        if (SUCCEEDED(band->QueryInterface(IID_IDockingWindow, reinterpret_cast<void**>(&docking))))
            steps.showDW = 1e3 * SecondsOf([&] { shown = docking->ShowDW(TRUE); });
        steps.close = 1e3 * SecondsOf(
                                [&]
                                {
                                    ReleaseAndClear(docking);
                                    band->SetSite(nullptr);
                                    ReleaseAndClear(band);
                                });
    }
    steps.ok = sited == S_OK && shown == S_OK;
    return steps;
}
