// The shop list under Wine, with the DLL's own code, the real file API and the system URL parser:
//  - LoadShopList of generated lists of 1 000, 20 000 and 100 000 shops against simply reading the same file
//    and converting it to UTF-16, and how the load time grows with the list;
//  - the heap a loaded list holds against the file's UTF-16 size, and what a second load of the unchanged file
//    adds (it shares the first one's copy);
//  - FindShop on page addresses of 80 to 120 characters against the plain scan (FindShopByScan), and how its
//    time grows with the list. Every answer of FindShop is checked against the scan.
// Times are medians of interleaved rounds, so a figure and its baseline see the same machine state. One line
// per figure, and the same figures appended to the JSON list named by QB_BENCH_RESULTS, if set.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "core/Text.h"
#include "toolbar/ShopList.h"
#include "toolbar/ShopListFile.h"

// Every heap block of the program (the DLL's code included, linked in) is counted, so the memory figures are what
// the list really holds, not what it believes it holds.
namespace
{
std::atomic<long long> liveBytes{0};
constexpr size_t kHeader = 16; // keeps malloc's 16-byte alignment

void* CountedAllocate(size_t size)
{
    void* block = std::malloc(size + kHeader);
    if (block == nullptr)
        throw std::bad_alloc();
    *static_cast<size_t*>(block) = size;
    liveBytes += static_cast<long long>(size);
    return static_cast<char*>(block) + kHeader;
}

void CountedFree(void* memory) noexcept
{
    if (memory == nullptr)
        return;
    void* block = static_cast<char*>(memory) - kHeader;
    liveBytes -= static_cast<long long>(*static_cast<size_t*>(block));
    std::free(block);
}
} // namespace

void* operator new(size_t size)
{
    return CountedAllocate(size);
}
void* operator new[](size_t size)
{
    return CountedAllocate(size);
}
void operator delete(void* memory) noexcept
{
    CountedFree(memory);
}
void operator delete[](void* memory) noexcept
{
    CountedFree(memory);
}
void operator delete(void* memory, size_t) noexcept
{
    CountedFree(memory);
}
void operator delete[](void* memory, size_t) noexcept
{
    CountedFree(memory);
}

namespace
{
using Clock = std::chrono::steady_clock;

constexpr size_t kSizes[] = {1000, 20000, 100000};
constexpr size_t kTexts = 32;

// A fixed linear congruential generator: the same lists on every machine and runtime.
class Generator
{
public:
    template <size_t N> const char* Pick(const char* const (&words)[N]) { return words[Next(N)]; }

    uint32_t Next(uint32_t limit)
    {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>((state >> 33) % limit);
    }

private:
    uint64_t state = 0x5EED5EED5EEDull;
};

const char* const kWords[] = {
    "garden", "outlet", "fashion", "direct", "home",   "style",  "sports", "kids",    "beauty", "tech",    "shoe",
    "world",  "market", "books",   "music",  "pet",    "travel", "gift",   "toys",    "wine",   "kitchen", "bath",
    "bed",    "light",  "camera",  "phone",  "print",  "craft",  "cycle",  "outdoor", "golf",   "baby",    "health",
    "vision", "jewel",  "watch",   "party",  "flower", "office", "auto",   "tyre",    "paint",  "floor",   "sofa",
    "linen",  "tea",    "coffee",  "cake",   "chef",   "green",  "blue",   "red",     "best",   "value",   "smart",
    "quick",  "prime",  "royal",   "london", "north",  "city",   "county", "island",  "valley"};
const char* const kSuffixes[] = {".co.uk", ".com", ".de", ".fr", ".net", ".org.uk", ".ie", ".eu"};

std::string ShopName(Generator& random, size_t n)
{
    std::string name;
    const uint32_t words = 1 + random.Next(3);
    for (uint32_t w = 0; w < words; ++w)
    {
        name += w == 0 ? "" : "-";
        name += random.Pick(kWords);
    }
    // A short base-36 tail keeps the domains apart, as real shop names are.
    name += '-';
    for (size_t rest = n + 1; rest != 0; rest /= 36)
        name += "0123456789abcdefghijklmnopqrstuvwxyz"[rest % 36];
    return name;
}

struct GeneratedList
{
    std::string file;
    std::vector<std::string> hosts; // as a page address would show them
};

GeneratedList Generate(size_t records)
{
    Generator random;
    GeneratedList list;
    list.file.reserve(records * 48);
    for (size_t n = 0; n < records; ++n)
    {
        const std::string host = ShopName(random, n) + random.Pick(kSuffixes);
        // Mostly "http://www." addresses; some secure, some without scheme, some on another server name, and a
        // few with a port, which only the system URL parser splits.
        std::string address;
        const uint32_t kind = random.Next(100);
        if (kind < 20)
            address = "https://www." + host + "/";
        else if (kind < 40)
            address = "www." + host;
        else if (kind < 48)
        {
            address = "http://shop." + host + "/uk/";
            list.hosts.push_back("shop." + host);
        }
        else if (kind < 50)
            address = "http://www." + host + ":80/";
        else
            address = "http://www." + host + "/";
        if (list.hosts.size() == n)
            list.hosts.push_back("www." + host);
        list.file += address + "|" + std::to_string(104729 + n * 7) + "<br>";
    }
    return list;
}

// Page addresses of 80 to 120 characters: half on shops of the list (anywhere in it), half on other sites.
std::vector<std::wstring> PageAddresses(const GeneratedList& list)
{
    Generator random;
    std::vector<std::wstring> texts;
    for (size_t n = 0; n < kTexts; ++n)
    {
        const std::string host = n % 2 == 0 ? list.hosts[random.Next(static_cast<uint32_t>(list.hosts.size()))]
                                            : "www." + ShopName(random, 1000000 + n) + ".com";
        std::string text = "http://" + host + "/" + random.Pick(kWords) +
                           "/item?id=" + std::to_string(random.Next(100000)) + "&ref=abc";
        const size_t length = 80 + random.Next(41);
        while (text.size() < length)
            text += std::string("&") + random.Pick(kWords) + "=" + std::to_string(random.Next(999));
        text.resize(length);
        texts.push_back(NarrowToWide(text));
    }
    return texts;
}

std::wstring TempPath(const std::wstring& name)
{
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return folder + name;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

// The baseline of a load: the whole file read in one call and converted to UTF-16.
size_t ReadAndConvert(const std::wstring& path)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return NarrowToWide(bytes).size();
}

size_t LoadOnce(const std::wstring& path)
{
    ShopList list;
    LoadShopList(list, path);
    return list.Count(); // the list goes here, so the next load parses again
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <class Work> double Seconds(Work&& work)
{
    const auto begin = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - begin).count();
}

struct Figure
{
    std::string name;
    double value;
    std::string unit;
    std::string baseline;
    double baselineValue;
    double ratio;
    std::string target;
};

std::string Json(const Figure& figure)
{
    std::ostringstream json;
    json.precision(6);
    json << "{\"name\": \"" << figure.name << "\", \"value\": " << figure.value << ", \"unit\": \"" << figure.unit
         << "\", \"baseline\": \"" << figure.baseline << "\", \"baseline_value\": " << figure.baselineValue
         << ", \"ratio\": " << figure.ratio << ", \"target\": \"" << figure.target << "\"}";
    return json.str();
}

// Appends the figures to the JSON list in the file, creating it if needed.
bool AppendResults(const char* path, const std::vector<Figure>& figures)
{
    std::string content;
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream read;
        read << in.rdbuf();
        content = read.str();
    }
    const size_t open = content.find('[');
    const size_t close = content.find_last_of(']');
    std::string list = "[";
    bool empty = true;
    if (open != std::string::npos && close != std::string::npos && open < close)
    {
        list = content.substr(0, close);
        list.erase(list.find_last_not_of(" \t\r\n") + 1);
        empty = list.find_first_not_of(" \t\r\n", open + 1) == std::string::npos;
    }
    for (const Figure& figure : figures)
    {
        list += empty ? "\n  " : ",\n  ";
        list += Json(figure);
        empty = false;
    }
    list += "\n]\n";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << list;
    return static_cast<bool>(out);
}

struct LoadTimes
{
    double load;
    double baseline;
};

LoadTimes MeasureLoad(const std::wstring& path, size_t records)
{
    const int rounds = records >= 100000 ? 7 : records >= 20000 ? 11 : 31;
    std::vector<double> loads;
    std::vector<double> baselines;
    for (int round = 0; round < rounds; ++round)
    {
        size_t count = 0;
        baselines.push_back(Seconds([&] { count = ReadAndConvert(path); }));
        loads.push_back(Seconds([&] { count = LoadOnce(path); }));
        if (count != records)
            std::fprintf(stderr, "loaded %zu records of %zu\n", count, records);
    }
    return {Median(loads), Median(baselines)};
}

struct FindTimes
{
    double find;
    double scan;
    size_t mismatches;
};

FindTimes MeasureFind(const ShopList& list, const std::vector<std::wstring>& texts)
{
    size_t mismatches = 0;
    for (const std::wstring& text : texts)
        mismatches += FindShop(list, text) == FindShopByScan(list, text) ? 0u : 1u;

    // Enough repetitions of the indexed lookup for a round of a few milliseconds.
    volatile size_t sink = 0;
    int repeats = 1;
    while (Seconds(
               [&]
               {
                   for (int r = 0; r < repeats; ++r)
                       for (const std::wstring& text : texts)
                           sink = sink + (FindShop(list, text) ? 1u : 0u);
               }) < 0.003)
        repeats *= 2;
    const int rounds = list.Count() >= 100000 ? 7 : 15;
    std::vector<double> finds;
    std::vector<double> scans;
    const double calls = static_cast<double>(texts.size());
    for (int round = 0; round < rounds; ++round)
    {
        finds.push_back(Seconds(
                            [&]
                            {
                                for (int r = 0; r < repeats; ++r)
                                    for (const std::wstring& text : texts)
                                        sink = sink + (FindShop(list, text) ? 1u : 0u);
                            }) /
                        (calls * repeats));
        scans.push_back(Seconds(
                            [&]
                            {
                                for (const std::wstring& text : texts)
                                    sink = sink + (FindShopByScan(list, text) ? 1u : 0u);
                            }) /
                        calls);
    }
    return {Median(finds), Median(scans), mismatches};
}

std::string Label(size_t records)
{
    return records >= 1000 ? std::to_string(records / 1000) + "k" : std::to_string(records);
}
} // namespace

int main()
{
    std::vector<Figure> figures;
    std::map<size_t, LoadTimes> loads;
    std::map<size_t, FindTimes> finds;
    for (const size_t records : kSizes)
    {
        const GeneratedList generated = Generate(records);
        const std::wstring path = TempPath(L"qb-bench-get_merchant-" + std::to_wstring(records) + L".txt");
        if (!WriteFileBytes(path, generated.file))
        {
            std::fprintf(stderr, "cannot write the list file\n");
            return 1;
        }
        const std::string label = Label(records);

        const LoadTimes load = MeasureLoad(path, records);
        loads[records] = load;
        const double loadRatio = load.load / load.baseline;
        std::printf("shoplist.load_%s: %.2f ms, baseline read+convert %.2f ms, ratio %.2f (target <= 3)\n",
                    label.c_str(), load.load * 1e3, load.baseline * 1e3, loadRatio);
        figures.push_back({"shoplist.load_" + label, load.load * 1e3, "ms", "read file + convert to UTF-16",
                           load.baseline * 1e3, loadRatio, "ratio <= 3"});

        // Memory: the heap the first list holds, and what a second load of the unchanged file adds.
        const double utf16Bytes = static_cast<double>(generated.file.size() * sizeof(wchar_t));
        const long long before = liveBytes;
        ShopList first;
        LoadShopList(first, path);
        const long long afterFirst = liveBytes;
        ShopList second;
        LoadShopList(second, path);
        const long long afterSecond = liveBytes;
        const auto held = static_cast<double>(afterFirst - before);
        const auto added = static_cast<double>(afterSecond - afterFirst);
        std::printf("shoplist.memory_%s: %.0f KiB (list's own count %.0f KiB), file as UTF-16 %.0f KiB, ratio %.2f "
                    "(target <= 2.5)\n",
                    label.c_str(), held / 1024, static_cast<double>(first.AllocatedBytes()) / 1024, utf16Bytes / 1024,
                    held / utf16Bytes);
        figures.push_back({"shoplist.memory_" + label, held, "bytes", "file size as UTF-16", utf16Bytes,
                           held / utf16Bytes, "ratio <= 2.5"});
        std::printf(
            "shoplist.second_load_%s: %.0f bytes added, first load %.0f KiB, shared %s (target <= 4096 bytes)\n",
            label.c_str(), added, held / 1024, first.Table() == second.Table() ? "yes" : "NO");
        figures.push_back({"shoplist.second_load_" + label, added, "bytes", "first load of the same file", held,
                           added / held, "value <= 4096"});

        const FindTimes find = MeasureFind(first, PageAddresses(generated));
        finds[records] = find;
        const double speedup = find.scan / find.find;
        // The speed-up is a target for the largest list; the smaller ones are there for the flatness.
        const std::string target = records == 100000 ? "ratio >= 100" : "none";
        std::printf("shoplist.findshop_%s: %.2f us, baseline scan %.1f us, ratio %.0fx (target: %s)%s\n", label.c_str(),
                    find.find * 1e6, find.scan * 1e6, speedup, target.c_str(),
                    find.mismatches == 0 ? "" : " ANSWERS DIFFER FROM THE SCAN");
        figures.push_back(
            {"shoplist.findshop_" + label, find.find * 1e6, "us", "FindShopByScan", find.scan * 1e6, speedup, target});
        DeleteFileW(path.c_str());
    }

    // Growth: 100k against 20k records (5 times as many) for the load, 100k against 1k for the lookup.
    const double loadGrowth = loads[100000].load / loads[20000].load / 5.0;
    const double baselineGrowth = loads[100000].baseline / loads[20000].baseline / 5.0;
    std::printf("shoplist.load_linearity: %.2f (100k time / 20k time / 5; baseline %.2f), target <= 1.5\n", loadGrowth,
                baselineGrowth);
    figures.push_back({"shoplist.load_linearity", loadGrowth, "x", "the same measure for read + convert",
                       baselineGrowth, loadGrowth / baselineGrowth, "value <= 1.5"});
    const double flatness = finds[100000].find / finds[1000].find;
    const double scanGrowth = finds[100000].scan / finds[1000].scan;
    std::printf("shoplist.findshop_flatness: %.2f (100k time / 1k time; baseline scan %.0f), target <= 2\n", flatness,
                scanGrowth);
    figures.push_back({"shoplist.findshop_flatness", flatness, "x", "the same measure for the scan", scanGrowth,
                       flatness / scanGrowth, "value <= 2"});

    if (const char* path = std::getenv("QB_BENCH_RESULTS"))
    {
        if (!AppendResults(path, figures))
            std::fprintf(stderr, "could not write %s\n", path);
    }
    return 0;
}
