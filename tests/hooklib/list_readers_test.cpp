// The two readers of the exclusion list on files the program writes: whatever the program lists
// after reading a file back, the hook library's check excludes, and nothing else.
#include "Settings.h"
#include "exclusion.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

std::string Ansi(const std::wstring& text)
{
    char bytes[4 * vimlet::kListLineCapacity];
    const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                           bytes, sizeof bytes, nullptr, nullptr);
    return std::string(bytes, length);
}

// Paths, white space of both alphabets, line ends, NUL, letters in both cases, characters the
// code page lacks; now and then an entry too long to be written.
std::wstring RandomEntry(std::mt19937& random)
{
    static const std::wstring alphabet =
        L"aAzZ09:\\/. _\t\r\n\v\f" L"\x00a0\x00e4\x00c4\x00e9\x2002\x3000\x3042\x4e2d\x0e01" +
        std::wstring(1, L'\0');
    const std::size_t length = random() % 16 == 0 ? 990 + random() % 20 : random() % 24;
    std::wstring entry;
    for (std::size_t i = 0; i < length; ++i) entry += alphabet[random() % alphabet.size()];
    return entry;
}

TEST(ListReaders, AgreeOnEveryFileTheProgramWrites)
{
    TempDir dir;
    const std::wstring file = dir.File(L"excludeapp.txt");
    std::mt19937 random(8);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::wstring> written(random() % 5);
        for (std::wstring& entry : written) entry = RandomEntry(random);
        SaveExcludeListTo(file, written);
        std::vector<std::wstring> listed;
        LoadExcludeListFrom(file, listed);

        std::vector<std::wstring> candidates = written;
        candidates.insert(candidates.end(), listed.begin(), listed.end());
        for (const std::wstring& candidate : candidates) {
            const std::string host = Ansi(candidate);
            if (host.size() >= vimlet::kPathCapacity || host.find('\0') != std::string::npos) continue;
            vimlet::ExclusionCache cache{};
            std::copy(host.begin(), host.end(), cache.hostPath);
            const bool programLists = std::any_of(listed.begin(), listed.end(), [&](const std::wstring& e) {
                const std::string entry = Ansi(e);
                return vimlet::EqualsIgnoringAsciiCase({entry.data(), entry.data() + entry.size()},
                                                       host.c_str());
            });
            EXPECT_EQ(!cache.AllowsHiding(file.c_str()), programLists)
                << "round " << round << ", host " << testing::PrintToString(host) << " in "
                << testing::PrintToString(ReadBytes(file));
        }
    }
}

} // namespace
