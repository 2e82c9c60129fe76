#include "Settings.h"

#include "SettingsSeams.h"

#include "ExcludeListLines.h"
#include "join_path.h"
#include "list_file.h"

#include <shlobj.h>

#include <io.h>
#include <stdio.h>

namespace {

using vimlet::kListLineCapacity;
// An entry's converted bytes; its line feed and terminator take the last two bytes of a line.
constexpr int kListEntryCapacity = kListLineCapacity - 2;
constexpr int kReplaceAttempts = 10;
constexpr DWORD kReplaceRetryMs = 20;

// The file or a folder on its path missing. Anything else is a file that is there.
bool IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

int DecodeAnsi(const char* bytes, int count, wchar_t* wide, int capacity)
{
    return MultiByteToWideChar(CP_ACP, 0, bytes, count, wide, capacity);
}

// Every write checked, and the bytes on the disk before the file is closed: only a whole list
// may replace the old one.
bool WriteExcludeFile(const std::wstring& path, const std::vector<std::wstring>& list)
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
        written = settings_seams::g_putLine(line, file) != EOF;
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

namespace settings_seams {
FolderLookup g_lookUpFolder = SHGetSpecialFolderPathW;
PutLine g_putLine = fputs;
} // namespace settings_seams

std::wstring JoinPath(const std::wstring& first, const std::wstring& second)
{
    const std::size_t length = vimlet::JoinPath(first.c_str(), second.c_str(), nullptr, 0);
    std::wstring joined(length, L'\0');
    vimlet::JoinPath(first.c_str(), second.c_str(), joined.data(), length + 1);
    return joined;
}

SettingsStore SettingsStore::OfUser()
{
    wchar_t folder[MAX_PATH];
    if (!settings_seams::g_lookUpFolder(nullptr, folder, CSIDL_APPDATA, TRUE)) return SettingsStore({});
    return SettingsStore(JoinPath(folder, kSettingsFolderName));
}

KeySettings SettingsStore::ReadKeys() const
{
    const std::wstring iniPath = IniPath();
    KeySettings settings{};
    for (std::size_t i = 0; i < kSuppressorSettingCount; ++i) {
        const SuppressorSetting& setting = kSuppressorSettings[i];
        const int value = Keeps() ? GetPrivateProfileIntW(kIniSection, setting.iniKey, setting.defaultValue,
                                                          iniPath.c_str())
                                  : setting.defaultValue;
        settings[i] = value != 0;
    }
    return settings;
}

bool SettingsStore::WriteKey(const SuppressorSetting& setting, bool on) const
{
    return !Keeps() ||
           WritePrivateProfileStringW(kIniSection, setting.iniKey, on ? L"1" : L"0", IniPath().c_str()) != FALSE;
}

bool SettingsStore::LoadExcludeList(std::vector<std::wstring>& list, bool* tooLarge) const
{
    list.clear();
    if (tooLarge) *tooLarge = false;
    if (!Keeps()) return true;
    const std::wstring path = ExcludePath();
    vimlet::ListStamp stamp;
    if (!vimlet::ListFile::Stamp(path.c_str(), &stamp)) return IsMissing(GetLastError());
    vimlet::ListFile file(path.c_str(), stamp.size);
    if (file.Opening() == vimlet::ListOpening::kMissing) return true;
    if (tooLarge) *tooLarge = file.Opening() == vimlet::ListOpening::kTooLarge;
    if (file.Opening() != vimlet::ListOpening::kOpen) return false;

    // A read error ends the loading like the end of the file, so a failing read cannot keep
    // the settings dialog from opening.
    vimlet::ForEachListLine(file, [&list](vimlet::ByteRange line) {
        AppendListEntry(line, DecodeAnsi, list);
        return false;
    });
    return !file.ReadFailed();
}

bool SettingsStore::SaveExcludeList(const std::vector<std::wstring>& list) const
{
    if (!Keeps()) return true;
    const std::wstring path = ExcludePath();
    const std::wstring written = path + L".new";
    if (WriteExcludeFile(written, list) && ReplaceWhole(written, path)) return true;
    DeleteFileW(written.c_str());
    return false;
}
