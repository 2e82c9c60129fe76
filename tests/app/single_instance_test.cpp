// What a start decides and what the parking window lets in from below, through a fake system:
// Wine runs every process as one user with no integrity levels, and its message filter lets
// everything in.
#include "MessageFilter.h"
#include "SingleInstance.h"

#include "CallLog.h"

#include <gtest/gtest.h>

namespace {

using namespace single_instance;

const Token kThisUser{{1, 5, 21}, SECURITY_MANDATORY_MEDIUM_RID};
constexpr int kForEver = -1;

struct FakeSystem {
    static inline std::vector<Token> owners;  // of the parking windows 1, 2, ...
    static inline int heldLooks;              // the session's name is found held that often
    static inline DWORD postError;
    static inline FileIdentity identity;
    static inline CallLog log;
    static inline DWORD waited;
    static inline bool elevated;

    static Claim ClaimName(const std::wstring& name)
    {
        log.Record("claim " + std::string(name.begin(), name.end()));
        if (name != kSessionName || heldLooks == 0) return Claim::Taken;
        if (heldLooks > 0) --heldLooks;
        return Claim::Held;
    }
    static HWND NextParkingWindow(HWND after)
    {
        const std::size_t next = reinterpret_cast<std::size_t>(after) + 1;
        return next <= owners.size() ? reinterpret_cast<HWND>(next) : nullptr;
    }
    static Token OwnToken() { return kThisUser; }
    static Token OwnerOf(HWND window) { return owners[reinterpret_cast<std::size_t>(window) - 1]; }
    static DWORD PostOpenSettings(HWND window, UINT)
    {
        return log.Record("post to " + std::to_string(reinterpret_cast<std::size_t>(window)), postError);
    }
    static void Wait(DWORD ms) { waited += ms; }
    static FileIdentity IdentityOf(HMODULE) { return identity; }
    static bool RunsElevated() { return elevated; }
    static void LetInFromBelow(HWND, UINT message) { log.Record("let in " + std::to_string(message)); }

    static Start Decide(std::vector<Token> windows, int held, DWORD error = 0, FileIdentity file = {1, {{7}}})
    {
        owners = std::move(windows), heldLooks = held, postError = error, identity = file, log.Take(), waited = 0;
        return DecideStart<FakeSystem>(nullptr, 0xC000);
    }
};

TEST(Start, HandsOverOnlyToThisUsersCopyAtTheSameLevelOrAboveAndNeverRunsBesideIt)
{
    const Token otherUser{{1, 5, 22}, kThisUser.integrity}, below{kThisUser.user, SECURITY_MANDATORY_LOW_RID},
        elevated{kThisUser.user, SECURITY_MANDATORY_HIGH_RID};
    struct Case {
        const char* name;
        std::vector<Token> owners;
        int heldLooks;
        DWORD postError;
        Start expected;
        const char* lastCall;
    } const cases[] = {
        {"this user's copy, of any version", {kThisUser}, kForEver, 0, Start::HandedOver, "post to 1"},
        {"an elevated copy lets nothing in from below", {elevated}, kForEver, ERROR_ACCESS_DENIED,
         Start::RunningElevated, "post to 1"},
        {"another user's copy (runas)", {otherUser}, kForEver, 0, Start::OtherUser, "claim Local\\Vimlet"},
        {"a window of a lower level", {below}, kForEver, 0, Start::RunningBelow, "claim Local\\Vimlet"},
        {"a lower window above this user's copy", {below, kThisUser}, kForEver, 0, Start::HandedOver, "post to 2"},
        {"a holder that ends without a window", {}, 3, 0, Start::Run,
         "claim Global\\Vimlet:0000000000000001:07000000000000000000000000000000"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FakeSystem::Decide(c.owners, c.heldLooks, c.postError), c.expected) << c.name;
        EXPECT_EQ(FakeSystem::log.Recorded().back(), c.lastCall) << c.name;
    }
    // The name held for ever and no window: it gives up after the whole bound, into no copy.
    EXPECT_EQ(FakeSystem::Decide({}, kForEver), Start::NoAnswer);
    EXPECT_GE(FakeSystem::waited, kHandOverBoundMs);
}

// ReFS tells files apart by 128 bits; a file system that reports nothing cannot tell copies
// apart, and says so rather than that another user runs Vimlet.
TEST(Start, TheCopyGuardNamesTheWhole128BitIdentityAndCannotTellOnAnAllZeroOne)
{
    FileIdentity high{}, low{};
    high.file.Identifier[15] = low.file.Identifier[0] = 1;
    EXPECT_NE(MachineWideName(high), MachineWideName(low));
    EXPECT_EQ(FakeSystem::Decide({}, 0, 0, FileIdentity{}), Start::CannotTell);
    EXPECT_EQ(FakeSystem::log.Recorded(), Calls{"claim Local\\Vimlet"}) << "no machine-wide name";
}

// The shell runs below an elevated copy; a request for the settings never comes in from below.
TEST(MessageFilter, LetsInTheHooksAndWhenElevatedTheShellButNeverTheSettingsRequest)
{
    FakeSystem::log.Take();
    for (bool elevated : {false, true}) {
        FakeSystem::elevated = elevated;
        vimlet::OpenMessageFilter<FakeSystem>(nullptr, 0xC001);
        EXPECT_EQ(FakeSystem::log.Take(), (elevated ? Calls{"let in 0", "let in 49153"} : Calls{"let in 0"}));
    }
}

} // namespace
