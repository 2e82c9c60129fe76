#pragma once
// Figures as the bench command tabulates them: each figure the median of repeated runs with the
// range those runs spanned, each comparison a ratio of figures from the same run, printed as
// rows of one Markdown table (lines that start with '|'; anything else is commentary).

#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

struct Summary {
    double median;
    double low;
    double high;
};

inline Summary Summarize(std::vector<double> values)
{
    if (values.empty()) return {0, 0, 0};
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {median, values.front(), values.back()};
}

inline std::string Format(const char* format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// "12.3 µs" and "11.9–13.0" for a summary in the given unit and number of decimals.
inline std::string Figure(const Summary& s, const char* unit, int decimals = 1)
{
    return Format("%.*f %s", decimals, s.median, unit);
}
inline std::string Spread(const Summary& s, int decimals = 1)
{
    return Format("%.*f–%.*f", decimals, s.low, decimals, s.high);
}

// One row: item, measure, figure, spread over runs, what it is compared with, target and
// whether it is met ("" when there is no target).
inline void PrintRow(int item, const std::string& measure, const std::string& figure,
                     const std::string& spread, const std::string& comparison = "",
                     const std::string& target = "")
{
    std::printf("| %d | %s | %s | %s | %s | %s |\n", item, measure.c_str(), figure.c_str(),
                spread.c_str(), comparison.c_str(), target.c_str());
    std::fflush(stdout);
}

// The line through (size, figure) points that misses each point by the least share of it, so
// that a small size counts as much as a large one: what each item adds, and the fixed cost.
struct Growth {
    double slope;
    double intercept;
};

inline Growth FitLine(const std::vector<double>& sizes, const std::vector<double>& figures)
{
    double sw = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const double w = figures[i] > 0 ? 1 / (figures[i] * figures[i]) : 1;
        sw += w;
        sx += w * sizes[i];
        sy += w * figures[i];
        sxx += w * sizes[i] * sizes[i];
        sxy += w * sizes[i] * figures[i];
    }
    const double slope = (sw * sxy - sx * sy) / (sw * sxx - sx * sx);
    return {slope, (sy - slope * sx) / sw};
}

// The growth row of a measure taken at several sizes: slope per item and intercept, fitted to
// the medians at those sizes.
inline void PrintGrowth(int item, const std::string& measure, const std::vector<double>& sizes,
                        const std::vector<double>& medians, const char* unit, const char* per,
                        const std::string& target)
{
    const Growth g = FitLine(sizes, medians);
    std::string points;
    for (std::size_t i = 0; i < sizes.size(); ++i)
        points += Format("%s%.0f: %.4g %s", points.empty() ? "" : "; ", sizes[i], medians[i], unit);
    PrintRow(item, measure + ", growth", Format("%.4g %s per %s", g.slope, unit, per),
             Format("intercept %.4g %s", g.intercept, unit), "line of least relative error through the medians at " + points, target);
}

inline std::string Verdict(bool met, const std::string& target)
{
    return target + (met ? " ✔" : " ✘");
}

inline double Microseconds()
{
    static const double perMicrosecond = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return double(frequency.QuadPart) / 1e6;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / perMicrosecond;
}

// The quick mode of the test command: fewer repetitions, same figures.
inline bool QuickMode(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--quick") == 0) return true;
    return false;
}
