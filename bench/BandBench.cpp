// What opening a tab costs the toolbar band, through real COM activation of the registered DLL on one
// single-threaded apartment thread: class object, instance, SetSite with the tab's site (the toolbar is built
// there), ShowDW(TRUE); then SetSite(NULL) and the last Release, as closing the tab does. The open time is set
// against the browser's add-on load-time threshold (0.2 s: above it the browser names the add-on as one that
// slows it down). The process's GDI objects, USER objects and kernel handles are counted before and after the
// measured cycles: a band that leaks any of them grows the browser with every tab.
//
// Under Wine GetGuiResources and GetProcessHandleCount are not implemented (they answer 0); there the handle
// tables are probed instead (ProcessResources.h): the GDI handle table, the windows, menus and accelerator
// tables of the process, and the kernel handle slots.
#include <windows.h>

#include <objbase.h>

#include <shlobj.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "BenchReport.h"
#include "ProcessResources.h"
#include "host/MessagePump.h"
#include "host/TestBrowserHost.h"
#include "module/Guids.h"
#include "module/Module.h"
#include "module/ProcessObjects.h"
#include "support/AddonRegistration.h"

namespace
{
constexpr int kWarmUpCycles = 10;
constexpr int kCycles = 200;
constexpr double kLoadTimeThresholdMs = 200.0;

// The documented counters where they work, the probed tables where they answer nothing (ProcessResources.h).
struct ResourceCounts
{
    long gdi = 0;
    long user = 0;
    long handles = 0;
};

struct CountSources
{
    std::string gdi = "GetGuiResources(GR_GDIOBJECTS)";
    std::string user = "GetGuiResources(GR_USEROBJECTS)";
    std::string handles = "GetProcessHandleCount";
};

ResourceCounts CountResources(CountSources& sources)
{
    const ResourceSnapshot snapshot = TakeResourceSnapshot();
    if (snapshot.probedGui)
    {
        sources.gdi = "GDI handle table";
        sources.user = "windows, menus and accelerator tables of the process";
    }
    if (snapshot.probedHandles)
        sources.handles = "handle table";
    return {static_cast<long>(snapshot.gdiObjects), static_cast<long>(snapshot.userObjects),
            static_cast<long>(snapshot.handles)};
}

// --- the cycle -----------------------------------------------------------------------------------------------

struct CycleTimes
{
    double open = 0;  // class object to ShowDW(TRUE), seconds
    double close = 0; // SetSite(NULL) and the last Release
    bool ok = false;
};

template <class T> void ReleaseAndClear(T*& object)
{
    if (object)
        object->Release();
    object = nullptr;
}

// whileOpen runs, untimed, while the band is shown.
CycleTimes OneCycle(IUnknown* site, const std::function<void()>& whileOpen = {})
{
    CycleTimes times;
    IClassFactory* factory = nullptr;
    IObjectWithSite* band = nullptr;
    IDockingWindow* docking = nullptr;
    HRESULT siteResult = E_FAIL;
    HRESULT showResult = E_FAIL;
    times.open = SecondsOf(
        [&]
        {
            if (FAILED(CoGetClassObject(kBandClsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                        reinterpret_cast<void**>(&factory))))
                return;
            const HRESULT created =
                factory->CreateInstance(nullptr, IID_IObjectWithSite, reinterpret_cast<void**>(&band));
            ReleaseAndClear(factory);
            if (FAILED(created))
                return;
            siteResult = band->SetSite(site);
            if (SUCCEEDED(band->QueryInterface(IID_IDockingWindow, reinterpret_cast<void**>(&docking))))
                showResult = docking->ShowDW(TRUE);
        });
    times.ok = band && siteResult == S_OK && showResult == S_OK;
    if (whileOpen)
        whileOpen();
    times.close = SecondsOf(
        [&]
        {
            ReleaseAndClear(docking);
            if (band)
                band->SetSite(nullptr);
            ReleaseAndClear(band);
        });
    // What the band posted to its windows is handled between tabs, not inside the next measurement.
    testhost::PumpMessagesFor(0);
    return times;
}

double Percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    if (values.empty())
        return 0.0;
    const auto index = static_cast<size_t>(std::ceil(fraction * static_cast<double>(values.size()))) - 1;
    return values[std::min(index, values.size() - 1)];
}

BenchFigure DeltaFigure(const std::string& name, const std::string& source, long before, long after)
{
    const double delta = static_cast<double>(after - before);
    return {name,
            delta,
            "objects",
            source + " before the cycles",
            static_cast<double>(before),
            before > 0 ? delta / static_cast<double>(before) : 0.0,
            "delta == 0"};
}

int Run()
{
    if (const DWORD code = RunRegsvr32(L"/s"); code != 0)
    {
        std::fprintf(stderr, "regsvr32 failed with %lu\n", code);
        return 1;
    }
    // The workers are kept idle: the bench measures the band, not the network.
    Shared().mainRunning = 1;
    Shared().noticeRunning = 1;

    testhost::TestBrowserHost host; // hidden
    IUnknown* site = static_cast<IOleWindow*>(&host.Site());

    for (int i = 0; i < kWarmUpCycles; ++i)
        if (!OneCycle(site).ok)
        {
            std::fprintf(stderr, "a band could not be opened in the host\n");
            return 1;
        }

    CountSources sources;
    // The counts with one band shown show that the counting sees what a band holds.
    ResourceCounts open;
    OneCycle(site, [&] { open = CountResources(sources); });
    testhost::PumpMessagesFor(50);
    const ResourceCounts before = CountResources(sources);
    std::vector<double> opens;
    std::vector<double> closes;
    int failures = 0;
    for (int i = 0; i < kCycles; ++i)
    {
        const CycleTimes times = OneCycle(site);
        failures += times.ok ? 0 : 1;
        opens.push_back(times.open * 1e3);
        closes.push_back(times.close * 1e3);
    }
    testhost::PumpMessagesFor(50);
    const ResourceCounts after = CountResources(sources);
    if (failures != 0)
        std::fprintf(stderr, "%d of %d cycles failed\n", failures, kCycles);

    const double median = Median(opens);
    const double p90 = Percentile(opens, 0.9);
    const double closeMedian = Median(closes);
    std::printf("band: %d cycles; open median %.3f ms, p90 %.3f ms, max %.3f ms; close median %.3f ms\n", kCycles,
                median, p90, Percentile(opens, 1.0), closeMedian);
    std::printf("band: counts before/with a band shown/after: GDI %ld/%ld/%ld (%s), USER %ld/%ld/%ld (%s), handles "
                "%ld/%ld/%ld (%s)\n",
                before.gdi, open.gdi, after.gdi, sources.gdi.c_str(), before.user, open.user, after.user,
                sources.user.c_str(), before.handles, open.handles, after.handles, sources.handles.c_str());
    const std::string threshold = "IE add-on load-time threshold";
    ReportFigures({
        {"band.tab_open_median", median, "ms", threshold, kLoadTimeThresholdMs, median / kLoadTimeThresholdMs,
         "ratio < 1"},
        {"band.tab_open_p90", p90, "ms", threshold, kLoadTimeThresholdMs, p90 / kLoadTimeThresholdMs, "ratio < 1"},
        {"band.tab_close_median", closeMedian, "ms", threshold, kLoadTimeThresholdMs,
         closeMedian / kLoadTimeThresholdMs, "ratio < 1"},
        DeltaFigure("band.gdi_objects_delta", sources.gdi, before.gdi, after.gdi),
        DeltaFigure("band.user_objects_delta", sources.user, before.user, after.user),
        DeltaFigure("band.handles_delta", sources.handles, before.handles, after.handles),
    });
    return failures == 0 ? 0 : 1;
}
} // namespace

int main()
{
    // The program's own copy of the add-on's process objects gives it the shared block the DLL uses.
    SetModuleInstance(GetModuleHandleW(nullptr));
    if (!InitializeProcessObjects() || !Process().sharedState.IsShared() ||
        FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    int result = 1;
    try
    {
        result = Run();
    }
    catch (const std::exception& error)
    {
        std::fprintf(stderr, "%s\n", error.what());
    }
    CoUninitialize();
    DestroyProcessObjects();
    return result;
}
