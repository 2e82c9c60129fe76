#include "exclusion.h"

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

} // namespace vimlet
