#pragma once
// Settings files as the dialog tests leave them for the program: any bytes, a directory of the
// file's name, or nothing.

#include "TempDir.h"
#include "dialog_driver.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

using Bytes = std::optional<std::string>;  // nothing: a directory of the file's name

// Undoes what a case made of the settings files, directories and read-only attribute included.
inline void ClearSettingsFiles()
{
    for (const std::wstring& path : {IniPath(), ExcludePath()}) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveDirectoryW(path.c_str());
    }
    RemoveSettingsFiles();
}

// Writes the file in the settings directory, or makes a directory of its name.
inline bool PutSettingsFile(const std::wstring& path, const Bytes& contents)
{
    CreateDirectoryW(SettingsDirectory().c_str(), nullptr);
    if (!contents) return CreateDirectoryW(path.c_str(), nullptr);
    WriteBytes(path, *contents);
    return true;
}

inline std::string Repeated(std::size_t count, const std::function<std::string(std::size_t)>& line)
{
    std::string bytes;
    for (std::size_t i = 0; i < count; ++i) bytes += line(i);
    return bytes;
}

// Each case starts and ends without settings files.
template <class Case> class WithoutSettingsFiles : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override { ClearSettingsFiles(); }
    void TearDown() override { ClearSettingsFiles(); }
};
