// One figure of a benchmark with the baseline it was measured against in the same run: printed as one line
// and appended to the JSON list named by QB_BENCH_RESULTS (created when missing).
#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct BenchFigure
{
    std::string name;
    double value;
    std::string unit;
    std::string baseline;
    double baselineValue;
    double ratio;
    std::string target;
};

inline std::string JsonText(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text)
    {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// QB_BENCH_TAG names the build a figure comes from ("x86." for the 32-bit one) in front of its name.
inline void ReportFigures(std::vector<BenchFigure> figures)
{
    if (const char* tag = std::getenv("QB_BENCH_TAG"))
        for (auto& f : figures)
            f.name = tag + f.name;
    for (const auto& f : figures)
        std::printf("%s: %.3f %s, baseline %s %.3f, ratio %.3f (target %s)\n", f.name.c_str(), f.value, f.unit.c_str(),
                    f.baseline.c_str(), f.baselineValue, f.ratio, f.target.c_str());
    std::fflush(stdout);
    const char* path = std::getenv("QB_BENCH_RESULTS");
    if (!path)
        return;
    std::string existing;
    {
        std::ifstream in(path);
        std::stringstream buffer;
        buffer << in.rdbuf();
        existing = buffer.str();
    }
    const size_t close = existing.rfind(']');
    std::string out = close == std::string::npos ? "[" : existing.substr(0, close);
    bool first = out.find('{') == std::string::npos;
    for (const auto& f : figures)
    {
        std::ostringstream item;
        item << (first ? "\n" : ",\n") << "{\"name\": " << JsonText(f.name) << ", \"value\": " << f.value
             << ", \"unit\": " << JsonText(f.unit) << ", \"baseline\": " << JsonText(f.baseline)
             << ", \"baseline_value\": " << f.baselineValue << ", \"ratio\": " << f.ratio
             << ", \"target\": " << JsonText(f.target) << "}";
        out += item.str();
        first = false;
    }
    out += "\n]\n";
    std::ofstream(path, std::ios::trunc) << out;
}

template <class Fn> double SecondsOf(Fn&& fn)
{
    const auto start = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// The value below which `fraction` of the values lie (1.0: the largest).
inline double Percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    if (values.empty())
        return 0.0;
    const auto index = static_cast<size_t>(std::ceil(fraction * static_cast<double>(values.size())));
    return values[std::min(index > 0 ? index - 1 : 0, values.size() - 1)];
}
