// Speed of the pattern matcher on the test the HTTP client makes on every page body: FindAll("{<html>}") and
// FindAll("{</html>}") over bodies of 64 KiB and 4 MiB that lack the tag (the whole text must be searched),
// against a plain case-insensitive substring scan of the same text.
//
// First the Google Benchmark runs (its usual flags apply; --benchmark_filter=none skips them), then the figures:
// each measured as the median of interleaved rounds, so the matcher and its baseline see the same machine state.
// One line per figure, and the same figures appended to the JSON list named by QB_BENCH_RESULTS, if set.
// Throughput is in MB (10^6 characters of body) per second.
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "net/RegExp.h"

namespace
{
constexpr size_t kSmall = size_t{64} * 1024;
constexpr size_t kLarge = size_t{4} * 1024 * 1024;
constexpr double kTargetRatio = 3.0;
// The 4 MiB body and its lowercased copy no longer fit in the processor's caches, the 64 KiB one does.
constexpr double kTargetLinearity = 2.0;

struct Probe
{
    const char* name;
    const wchar_t* pattern;
    const wchar_t* tag;
};

constexpr Probe kProbes[] = {
    {"html_open", L"{<html>}", L"<html>"},
    {"html_close", L"{</html>}", L"</html>"},
};

// Markup of a shop page without the html tags: many "<" and a few "<h", so the scans meet near misses often.
const std::wstring& Body(size_t size)
{
    static std::map<size_t, std::wstring> bodies;
    std::wstring& body = bodies[size];
    if (body.empty())
    {
        const std::wstring chunk = L"<div class=\"offer\"><h2>Spring Sale</h2><a href=\"https://shop.example/"
                                   L"p?id=4711\">Running Shoes, 20% off</a> <span>HOT deal</span></div>\r\n";
        body.reserve(size);
        while (body.size() < size)
            body.append(chunk, 0, std::min(chunk.size(), size - body.size()));
    }
    return body;
}

wchar_t Lower(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool RunFindAll(const Probe& probe, const std::wstring& body)
{
    std::vector<std::wstring> found;
    FindAll(probe.pattern, body, found);
    return !found.empty();
}

bool LowercaseCopyFind(const Probe& probe, const std::wstring& body)
{
    std::wstring lowered(body.size(), L'\0');
    std::transform(body.begin(), body.end(), lowered.begin(), Lower);
    return lowered.find(probe.tag) != std::wstring::npos;
}

bool FoldingSearch(const Probe& probe, const std::wstring& body)
{
    const std::wstring_view tag(probe.tag);
    return std::search(body.begin(), body.end(), tag.begin(), tag.end(),
                       [](wchar_t c, wchar_t t) { return Lower(c) == t; }) != body.end();
}

using Scan = bool (*)(const Probe&, const std::wstring&);

template <Scan scan> void Benchmark(benchmark::State& state)
{
    const Probe& probe = kProbes[state.range(0)];
    const std::wstring& body = Body(static_cast<size_t>(state.range(1)));
    for (auto _ : state)
        benchmark::DoNotOptimize(scan(probe, body));
    state.SetBytesProcessed(state.iterations() * state.range(1));
    state.SetLabel(probe.name);
}

const std::vector<std::vector<int64_t>> kArguments = {{0, 1}, {int64_t{kSmall}, int64_t{kLarge}}};
BENCHMARK(Benchmark<RunFindAll>)->Name("FindAll")->ArgsProduct(kArguments);
BENCHMARK(Benchmark<LowercaseCopyFind>)->Name("LowercaseCopyFind")->ArgsProduct(kArguments);
BENCHMARK(Benchmark<FoldingSearch>)->Name("FoldingSearch")->ArgsProduct(kArguments);

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Median seconds per call of each scan, over interleaved rounds of enough calls to last a few milliseconds.
std::vector<double> MedianSeconds(const std::vector<Scan>& scans, const Probe& probe, const std::wstring& body)
{
    using Clock = std::chrono::steady_clock;
    constexpr int kRounds = 21;
    const auto start = Clock::now();
    benchmark::DoNotOptimize(scans[0](probe, body));
    const double once = std::chrono::duration<double>(Clock::now() - start).count();
    const int calls = std::clamp(static_cast<int>(0.004 / std::max(once, 1e-9)), 1, 100000);
    std::vector<std::vector<double>> samples(scans.size());
    for (int round = 0; round < kRounds; ++round)
    {
        for (size_t i = 0; i < scans.size(); ++i)
        {
            const auto begin = Clock::now();
            for (int call = 0; call < calls; ++call)
                benchmark::DoNotOptimize(scans[i](probe, body));
            samples[i].push_back(std::chrono::duration<double>(Clock::now() - begin).count() / calls);
        }
    }
    std::vector<double> medians;
    for (const std::vector<double>& values : samples)
        medians.push_back(Median(values));
    return medians;
}

std::string Figure(const std::string& name, double value, const char* unit, const std::string& baseline,
                   double baselineValue, double ratio, const std::string& target)
{
    std::ostringstream json;
    json.precision(6);
    json << "{\"name\": \"" << name << "\", \"value\": " << value << ", \"unit\": \"" << unit << "\", \"baseline\": \""
         << baseline << "\", \"baseline_value\": " << baselineValue << ", \"ratio\": " << ratio << ", \"target\": \""
         << target << "\"}";
    return json.str();
}

// Appends the objects to the JSON list in the file, creating it if needed.
bool AppendResults(const char* path, const std::vector<std::string>& figures)
{
    std::string content;
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream read;
        read << in.rdbuf();
        content = read.str();
    }
    const size_t close = content.find_last_of(']');
    const size_t open = content.find('[');
    std::string list;
    bool empty = true;
    if (close != std::string::npos && open != std::string::npos && open < close)
    {
        list = content.substr(0, close);
        empty = list.find_first_not_of(" \t\r\n", open + 1) == std::string::npos;
        list.erase(list.find_last_not_of(" \t\r\n") + 1);
    }
    else
        list = "[";
    for (const std::string& figure : figures)
    {
        list += empty ? "\n  " : ",\n  ";
        list += figure;
        empty = false;
    }
    list += "\n]\n";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << list;
    return static_cast<bool>(out);
}

void PrintFigures()
{
    std::vector<std::string> figures;
    const std::vector<Scan> scans = {RunFindAll, LowercaseCopyFind, FoldingSearch};
    const char* const baselineNames[] = {"", "lowercase copy + find", "case-folding std::search"};
    for (const Probe& probe : kProbes)
    {
        std::map<size_t, std::vector<double>> seconds;
        size_t largeBaseline = 1;
        for (const size_t size : {kSmall, kLarge})
        {
            std::vector<double> medians = MedianSeconds(scans, probe, Body(size));
            // The fairer (faster) of the two plain scans is the baseline.
            const size_t fastest = medians[1] <= medians[2] ? 1 : 2;
            const double megabytes = static_cast<double>(size) / 1e6;
            const double value = megabytes / medians[0];
            const double baselineValue = megabytes / medians[fastest];
            const double ratio = medians[0] / medians[fastest];
            const std::string name =
                std::string("regexp.findall_") + probe.name + (size == kSmall ? "_64KiB" : "_4MiB");
            std::printf("%s: %.0f MB/s, baseline scan %.0f MB/s (%s), ratio %.2f (target <= %.0f)\n", name.c_str(),
                        value, baselineValue, baselineNames[fastest], ratio, kTargetRatio);
            figures.push_back(Figure(name, value, "MB/s",
                                     std::string("case-insensitive substring scan (") + baselineNames[fastest] + ")",
                                     baselineValue, ratio, "ratio <= 3"));
            seconds[size] = medians;
            largeBaseline = fastest;
        }
        // Linearity: how much longer the 4 MiB body takes than 64 times the 64 KiB one.
        const double scale = static_cast<double>(kLarge) / static_cast<double>(kSmall);
        const double linearity = seconds[kLarge][0] / seconds[kSmall][0] / scale;
        const double baselineLinearity =
            seconds[kLarge][largeBaseline] / seconds[kSmall][largeBaseline] / scale; // same scan at both sizes
        const std::string name = std::string("regexp.findall_") + probe.name + "_linearity";
        std::printf("%s: %.2f (4 MiB time / 64 KiB time / 64; baseline scan %.2f), target <= %.0f\n", name.c_str(),
                    linearity, baselineLinearity, kTargetLinearity);
        figures.push_back(Figure(name, linearity, "x", "the same measure for the baseline scan", baselineLinearity,
                                 linearity / baselineLinearity, "value <= 2"));
    }
    if (const char* path = std::getenv("QB_BENCH_RESULTS"))
    {
        if (!AppendResults(path, figures))
            std::fprintf(stderr, "could not write %s\n", path);
    }
}
} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintFigures();
    return 0;
}
