#pragma once
// How both readers of excludeapp.txt cut it into lines and how the hook library matches them.
// Plain C++ without the system or the C runtime's files, so that it also builds natively for
// fuzzing; no heap, so that the hook library can use it.

namespace vimlet {

constexpr int kListLineCapacity = 1000;  // one line of the list file, line feed and NUL included

struct ByteRange {
    const char* begin;
    const char* end;
};

constexpr bool IsAsciiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// Drops the bytes the C locale calls white space (tab, LF, VT, FF, CR, space) from both ends.
constexpr ByteRange TrimAsciiSpace(ByteRange line)
{
    while (line.end > line.begin && IsAsciiSpace(line.end[-1])) --line.end;
    while (line.begin < line.end && IsAsciiSpace(*line.begin)) ++line.begin;
    return line;
}

// Byte-wise equality that folds only the ASCII capitals A-Z, as the C locale's _stricmp does.
constexpr bool EqualsIgnoringAsciiCase(ByteRange entry, const char* path)
{
    for (const char* p = entry.begin; p != entry.end; ++p, ++path)
        if (!*path || AsciiLower(*p) != AsciiLower(*path)) return false;
    return !*path;
}

// Cuts bytes, fed in chunks of any size, into the lines fgets reads into a buffer of
// kListLineCapacity bytes: a line ends after its line feed or at 999 bytes, whichever comes
// first, and a last line without line feed counts too. Each line goes to onLine(ByteRange) as
// a C string function sees it, up to its first NUL; onLine answers true to stop the reading.
class ListLines {
public:
    template <class OnLine>
    bool Feed(const char* bytes, int count, OnLine& onLine)
    {
        for (int i = 0; i < count; ++i) {
            m_line[m_length++] = bytes[i];
            if ((bytes[i] == '\n' || m_length == kListLineCapacity - 1) && Emit(onLine)) return true;
        }
        return false;
    }

    template <class OnLine>
    bool Finish(OnLine& onLine)
    {
        return m_length > 0 && Emit(onLine);
    }

private:
    template <class OnLine>
    bool Emit(OnLine& onLine)
    {
        const char* end = m_line;
        while (end != m_line + m_length && *end) ++end;
        m_length = 0;
        return onLine(ByteRange{m_line, end});
    }

    char m_line[kListLineCapacity - 1];
    int m_length = 0;
};

// Feeds everything source.Read(buffer, capacity) gives to a ListLines, until it answers 0 or
// less: at the end and on a read error alike. True when onLine stopped the reading.
template <class Source, class OnLine>
bool ForEachListLine(Source& source, OnLine onLine)
{
    ListLines lines;
    char chunk[4096];  // one read of the file for every few dozen lines
    for (int count; (count = source.Read(chunk, sizeof chunk)) > 0;)
        if (lines.Feed(chunk, count, onLine)) return true;
    return lines.Finish(onLine);
}

// Whether a line of the list, without its ASCII white space, is path in any ASCII letter case.
template <class Source>
bool ListNames(Source& source, const char* path)
{
    return ForEachListLine(source, [path](ByteRange line) {
        const ByteRange entry = TrimAsciiSpace(line);
        return entry.begin != entry.end && EqualsIgnoringAsciiCase(entry, path);
    });
}

} // namespace vimlet
