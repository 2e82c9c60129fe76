#include "Settings.h"

#include "ExcludeListLines.h"
#include "join_path.h"

namespace {

// The file or a folder on its path missing. Anything else is a file that is there.
bool IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

int DecodeAnsi(const char* bytes, int count, wchar_t* wide, int capacity)
{
    return MultiByteToWideChar(CP_ACP, 0, bytes, count, wide, capacity);
}

} // namespace

std::wstring JoinPath(const std::wstring& first, const std::wstring& second)
{
    const std::size_t length = vimlet::JoinPath(first.c_str(), second.c_str(), nullptr, 0);
    std::wstring joined(length, L'\0');
    vimlet::JoinPath(first.c_str(), second.c_str(), joined.data(), length + 1);
    return joined;
}

bool ReadExcludeFile(const std::wstring& path, std::vector<std::wstring>& list, bool* tooLarge)
{
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

bool SettingsSystem::FolderPath(int folder, bool create, wchar_t (&path)[MAX_PATH])
{
    return SHGetSpecialFolderPathW(nullptr, path, folder, create);
}

int SettingsSystem::ReadIniInt(const wchar_t* key, int fallback, const wchar_t* path)
{
    return GetPrivateProfileIntW(kIniSection, key, fallback, path);
}

bool SettingsSystem::WriteIniString(const wchar_t* key, const wchar_t* value, const wchar_t* path)
{
    return WritePrivateProfileStringW(kIniSection, key, value, path);
}

bool SettingsSystem::PutLine(const char* line, FILE* file)
{
    return fputs(line, file) != EOF;
}

DWORD SettingsSystem::Replace(const wchar_t* replacement, const wchar_t* path)
{
    if (MoveFileExW(replacement, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return ERROR_SUCCESS;
    return GetLastError();
}

void SettingsSystem::Pause(DWORD ms)
{
    Sleep(ms);
}
