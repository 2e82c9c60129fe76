#pragma once
// Where the program keeps its settings and how it reads and writes them: the suppressor keys in
// vimlet.ini, the exclusion list in excludeapp.txt, both in the settings directory. A store is
// made for one operation: paths are formed anew at each use. The store is written against a
// small system interface, so that its tests can make the system fail. Sys supplies:
//   static bool FolderPath(int folder, bool create, wchar_t (&path)[MAX_PATH]);  // SHGetSpecialFolderPathW
//   static int ReadIniInt(const wchar_t* key, int fallback, const wchar_t* path);  // GetPrivateProfileIntW
//   static bool WriteIniString(const wchar_t* key, const wchar_t* value, const wchar_t* path);
//   static bool PutLine(const char* line, FILE* file);                   // fputs
//   static DWORD Replace(const wchar_t* replacement, const wchar_t* path);  // MoveFileExW: 0 or the error
//   static void Pause(DWORD ms);                                          // Sleep

#include "AppTitle.h"
#include "list_file.h"
#include "list_lines.h"
#include "suppressor_keys.h"

#include <windows.h>

#include <shlobj.h>

#include <io.h>
#include <stdio.h>

#include <array>
#include <string>
#include <vector>

inline constexpr const auto& kSettingsFolderName = kAppTitle;
inline constexpr const auto& kIniSection = kAppTitle;
constexpr wchar_t kIniFileName[] = L"vimlet.ini";
inline constexpr const auto& kExcludeFileName = vimlet::kListFileName;  // the name the hooks read

// One flag per suppressor key, in the hook library's order.
using KeySettings = std::array<bool, vimlet::kSuppressorCount>;

// The settings paths always meet with one forward slash (see hooklib/include/join_path.h).
std::wstring JoinPath(const std::wstring& first, const std::wstring& second);

// Replaces list with the entries of the list file at path (see LoadExcludeList).
bool ReadExcludeFile(const std::wstring& path, std::vector<std::wstring>& list, bool* tooLarge);

template <class Sys>
class BasicSettingsStore {
public:
    // The application-data folder joined with "Vimlet"; a store without a directory when the
    // shell cannot tell the folder. The folder is looked up, never made.
    static BasicSettingsStore OfUser()
    {
        wchar_t folder[MAX_PATH];
        if (!Sys::FolderPath(CSIDL_APPDATA, false, folder)) return BasicSettingsStore({});
        return BasicSettingsStore(JoinPath(folder, kSettingsFolderName));
    }
    explicit BasicSettingsStore(std::wstring directory) : m_directory(std::move(directory)) {}

    // False without a directory: reads then give the defaults and an empty list, and writes
    // write nothing anywhere (the join rule would put the files at the root of the drive) and
    // report no failure: the user is told once, at start-up, that nothing is kept.
    bool Keeps() const { return !m_directory.empty(); }
    const std::wstring& Directory() const { return m_directory; }
    std::wstring IniPath() const { return JoinPath(m_directory, kIniFileName); }
    std::wstring ExcludePath() const { return JoinPath(m_directory, kExcludeFileName); }

    KeySettings ReadKeys() const
    {
        const std::wstring iniPath = IniPath();
        KeySettings settings{};
        for (int i = 0; i < vimlet::kSuppressorCount; ++i) {
            const vimlet::SuppressorKey& key = vimlet::kSuppressorKeys[i];
            settings[i] = Keeps() ? Sys::ReadIniInt(key.iniKey, key.onByDefault, iniPath.c_str()) != 0
                                  : key.onByDefault;
        }
        return settings;
    }

    // Writes "1" or "0"; the caller sets the hook library's flag for the key first. False when
    // the file could not be written (a read-only file or folder, a settings folder that is a file).
    bool WriteKey(const vimlet::SuppressorKey& key, bool on) const
    {
        return !Keeps() || Sys::WriteIniString(key.iniKey, on ? L"1" : L"0", IniPath().c_str());
    }

    // Replaces list with the entries of excludeapp.txt; a missing file gives an empty list.
    // False when the file is there but could not be read to its end (locked, no permission, a
    // folder of that name, or over vimlet::kListSizeLimit, which sets tooLarge and reads
    // nothing): list then holds what was read, and must not be written back.
    bool LoadExcludeList(std::vector<std::wstring>& list, bool* tooLarge = nullptr) const
    {
        list.clear();
        if (tooLarge) *tooLarge = false;
        return !Keeps() || ReadExcludeFile(ExcludePath(), list, tooLarge);
    }

    // Replaces excludeapp.txt with a file of one line per entry, written beside it first. False
    // when that could not be done; the old file is then left as it was, byte for byte.
    bool SaveExcludeList(const std::vector<std::wstring>& list) const
    {
        if (!Keeps()) return true;
        const std::wstring path = ExcludePath();
        const std::wstring written = path + L".new";
        if (WriteExcludeFile(written, list) && ReplaceWhole(written, path)) return true;
        DeleteFileW(written.c_str());
        return false;
    }

private:
    // An entry's converted bytes; its line feed and terminator take the last two bytes of a line.
    static constexpr int kListEntryCapacity = vimlet::kListLineCapacity - 2;
    static constexpr int kReplaceAttempts = 10;
    static constexpr DWORD kReplaceRetryMs = 20;

    // Every write checked, and the bytes on the disk before the file is closed: only a whole
    // list may replace the old one.
    static bool WriteExcludeFile(const std::wstring& path, const std::vector<std::wstring>& list)
    {
        FILE* file = _wfopen(path.c_str(), L"w");
        if (!file) return false;

        char line[vimlet::kListLineCapacity];
        bool written = true;
        for (auto entry = list.begin(); written && entry != list.end(); ++entry) {
            // An entry too long for the buffer converts to nothing and leaves an empty line,
            // which every reader skips.
            const int length = WideCharToMultiByte(CP_ACP, 0, entry->data(), static_cast<int>(entry->size()), line,
                                                   kListEntryCapacity, nullptr, nullptr);
            line[length] = '\n';  // text mode writes CR LF
            line[length + 1] = '\0';
            written = Sys::PutLine(line, file);
        }
        written = written && fflush(file) == 0 && _commit(_fileno(file)) == 0;
        return fclose(file) == 0 && written;
    }

    // In one step, so that a hooked process reads the old list or the new one, never a part. A
    // reader holds the file for a moment only: a replace it blocks is tried again.
    static bool ReplaceWhole(const std::wstring& replacement, const std::wstring& path)
    {
        for (int attempt = 0; attempt < kReplaceAttempts; ++attempt) {
            const DWORD error = Sys::Replace(replacement.c_str(), path.c_str());
            if (error == ERROR_SUCCESS) return true;
            if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) return false;
            Sys::Pause(kReplaceRetryMs);
        }
        return false;
    }

    std::wstring m_directory;
};

// The system calls behind the settings storage.
struct SettingsSystem {
    static bool FolderPath(int folder, bool create, wchar_t (&path)[MAX_PATH]);
    static int ReadIniInt(const wchar_t* key, int fallback, const wchar_t* path);
    static bool WriteIniString(const wchar_t* key, const wchar_t* value, const wchar_t* path);
    static bool PutLine(const char* line, FILE* file);
    static DWORD Replace(const wchar_t* replacement, const wchar_t* path);
    static void Pause(DWORD ms);
};

using SettingsStore = BasicSettingsStore<SettingsSystem>;
