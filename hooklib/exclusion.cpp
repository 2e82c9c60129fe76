#include "exclusion.h"

#include <string.h>

namespace vimlet {

bool ExclusionCache::AllowsHidingFor(const char* executable, const wchar_t* listPath)
{
    if (strcmp(hostPath, executable) != 0) {
        *this = {};
        CopyTerminated(executable, hostPath);
    }
    return AllowsHiding(listPath);
}

} // namespace vimlet
