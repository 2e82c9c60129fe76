// The hook library's exclusion check with a shared list path of the attacker's choosing: any
// 260 UTF-16 units, terminated or not, with any prefix (\\?\, \\.\pipe\, \\host@SSL\...), and
// a list file that comes and goes. The file is a stand-in, so whatever the path names is never
// touched. Checked: only a terminated path on a local drive ending in the list's name, or the
// user's own list, reaches the file, and whole; the file is opened exactly when such a path's
// time changed; the answer is the reading's, and stands while the status query fails.
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
    bool mayOpen;
    int opens = 0;
};
Script* g_script;

// Drives A: to M: are local, N: to Z: mapped from the network. AppData is on a server.
constexpr wchar_t kAppData[] = L"\\\\server\\home\\me\\AppData\\Roaming";
constexpr wchar_t kOwnList[] = L"\\\\server\\home\\me\\AppData\\Roaming/Vimlet/excludeapp.txt";

std::wstring AsciiUpper(std::wstring text)
{
    for (wchar_t& c : text)
        if (c >= L'a' && c <= L'z') c -= 0x20;
    return text;
}

bool MayOpen(const std::wstring& path)
{
    const auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    const std::wstring upper = AsciiUpper(path);
    const std::size_t name = upper.size() - 14;
    return upper == AsciiUpper(kOwnList) ||
           (upper.size() >= 17 && upper[0] >= L'A' && upper[0] <= L'M' && upper[1] == L':' && separator(upper[2]) &&
            separator(upper[name - 1]) && upper.compare(name, 14, L"EXCLUDEAPP.TXT") == 0);
}

void CheckPath(const wchar_t* path)
{
    Check(g_script->mayOpen);
    Check(g_script->expectedPath == path);
}

struct HostileFile {
    static bool Stamp(const wchar_t* path, vimlet::ListStamp* stamp)
    {
        CheckPath(path);
        *stamp = {*g_script->times, 1};
        return *g_script->times != 0;
    }
    static UINT DriveType(const wchar_t* root)
    {
        const wchar_t letter = root[0] | 0x20;
        return letter >= L'a' && letter <= L'm' ? DRIVE_FIXED : DRIVE_REMOTE;
    }
    static bool AppDataFolder(wchar_t (&folder)[MAX_PATH])
    {
        std::wcscpy(folder, kAppData);
        return true;
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
    const std::wstring path(shared.get(), wcsnlen(shared.get(), vimlet::kPathCapacity));
    Script script{file, times, path, path.size() < vimlet::kPathCapacity && MayOpen(path)};
    g_script = &script;
    bool allowed = true;
    int seen = 0;
    for (int i = 0; i < kChecks; ++i, ++script.times) {
        const int opens = script.opens;
        const bool reads = script.mayOpen && times[i] != 0 && times[i] != seen;
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
