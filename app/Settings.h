#pragma once
// Where the program keeps its settings and how it reads and writes them: the suppressor keys in
// vimlet.ini, the exclusion list in excludeapp.txt. Paths are formed anew at each use.

#include <windows.h>

#include <stdio.h>

#include <array>
#include <string>
#include <vector>

constexpr wchar_t kSettingsFolderName[] = L"Vimlet";
constexpr wchar_t kIniFileName[] = L"vimlet.ini";
constexpr wchar_t kExcludeFileName[] = L"excludeapp.txt";
constexpr wchar_t kIniSection[] = L"Vimlet";

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

// One flag per entry of kSuppressorSettings, in its order.
using KeySettings = std::array<bool, kSuppressorSettingCount>;

// The settings paths always meet with one forward slash (see hooklib/include/join_path.h).
std::wstring JoinPath(const std::wstring& first, const std::wstring& second);

// The application-data folder joined with "Vimlet"; empty when the shell cannot tell the folder.
std::wstring GetSettingsDirectory();
std::wstring GetIniFilePath();
std::wstring GetExcludeFilePath();

KeySettings ReadKeySettings();
KeySettings ReadKeySettingsFrom(const std::wstring& iniPath);
// Writes "1" or "0"; the caller sets the hook library's flag for the key first. False when the
// file could not be written (a read-only file or folder, a settings folder that is a file).
bool WriteKeySettingTo(const std::wstring& iniPath, const SuppressorSetting& setting, bool on);

// Replaces list with the entries of excludeapp.txt; a missing file gives an empty list. False
// when the file is there but could not be read to its end (locked, no permission, a folder of
// that name): list then holds what was read, and must not be written back over the file.
bool LoadExcludeList(std::vector<std::wstring>& list);
bool LoadExcludeListFrom(const std::wstring& path, std::vector<std::wstring>& list);
// How a line reaches the file: fputs, or in a test one that fails as a full disk does.
using PutLine = int (*)(const char* line, FILE* file);

// Replaces excludeapp.txt with a file of one line per entry, written beside it first. False when
// that could not be done; the old file is then left as it was, byte for byte.
bool SaveExcludeList(const std::vector<std::wstring>& list);
bool SaveExcludeListTo(const std::wstring& path, const std::vector<std::wstring>& list, PutLine put = fputs);
