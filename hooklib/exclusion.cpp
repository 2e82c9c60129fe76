#include "exclusion.h"

#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

namespace vimlet {

namespace {

constexpr bool IsAsciiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

void CopyTerminated(const wchar_t* source, wchar_t (&target)[kPathCapacity])
{
    int i = 0;
    for (; i < kPathCapacity - 1 && source[i]; ++i) target[i] = source[i];
    target[i] = L'\0';
}

} // namespace

ByteRange TrimAsciiSpace(const char* line)
{
    const char* end = line;
    while (*end) ++end;
    while (end > line && IsAsciiSpace(end[-1])) --end;
    while (line < end && IsAsciiSpace(*line)) ++line;
    return {line, end};
}

bool EqualsIgnoringAsciiCase(ByteRange entry, const char* path)
{
    for (const char* p = entry.begin; p != entry.end; ++p, ++path)
        if (!*path || AsciiLower(*p) != AsciiLower(*path)) return false;
    return !*path;
}

bool ExclusionCache::AllowsHiding(const wchar_t* listPath)
{
    wchar_t path[kPathCapacity];
    CopyTerminated(listPath, path);

    struct _stat64 status;
    if (_wstat64(path, &status) == 0 && status.st_mtime != lastSeenModification) {
        lastSeenModification = status.st_mtime;
        excluded = 0;
        ReadList(path);
    }
    return !excluded;
}

bool ExecutableExclusion::AllowsHiding(const char* executable, const wchar_t* listPath)
{
    if (strcmp(cache.hostPath, executable) != 0) {
        cache = {};
        for (int i = 0; i < kPathCapacity - 1 && executable[i]; ++i)
            cache.hostPath[i] = executable[i];
    }
    return cache.AllowsHiding(listPath);
}

void ExclusionCache::ReadList(const wchar_t* listPath)
{
    FILE* file = _wfopen(listPath, L"r");
    if (!file) return;
    char line[kListLineCapacity];
    // fgets answers null at the end and on a read error alike: both end the reading.
    while (fgets(line, sizeof line, file)) {
        const ByteRange entry = TrimAsciiSpace(line);
        if (entry.begin != entry.end && EqualsIgnoringAsciiCase(entry, hostPath)) {
            excluded = 1;
            break;
        }
    }
    fclose(file);
}

} // namespace vimlet
