// The built hook library as the loader will see it: exports, the shared section, imports.
#include "Host.h"
#include "PeFile.h"
#include "shared_state.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

namespace {

const PeFile& Library()
{
    static const PeFile image(ReadBytes(BesideThisProgram(L"vimlet.dll")));
    return image;
}

TEST(DllImage, IsASmall64BitDllExportingExactlyTheSevenPlainNames)
{
    EXPECT_EQ(Library().Machine(), IMAGE_FILE_MACHINE_AMD64);
    EXPECT_TRUE(Library().Characteristics() & IMAGE_FILE_DLL);
    std::cout << "vimlet.dll: " << Library().Size() << " bytes" << std::endl;
    EXPECT_LT(Library().Size(), 64u * 1024);
    // In the table's order, which the loader's search needs sorted.
    EXPECT_EQ(Library().ExportNames(), (std::vector<std::string>{"vimlet_disable", "vimlet_enable", "vimlet_hide",
                                                                 "vimlet_is_suppressor", "vimlet_set_suppressor",
                                                                 "vimlet_setup", "vimlet_show"}));
}

TEST(DllImage, HasOneSharedWritableDataSection)
{
    const std::vector<PeSection>& sections = Library().Sections();
    const auto shared = std::ranges::find(sections, "_vimlet_", &PeSection::name);
    ASSERT_NE(shared, sections.end());
    // Initialised data, readable, writable, shared.
    EXPECT_EQ(shared->characteristics, 0xD0000040u);
    EXPECT_GE(shared->virtualSize, sizeof(vimlet::SharedHookState));
    // Any other shared section would be state that some process does not expect to share.
    for (const PeSection& section : sections)
        EXPECT_FALSE((section.characteristics & IMAGE_SCN_MEM_SHARED) && section.name != "_vimlet_") << section.name;
}

TEST(DllImage, ImportsSystemDllsOnlyAndNoNewerSystemCalls)
{
    // It is loaded into every process that receives input: a runtime DLL of the toolchain there
    // might be missing, or another version.
    const std::vector<std::string> allowed{"kernel32.dll", "user32.dll", "msvcrt.dll"};
    const std::vector<std::string> imports = Library().ImportedDlls();
    EXPECT_FALSE(imports.empty());
    for (std::string dll : imports) {
        CharLowerA(dll.data());
        EXPECT_EQ(std::ranges::count(allowed, dll), 1) << dll;
    }

    // Newer system calls are looked up at run time.
    const std::vector<std::string> imported = Library().ImportedFunctions();
    const auto has = [&](const char* name) { return std::ranges::count(imported, name) > 0; };
    // Windows before 10 1607 lacks these: imported, one would keep the library from loading there.
    for (const char* name : {"SetThreadDpiAwarenessContext", "GetThreadDpiAwarenessContext", "GetDpiForWindow"})
        EXPECT_FALSE(has(name)) << name;
    EXPECT_TRUE(has("GetProcAddress"));
}

} // namespace
