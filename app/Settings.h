#pragma once
// Where the program keeps its settings and how it reads and writes them: the suppressor keys in
// vimlet.ini, the exclusion list in excludeapp.txt, both in the settings directory. A store is
// made for one operation: paths are formed anew at each use.

#include "AppTitle.h"
#include "list_file.h"
#include "suppressor_keys.h"

#include <windows.h>

#include <array>
#include <string>
#include <vector>

inline constexpr const auto& kSettingsFolderName = kAppTitle;
inline constexpr const auto& kIniSection = kAppTitle;
constexpr wchar_t kIniFileName[] = L"vimlet.ini";
inline constexpr const auto& kExcludeFileName = vimlet::kListFileName;  // the name the hooks read

struct SuppressorSetting {
    UINT virtualKey;
    const wchar_t* iniKey;
    int defaultValue;  // used when the file or the key is missing
};

// In the order the program reads, writes and passes them to the hook library.
constexpr SuppressorSetting kSuppressorSettings[] = {
    {VK_LSHIFT, L"vk_lshift", 1},     {VK_LCONTROL, L"vk_lcontrol", 1},
    {VK_LMENU, L"vk_lmenu", 1},       {VK_RSHIFT, L"vk_rshift", 0},
    {VK_RCONTROL, L"vk_rcontrol", 0}, {VK_RMENU, L"vk_rmenu", 0},
    {VK_SPACE, L"vk_space", 1},
};
constexpr std::size_t kSuppressorSettingCount = std::size(kSuppressorSettings);

constexpr bool InHookLibraryOrder()
{
    if (kSuppressorSettingCount != static_cast<std::size_t>(vimlet::kSuppressorCount)) return false;
    for (std::size_t i = 0; i < kSuppressorSettingCount; ++i)
        if (kSuppressorSettings[i].virtualKey != vimlet::kSuppressorKeys[i]) return false;
    return true;
}
static_assert(InHookLibraryOrder(), "the program's key table must follow the hook library's");

// One flag per entry of kSuppressorSettings, in its order.
using KeySettings = std::array<bool, kSuppressorSettingCount>;

// The settings paths always meet with one forward slash (see hooklib/include/join_path.h).
std::wstring JoinPath(const std::wstring& first, const std::wstring& second);

class SettingsStore {
public:
    // The application-data folder joined with "Vimlet"; a store without a directory when the
    // shell cannot tell the folder.
    static SettingsStore OfUser();
    explicit SettingsStore(std::wstring directory) : m_directory(std::move(directory)) {}

    // False without a directory: reads then give the defaults and an empty list, and writes
    // write nothing anywhere (the join rule would put the files at the root of the drive) and
    // report no failure: the user is told once, at start-up, that nothing is kept.
    bool Keeps() const { return !m_directory.empty(); }
    const std::wstring& Directory() const { return m_directory; }
    std::wstring IniPath() const { return JoinPath(m_directory, kIniFileName); }
    std::wstring ExcludePath() const { return JoinPath(m_directory, kExcludeFileName); }

    KeySettings ReadKeys() const;
    // Writes "1" or "0"; the caller sets the hook library's flag for the key first. False when
    // the file could not be written (a read-only file or folder, a settings folder that is a file).
    bool WriteKey(const SuppressorSetting& setting, bool on) const;

    // Replaces list with the entries of excludeapp.txt; a missing file gives an empty list.
    // False when the file is there but could not be read to its end (locked, no permission, a
    // folder of that name, or over vimlet::kListSizeLimit, which sets tooLarge and reads
    // nothing): list then holds what was read, and must not be written back.
    bool LoadExcludeList(std::vector<std::wstring>& list, bool* tooLarge = nullptr) const;
    // Replaces excludeapp.txt with a file of one line per entry, written beside it first. False
    // when that could not be done; the old file is then left as it was, byte for byte.
    bool SaveExcludeList(const std::vector<std::wstring>& list) const;

private:
    std::wstring m_directory;
};
