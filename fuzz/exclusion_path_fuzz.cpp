// The hook library's exclusion check with a shared list path of the attacker's choosing: any
// 260 UTF-16 units, terminated or not, with any prefix (\\?\, \\.\pipe\, \\host@SSL\...), and
// a list file that comes and goes. The file is a stand-in, so whatever the path names is never
// touched. Checked: the path that reaches the file is the shared path up to its terminator or
// 259 units, always terminated; the file is opened exactly when its time changed; the answer
// is the reading's, and stands while the status query fails.
#include "chunked_source.h"
#include "exclusion.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>

namespace {

void Check(bool condition)
{
    if (!condition) std::abort();
}

// What this input's file does, and what the check handed it.
struct Script {
    ChunkedSource source;
    const std::uint8_t* times;  // one byte per check: 0 fails the status query, else the time
    std::wstring expectedPath;
    int opens = 0;
};
Script* g_script;

void CheckPath(const wchar_t* path)
{
    Check(std::wmemchr(path, L'\0', vimlet::kPathCapacity) != nullptr);
    Check(g_script->expectedPath == path);
}

struct HostileFile {
    static bool ModificationTime(const wchar_t* path, __int64* seconds)
    {
        CheckPath(path);
        *seconds = *g_script->times;
        return *g_script->times != 0;
    }
    explicit HostileFile(const wchar_t* path)
    {
        CheckPath(path);
        ++g_script->opens;
    }
    bool IsOpen() const { return true; }
    int Read(char* buffer, int capacity) { return g_script->source.Read(buffer, capacity); }
};

constexpr int kChecks = 4;

} // namespace

// Input: chunk size (2 bytes), then the shared path (520 bytes, little-endian units, the
// missing ones zero), then one time byte per check, then the file. Its first line is the host.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t length)
{
    constexpr std::size_t kPathBytes = 2 * vimlet::kPathCapacity;
    if (length < 2 + kPathBytes + kChecks) return 0;
    // Exactly the shared array, so that a read past its end is caught.
    auto shared = std::make_unique<wchar_t[]>(vimlet::kPathCapacity);
    for (int i = 0; i < vimlet::kPathCapacity; ++i) shared[i] = input[2 + 2 * i] | input[3 + 2 * i] << 8;
    const std::uint8_t* times = input + 2 + kPathBytes;
    const std::size_t fileAt = 2 + kPathBytes + kChecks;

    std::uint8_t chunkAndFile[4096];
    const std::size_t fileLength = std::min(length - fileAt, sizeof chunkAndFile - 2);
    std::memcpy(chunkAndFile, input, 2);
    std::memcpy(chunkAndFile + 2, input + fileAt, fileLength);
    const ChunkedSource file(chunkAndFile, fileLength + 2);
    const std::string text = file.Rest();
    const std::string host = text.substr(0, std::min(text.find_first_of(std::string("\n\0", 2)), std::size_t(259)));

    vimlet::ExclusionCache cache{};
    std::memcpy(cache.hostPath, host.c_str(), host.size() + 1);
    Script script{file, times, std::wstring(shared.get(), wcsnlen(shared.get(), vimlet::kPathCapacity - 1))};
    g_script = &script;
    bool allowed = true;
    __int64 seen = 0;
    for (int i = 0; i < kChecks; ++i, ++script.times) {
        const int opens = script.opens;
        const bool reads = times[i] != 0 && times[i] != seen;
        if (reads) {
            ChunkedSource model = file;
            allowed = !vimlet::ListNames(model, host.c_str());
            seen = times[i];
        }
        script.source = file;
        Check(cache.AllowsHidingIn<HostileFile>(shared.get()) == allowed);
        Check(script.opens == opens + (reads ? 1 : 0));
    }
    return 0;
}
