// What a tab costs with the toolbar, set beside the floor measured in the same run: an empty band and a minimal
// toolbar band (bench_minimal_bands.dll: the same common-controls toolbar and nothing else), each registered
// and activated through COM like ours. Kinds of tab are interleaved, so each sees the same machine state.
//  - Tab open (class object, instance, SetSite, ShowDW; ours: the helper object, which shows our band) and
//    close (Quit) in one process, with the times of the steps of each band printed beside them.
//  - Private bytes added by each of 20 tabs open at once, one fresh process per sample (after one tab was
//    opened and closed there, so the figure is what a further tab costs).
//  - The first tab of a process, from the DLL's load to the band shown: a fresh process per sample.
// The GDI objects, USER objects and kernel handles of the process are counted before and after cycles of our
// tab: a band that leaks any of them grows the browser with every tab. Under Wine GetGuiResources and
// GetProcessHandleCount answer 0; the handle tables are probed instead (ProcessResources.h).
#include <windows.h>

#include <objbase.h>

#include <shellapi.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchReport.h"
#include "BenchTabs.h"
#include "MinimalBands.h"
#include "ProcessResources.h"
#include "host/MessagePump.h"
#include "module/Guids.h"
#include "module/Module.h"
#include "module/ProcessObjects.h"

namespace
{
constexpr int kWarmUpCycles = 5;
constexpr int kRounds = 120;        // of each kind, interleaved
constexpr int kStepRounds = 40;     // of the step breakdown
constexpr int kCountedCycles = 60;  // of our tab between the resource counts
constexpr int kTabsAtOnce = 20;     // in the memory figure
constexpr int kMemoryProcesses = 3; // of each kind
constexpr int kFirstTabProcesses = 9;

using testhost::TestBrowserHost;

const TabKind kKinds[] = {TabKind::EmptyBand, TabKind::MinimalToolbar, TabKind::Ours};

struct Times
{
    std::vector<double> open;
    std::vector<double> close;
};

// One tab opened and closed in a fresh host; false when the band did not show.
bool TimedTab(TabKind kind, Times& times)
{
    TestBrowserHost host;
    bool ok = false;
    times.open.push_back(1e3 * SecondsOf([&] { ok = OpenTab(host, kind); }));
    times.close.push_back(1e3 * SecondsOf([&] { CloseTab(host); }));
    testhost::PumpMessagesFor(0);
    return ok;
}

// --- resource counts ------------------------------------------------------------------------------------------

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

// --- child processes ----------------------------------------------------------------------------------------

// Runs this program again as `--child <mode> <kind>`; the number it wrote, or a negative value.
double RunChild(const wchar_t* mode, TabKind kind)
{
    wchar_t program[MAX_PATH];
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    wchar_t folder[MAX_PATH];
    wchar_t output[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"qbb", 0, output);
    std::wstring command = L"\"" + std::wstring(program) + L"\" --child " + mode + L" " +
                           std::to_wstring(static_cast<int>(kind)) + L" \"" + output + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    double value = -1;
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
    {
        DWORD code = 1;
        if (WaitForSingleObject(started.hProcess, 120000) == WAIT_OBJECT_0)
            GetExitCodeProcess(started.hProcess, &code);
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
        if (FILE* file = code == 0 ? _wfopen(output, L"r") : nullptr)
        {
            if (std::fscanf(file, "%lf", &value) != 1)
                value = -1;
            std::fclose(file);
        }
    }
    DeleteFileW(output);
    return value;
}

// Private bytes added per tab by kTabsAtOnce tabs, after one tab was opened and closed.
double ChildMemoryPerTab(TabKind kind)
{
    std::vector<std::unique_ptr<TestBrowserHost>> hosts;
    for (int i = 0; i <= kTabsAtOnce; ++i)
        hosts.push_back(std::make_unique<TestBrowserHost>());
    if (!OpenTab(*hosts.back(), kind))
        return -1;
    CloseTab(*hosts.back());
    testhost::PumpMessagesFor(50);
    const double before = static_cast<double>(TakeResourceSnapshot(false).pagefileUsage);
    for (int i = 0; i < kTabsAtOnce; ++i)
        if (!OpenTab(*hosts[static_cast<size_t>(i)], kind))
            return -1;
    testhost::PumpMessagesFor(50);
    const double after = static_cast<double>(TakeResourceSnapshot(false).pagefileUsage);
    for (auto& host : hosts)
        CloseTab(*host);
    return (after - before) / kTabsAtOnce;
}

// Milliseconds from the first activation (which loads the DLL) to the first band shown.
double ChildFirstTab(TabKind kind)
{
    TestBrowserHost host;
    testhost::PumpMessagesFor(0);
    bool ok = false;
    const double ms = 1e3 * SecondsOf([&] { ok = OpenTab(host, kind); });
    CloseTab(host);
    return ok ? ms : -1;
}

int ChildMain(const std::wstring& mode, int kindNumber, const std::wstring& output)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    const auto kind = static_cast<TabKind>(kindNumber);
    double value = -1;
    try
    {
        value = mode == L"memory" ? ChildMemoryPerTab(kind) : ChildFirstTab(kind);
    }
    catch (const std::exception& error)
    {
        std::fprintf(stderr, "%s\n", error.what());
    }
    CoUninitialize();
    FILE* file = value >= 0 ? _wfopen(output.c_str(), L"w") : nullptr;
    if (!file)
        return 1;
    std::fprintf(file, "%.6f\n", value);
    std::fclose(file);
    return 0;
}

// --- the parent -------------------------------------------------------------------------------------------------

void PrintSteps()
{
    const std::pair<const char*, CLSID> bands[] = {
        {"empty band", kEmptyBandClsid}, {"minimal toolbar band", kMinimalToolbarBandClsid}, {"our band", kBandClsid}};
    std::map<std::string, std::vector<BandSteps>> steps;
    std::vector<double> helper;
    TestBrowserHost host;
    IUnknown* site = static_cast<IOleWindow*>(&host.Site());
    for (int round = 0; round < kStepRounds; ++round)
    {
        for (const auto& [name, clsid] : bands)
            steps[name].push_back(TimeBandSteps(site, clsid));
        TestBrowserHost tab;
        tab.ShowBand(kBandClsid);
        helper.push_back(1e3 * SecondsOf([&] { tab.Browser().CreateHelperObject(kHelperClsid); }));
        CloseTab(tab);
        testhost::PumpMessagesFor(0);
    }
    const auto median = [](const std::vector<BandSteps>& all, double BandSteps::*field)
    {
        std::vector<double> values;
        for (const BandSteps& s : all)
            values.push_back(s.*field);
        return Median(values);
    };
    for (const auto& [name, all] : steps)
        std::printf("band steps, %s (median ms): class object %.3f, instance %.3f, SetSite %.3f, ShowDW %.3f, "
                    "close %.3f\n",
                    name.c_str(), median(all, &BandSteps::classObject), median(all, &BandSteps::instance),
                    median(all, &BandSteps::setSite), median(all, &BandSteps::showDW), median(all, &BandSteps::close));
    std::printf("band steps, our helper with our band already shown (median ms): activation and SetSite %.3f\n",
                Median(helper));
}

std::vector<double> ChildSamples(const wchar_t* mode, int processes, TabKind kind, std::vector<double>& other)
{
    std::vector<double> ours;
    for (int i = 0; i < processes; ++i)
    {
        // Alternate which goes first, so neither always follows the other.
        const double a = RunChild(mode, i % 2 ? TabKind::MinimalToolbar : kind);
        const double b = RunChild(mode, i % 2 ? kind : TabKind::MinimalToolbar);
        if (a < 0 || b < 0)
            return {};
        ours.push_back(i % 2 ? b : a);
        other.push_back(i % 2 ? a : b);
    }
    return ours;
}

int Run()
{
    if (!RegisterBenchBands())
        return 1;
    // The workers are kept idle: the bench measures the band, not the network.
    Shared().mainRunning = 1;
    Shared().noticeRunning = 1;

    std::map<TabKind, Times> times;
    int failures = 0;
    for (int i = 0; i < kWarmUpCycles; ++i)
        for (const TabKind kind : kKinds)
        {
            Times discarded;
            if (!TimedTab(kind, discarded))
            {
                std::fprintf(stderr, "%s: the band could not be opened in the host\n", TabKindName(kind));
                return 1;
            }
        }
    for (int round = 0; round < kRounds; ++round)
        for (int k = 0; k < 3; ++k)
        {
            const TabKind kind = kKinds[(round + k) % 3];
            failures += TimedTab(kind, times[kind]) ? 0 : 1;
        }
    PrintSteps();

    CountSources sources;
    testhost::PumpMessagesFor(50);
    const ResourceCounts before = CountResources(sources);
    for (int i = 0; i < kCountedCycles; ++i)
    {
        Times discarded;
        failures += TimedTab(TabKind::Ours, discarded) ? 0 : 1;
    }
    testhost::PumpMessagesFor(50);
    const ResourceCounts after = CountResources(sources);

    std::vector<double> minimalMemory;
    const std::vector<double> oursMemory = ChildSamples(L"memory", kMemoryProcesses, TabKind::Ours, minimalMemory);
    std::vector<double> minimalFirst;
    const std::vector<double> oursFirst = ChildSamples(L"first", kFirstTabProcesses, TabKind::Ours, minimalFirst);
    if (oursMemory.empty() || oursFirst.empty())
    {
        std::fprintf(stderr, "a child process could not open its tabs\n");
        return 1;
    }
    if (failures != 0)
        std::fprintf(stderr, "%d tabs failed\n", failures);

    for (const TabKind kind : kKinds)
        std::printf("band: %s: %d tabs; open median %.3f ms, p90 %.3f ms, max %.3f ms; close median %.3f ms\n",
                    TabKindName(kind), kRounds, Median(times[kind].open), Percentile(times[kind].open, 0.9),
                    Percentile(times[kind].open, 1.0), Median(times[kind].close));
    std::printf("band: counts before/after: GDI %ld/%ld (%s), USER %ld/%ld (%s), handles %ld/%ld (%s)\n", before.gdi,
                after.gdi, sources.gdi.c_str(), before.user, after.user, sources.user.c_str(), before.handles,
                after.handles, sources.handles.c_str());

    const Times& ours = times[TabKind::Ours];
    const Times& minimal = times[TabKind::MinimalToolbar];
    const Times& empty = times[TabKind::EmptyBand];
    const auto ratio = [](double value, double baseline) { return baseline > 0 ? value / baseline : 0.0; };
    const std::string minimalName = "minimal toolbar band, same run";
    const double openMedian = Median(ours.open);
    const double openP90 = Percentile(ours.open, 0.9);
    const double closeMedian = Median(ours.close);
    const double memory = Median(oursMemory);
    const double first = Median(oursFirst);
    ReportFigures({
        {"band.tab_open_median", openMedian, "ms", minimalName, Median(minimal.open),
         ratio(openMedian, Median(minimal.open)), "ratio <= 1.3"},
        {"band.tab_open_p90", openP90, "ms", minimalName, Percentile(minimal.open, 0.9),
         ratio(openP90, Percentile(minimal.open, 0.9)), "ratio <= 1.3"},
        {"band.tab_open_vs_empty_median", openMedian, "ms", "empty band, same run", Median(empty.open),
         ratio(openMedian, Median(empty.open)), "none (context)"},
        {"band.tab_close_median", closeMedian, "ms", minimalName, Median(minimal.close),
         ratio(closeMedian, Median(minimal.close)), "none (context)"},
        {"band.memory_per_tab", memory, "bytes", "minimal toolbar band, " + std::to_string(kTabsAtOnce) + " tabs",
         Median(minimalMemory), ratio(memory, Median(minimalMemory)), "ratio <= 1.5"},
        {"band.first_tab_median", first, "ms", "minimal toolbar band, fresh process", Median(minimalFirst),
         ratio(first, Median(minimalFirst)), "none (context)"},
        DeltaFigure("band.gdi_objects_delta", sources.gdi, before.gdi, after.gdi),
        DeltaFigure("band.user_objects_delta", sources.user, before.user, after.user),
        DeltaFigure("band.handles_delta", sources.handles, before.handles, after.handles),
    });
    return failures == 0 ? 0 : 1;
}
} // namespace

int main()
{
    int argumentCount = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &argumentCount);
    if (arguments && argumentCount == 5 && std::wstring(arguments[1]) == L"--child")
        return ChildMain(arguments[2], _wtoi(arguments[3]), arguments[4]);
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
