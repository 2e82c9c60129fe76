#include "Settings.h"

#include "ExcludeListLines.h"
#include "join_path.h"
#include "list_file.h"
#include "suppressor_keys.h"

#include <shlobj.h>

#include <errno.h>
#include <io.h>
#include <stdio.h>

namespace {

using vimlet::kListLineCapacity;
// An entry's converted bytes; its line feed and terminator take the last two bytes of a line.
constexpr int kListEntryCapacity = kListLineCapacity - 2;
constexpr int kReplaceAttempts = 10;
constexpr DWORD kReplaceRetryMs = 20;

constexpr bool SameOrderAsHookLibrary()
{
    if (kSuppressorSettingCount != static_cast<std::size_t>(vimlet::kSuppressorCount)) return false;
    for (std::size_t i = 0; i < kSuppressorSettingCount; ++i)
        if (kSuppressorSettings[i].virtualKey != vimlet::kSuppressorKeys[i]) return false;
    return true;
}
static_assert(SameOrderAsHookLibrary(), "the program's key table must follow the hook library's");

int DecodeAnsi(const char* bytes, int count, wchar_t* wide, int capacity)
{
    return MultiByteToWideChar(CP_ACP, 0, bytes, count, wide, capacity);
}

// Every write checked, and the bytes on the disk before the file is closed: only a whole list
// may replace the old one.
bool WriteExcludeFile(const std::wstring& path, const std::vector<std::wstring>& list, PutLine put)
{
    FILE* file = _wfopen(path.c_str(), L"w");
    if (!file) return false;

    char line[kListLineCapacity];
    bool written = true;
    for (auto entry = list.begin(); written && entry != list.end(); ++entry) {
        // An entry too long for the buffer converts to nothing and leaves an empty line, which
        // every reader skips.
        const int length = WideCharToMultiByte(CP_ACP, 0, entry->data(), static_cast<int>(entry->size()), line,
                                               kListEntryCapacity, nullptr, nullptr);
        line[length] = '\n';  // text mode writes CR LF
        line[length + 1] = '\0';
        written = put(line, file) != EOF;
    }
    written = written && fflush(file) == 0 && _commit(_fileno(file)) == 0;
    return fclose(file) == 0 && written;
}

// In one step, so that a hooked process reads the old list or the new one, never a part. A
// reader holds the file for a moment only: a replace it blocks is tried again.
bool ReplaceWhole(const std::wstring& replacement, const std::wstring& path)
{
    for (int attempt = 0; attempt < kReplaceAttempts; ++attempt) {
        if (MoveFileExW(replacement.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) return false;
        Sleep(kReplaceRetryMs);
    }
    return false;
}

} // namespace

std::wstring JoinPath(const std::wstring& first, const std::wstring& second)
{
    const std::size_t length = vimlet::JoinPath(first.c_str(), second.c_str(), nullptr, 0);
    std::wstring joined(length, L'\0');
    vimlet::JoinPath(first.c_str(), second.c_str(), joined.data(), length + 1);
    return joined;
}

std::wstring GetSettingsDirectory()
{
    wchar_t folder[MAX_PATH];
    if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_APPDATA, TRUE)) return {};
    return JoinPath(folder, kSettingsFolderName);
}

std::wstring GetIniFilePath() { return JoinPath(GetSettingsDirectory(), kIniFileName); }

std::wstring GetExcludeFilePath() { return JoinPath(GetSettingsDirectory(), kExcludeFileName); }

KeySettings ReadKeySettings() { return ReadKeySettingsFrom(GetIniFilePath()); }

KeySettings ReadKeySettingsFrom(const std::wstring& iniPath)
{
    KeySettings settings{};
    for (std::size_t i = 0; i < kSuppressorSettingCount; ++i) {
        const SuppressorSetting& setting = kSuppressorSettings[i];
        settings[i] = GetPrivateProfileIntW(kIniSection, setting.iniKey, setting.defaultValue,
                                            iniPath.c_str()) != 0;
    }
    return settings;
}

bool WriteKeySettingTo(const std::wstring& iniPath, const SuppressorSetting& setting, bool on)
{
    return WritePrivateProfileStringW(kIniSection, setting.iniKey, on ? L"1" : L"0", iniPath.c_str()) != FALSE;
}

bool LoadExcludeList(std::vector<std::wstring>& list)
{
    return LoadExcludeListFrom(GetExcludeFilePath(), list);
}

bool LoadExcludeListFrom(const std::wstring& path, std::vector<std::wstring>& list)
{
    list.clear();
    vimlet::ListFile file(path.c_str());
    // The file or a folder on its path missing: ENOENT. Anything else is a file that is there.
    if (!file.IsOpen()) return errno == ENOENT;

    // A read error ends the loading like the end of the file, so a failing read cannot keep
    // the settings dialog from opening.
    vimlet::ForEachListLine(file, [&list](vimlet::ByteRange line) {
        AppendListEntry(line, DecodeAnsi, list);
        return false;
    });
    return !file.ReadFailed();
}

bool SaveExcludeList(const std::vector<std::wstring>& list)
{
    return SaveExcludeListTo(GetExcludeFilePath(), list);
}

bool SaveExcludeListTo(const std::wstring& path, const std::vector<std::wstring>& list, PutLine put)
{
    const std::wstring written = path + L".new";
    if (WriteExcludeFile(written, list, put) && ReplaceWhole(written, path)) return true;
    DeleteFileW(written.c_str());
    return false;
}
