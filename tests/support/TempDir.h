#pragma once
// A fresh directory under the temporary folder, removed with everything in it at the end.

#include <windows.h>

#include <string>

class TempDir {
public:
    enum Leftovers { kKeepLeftovers, kRemoveLeftovers };
    // Named prefix and a number. A test whose files outlive it (Wine keeps a hook's library mapped
    // in every process the hook reached) removes first what earlier runs left under its prefix.
    explicit TempDir(const std::wstring& prefix = L"vimlet-test-", Leftovers leftovers = kKeepLeftovers);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::wstring& Path() const { return m_path; }
    std::wstring File(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

std::string ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::string& bytes);

constexpr ULONGLONG kTicksPerSecond = 10000000;  // a FILETIME counts 100 ns
// Sets the file's last-write time, in ticks since 1601, so that a test owns the clock.
bool SetLastWriteTime(const std::wstring& path, ULONGLONG ticks);

// A fresh folder as %APPDATA% of this process and of the processes it starts, with a Vimlet
// folder in it, until the end of the scope: the hook library reads only the list in the AppData
// of the process it runs in.
class TempAppData {
public:
    TempAppData();
    ~TempAppData();
    TempAppData(const TempAppData&) = delete;
    TempAppData& operator=(const TempAppData&) = delete;

    std::wstring SettingsDirectory() const { return m_dir.Path() + L"/Vimlet"; }
    std::wstring ListPath() const { return SettingsDirectory() + L"/excludeapp.txt"; }

private:
    TempDir m_dir;
    std::wstring m_previous;
};
