// The hook library's exclusion check with a shared list path of the attacker's choosing: any
// 260 UTF-16 units, terminated or not, with any prefix (\\?\, \\.\pipe\, \\host@SSL\...), and
// a list file that comes and goes. The file is a stand-in, so whatever the path names is never
// touched. Checked: only a terminated path that is the user's own list reaches the file, and
// whole; the file is opened exactly when that path's stamp changed; the answer is the
// reading's, and stands while the status query fails or the opening meets an oplock break.
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
    // One byte per check: 0 fails the status query; else its low 7 bits are the time, and the
    // high bit makes the opening meet an oplock break.
    const std::uint8_t* times;
    std::wstring expectedPath;
    bool mayOpen;
    int opens = 0;
};
Script* g_script;

// AppData is on a server: the user's own list is read there all the same.
constexpr wchar_t kAppData[] = L"\\\\server\\home\\me\\AppData\\Roaming";
constexpr wchar_t kOwnList[] = L"\\\\server\\home\\me\\AppData\\Roaming/Vimlet/excludeapp.txt";
constexpr std::uint8_t kBusyBit = 0x80;

std::wstring AsciiUpper(std::wstring text)
{
    for (wchar_t& c : text)
        if (c >= L'a' && c <= L'z') c -= 0x20;
    return text;
}

bool MayOpen(const std::wstring& path) { return AsciiUpper(path) == AsciiUpper(kOwnList); }

void CheckPath(const wchar_t* path)
{
    Check(g_script->mayOpen);
    Check(g_script->expectedPath == path);
}

struct HostileFile {
    static bool Stamp(const wchar_t* path, vimlet::ListStamp* stamp)
    {
        CheckPath(path);
        *stamp = {ULONGLONG(*g_script->times & ~kBusyBit), 1};
        return *g_script->times != 0;
    }
    static bool AppDataFolder(wchar_t (&folder)[MAX_PATH])
    {
        std::wcscpy(folder, kAppData);
        return true;
    }
    static UINT QuietErrors() { return 0; }
    static void RestoreErrors(UINT) {}
    HostileFile(const wchar_t* path, ULONGLONG)
    {
        CheckPath(path);
        ++g_script->opens;
    }
    vimlet::ListOpening Opening() const
    {
        return *g_script->times & kBusyBit ? vimlet::ListOpening::kBusy : vimlet::ListOpening::kOpen;
    }
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
    const std::wstring path(shared.get(), wcsnlen(shared.get(), vimlet::kPathCapacity));
    Script script{file, times, path, path.size() < vimlet::kPathCapacity && MayOpen(path)};
    g_script = &script;
    bool allowed = true;
    int seen = -1;
    for (int i = 0; i < kChecks; ++i, ++script.times) {
        const int opened = script.opens;
        const int time = times[i] & ~kBusyBit;
        const bool opens = script.mayOpen && times[i] != 0 && time != seen;
        if (opens && !(times[i] & kBusyBit)) {
            ChunkedSource model = file;
            allowed = !vimlet::ListNames(model, host.c_str());
            seen = time;
        }
        script.source = file;
        Check(cache.AllowsHidingIn<HostileFile>(shared.get()) == allowed);
        Check(script.opens == opened + (opens ? 1 : 0));
    }
    return 0;
}
