#include "exclusion.h"

#include <string.h>
#include <sys/stat.h>

namespace vimlet {

void CopyTerminated(const wchar_t* source, wchar_t (&target)[kPathCapacity])
{
    int i = 0;
    for (; i < kPathCapacity - 1 && source[i]; ++i) target[i] = source[i];
    target[i] = L'\0';
}

bool ListFile::ModificationTime(const wchar_t* path, __int64* seconds)
{
    struct _stat64 status;
    if (_wstat64(path, &status) != 0) return false;
    *seconds = status.st_mtime;
    return true;
}

bool ExecutableExclusion::AllowsHiding(const char* executable, const wchar_t* listPath)
{
    if (strcmp(cache.hostPath, executable) != 0) {
        cache = {};
        for (int i = 0; i < kPathCapacity - 1 && executable[i]; ++i) cache.hostPath[i] = executable[i];
    }
    return cache.AllowsHiding(listPath);
}

} // namespace vimlet
