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
