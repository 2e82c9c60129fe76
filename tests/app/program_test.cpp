// The real Vimlet.exe under Wine, watched from this separate process. This process links the
// same vimlet.dll, so it sees the program's shared hook state, and the program's hooks run
// here when this process receives input.
#include "ChildProcess.h"
#include "Input.h"
#include "PeFile.h"
#include "SingleInstance.h"
#include "TempDir.h"
#include "TestConstants.h"
#include "VimletProcess.h"
#include "vimlet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

namespace {

// Types into an application with the program running: every key parks the cursor on the
// program's parking window, and a mouse move a few pixels off brings it back to where it was,
// not on from the corner.
void ExpectTypingParksAndTheMouseRestores(const VimletProcess& vimlet, RECT place)
{
    static const HWND report = CreateReportWindow();
    Target app(report, place);
    EXPECT_EQ(TypingParks(app, vimlet.ParkingWindow()), true);
    const POINT inside = app.Inside();
    EXPECT_EQ(MoveMouseOver(app, {inside.x - 5, inside.y + 3}).cursor, inside);
}

std::array<BYTE, 7> Flags()
{
    std::array<BYTE, 7> flags{};
    for (size_t i = 0; i < flags.size(); ++i) flags[i] = vimlet_is_suppressor(kKeysInProgramOrder[i]);
    return flags;
}

class Program : public testing::Test {
protected:
    void SetUp() override { RemoveSettingsFiles(); }
    void TearDown() override { RemoveSettingsFiles(); }
};

TEST_F(Program, AHiddenMainFrameOwnsTheParkingWindowOneTopmostAlmostTransparentPixelInTheCorner)
{
    RemoveDirectoryW(SettingsDirectory().c_str());
    VimletProcess vimlet;
    const HWND parking = vimlet.ParkingWindow();
    const DWORD attributes = GetFileAttributesW(SettingsDirectory().c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) << "made";
    EXPECT_EQ(GetFileAttributesW((SettingsDirectory() + L"/vimlet.ini").c_str()), INVALID_FILE_ATTRIBUTES)
        << "starting writes no settings";
    EXPECT_EQ(Flags(), (std::array<BYTE, 7>{1, 1, 1, 0, 0, 0, 1})) << "defaults without vimlet.ini";

    RECT rect{};
    GetWindowRect(parking, &rect);
    EXPECT_EQ((POINT{rect.left, rect.top}), kParkingPixel);
    EXPECT_EQ((POINT{rect.right - rect.left, rect.bottom - rect.top}), (POINT{1, 1})) << "its size";

    EXPECT_TRUE(IsWindowVisible(parking));
    EXPECT_EQ(GetWindowLongW(parking, GWL_STYLE) & (WS_POPUP | WS_CAPTION | WS_THICKFRAME), WS_POPUP);
    constexpr DWORD kExStyle = WS_EX_TOOLWINDOW | WS_EX_LAYERED | WS_EX_NOACTIVATE | WS_EX_TOPMOST;
    EXPECT_EQ(GetWindowLongW(parking, GWL_EXSTYLE) & (kExStyle | WS_EX_CLIENTEDGE), kExStyle);
    BYTE alpha = 0;
    DWORD layeredFlags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(parking, nullptr, &alpha, &layeredFlags));
    EXPECT_EQ(std::tuple(alpha, layeredFlags), std::tuple(BYTE(1), DWORD(LWA_ALPHA)));

    const HWND frame = vimlet.MainFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_FALSE(IsWindowVisible(frame));
    wchar_t title[32] = L"";
    GetWindowTextW(frame, title, 32);
    EXPECT_STREQ(title, kProgramTitle);
    EXPECT_EQ(GetWindowLongW(frame, GWL_STYLE) & (WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    EXPECT_FALSE(GetWindowLongW(frame, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_EQ(GetClassLongPtrW(frame, GCW_ATOM), GetClassLongPtrW(parking, GCW_ATOM)) << "one class";
    EXPECT_EQ(GetClassLongPtrW(frame, GCLP_HCURSOR), 0);
}

// A copy of the program and its library in a folder whose path is longer than 240 characters.
struct DeepCopy {
    DeepCopy()
    {
        folder = temp.Path();
        while (folder.size() <= 240) {
            folder += L"\\" + std::wstring(std::min<std::size_t>(100, 241 - folder.size()), L'd');
            CreateDirectoryW(folder.c_str(), nullptr);
        }
        folder += L"\\";
        for (const wchar_t* file : {L"Vimlet.exe", L"vimlet.dll"})
            EXPECT_TRUE(CopyFileW(BesideThisProgram(file).c_str(), (folder + file).c_str(), FALSE));
    }

    TempDir temp;
    std::wstring folder;  // with its final backslash
};

// A second start, from another unpacked copy too, opens the first one's settings and ends: the
// hand-over goes by the session, not by the library file; typing then parks on the first one's
// parking window. This process keeps the library, and with it the shared hook handles, loaded
// across the restart; the start after it takes the suppressor flags from vimlet.ini.
TEST_F(Program, TypingParksTheCursorAndTheMouseBringsItBackASecondStartOpensTheSettingsAndARestartTakesTheIniFlags)
{
    {
        VimletProcess first;
        DeepCopy other;
        ChildProcess second(other.folder + L"Vimlet.exe", {});
        EXPECT_EQ(second.WaitForExit().value_or(STILL_ACTIVE), 0u);
        HWND dialog = nullptr;
        EXPECT_TRUE(WaitUntil([&] {
            for (HWND window : TopLevelWindows(first.ProcessId(), kProgramTitle))
                if (window != first.ParkingWindow() && IsWindowVisible(window)) dialog = window;
            return dialog && GetForegroundWindow() == dialog;
        })) << "the settings dialog, in front";
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        ExpectTypingParksAndTheMouseRestores(first, {200, 150, 600, 450});
    }
    WriteBytes(SettingsDirectory() + L"/vimlet.ini",
               "[Other]\r\nvk_lmenu=0\r\n[Vimlet]\r\nvk_lshift=0\r\nvk_rshift=5\r\nvk_rmenu=2\r\nvk_space=off\r\n");
    VimletProcess second;
    EXPECT_EQ(Flags(), (std::array<BYTE, 7>{0, 1, 1, 1, 0, 1, 0}));
    ExpectTypingParksAndTheMouseRestores(second, {100, 100, 500, 400});
}

// One request to the tray in Wine's own form of it (Wine 8's shell32): a fixed part of 960 bytes
// that starts with these fields, then the icon's mask and colour bits as GetBitmapBits gives
// them. Windows' form is its shell's own.
struct WineTrayData {
    LONG window;
    UINT id, flags, callbackMessage;
    WCHAR tip[128];
};
constexpr std::size_t kWineTrayDataSize = 960;

struct TrayRequest {
    DWORD message;  // NIM_ADD, NIM_MODIFY, NIM_DELETE
    std::string bytes;
};

// Wine's Shell_NotifyIcon, like the system's, hands the request to the first window of class
// Shell_TrayWnd. A hidden one of this test's, in front of the real one, keeps every request and
// answers it with the answer given until it is closed: failing, the tray of a shell that is not
// ready yet. On a thread of its own: the program sends to it while it starts.
class StandInTray {
public:
    explicit StandInTray(BOOL answer) : m_answer(answer), m_thread([this] { Run(); })
    {
        WaitUntil([this] { return m_window != nullptr; });
    }
    ~StandInTray()
    {
        Close();
        m_thread.join();
    }
    // Gone once this returns.
    void Close() { SendMessageW(m_window, WM_CLOSE, 0, 0); }
    std::vector<TrayRequest> Requests()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }

private:
    void Run()
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            if (message == WM_DESTROY) PostQuitMessage(0);
            if (message != WM_COPYDATA) return DefWindowProcW(window, message, wParam, lParam);
            auto* tray = reinterpret_cast<StandInTray*>(GetWindowLongPtrW(window, GWLP_USERDATA));
            const auto& copy = *reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            const std::lock_guard<std::mutex> lock(tray->m_mutex);
            tray->m_requests.push_back({DWORD(copy.dwData), {static_cast<const char*>(copy.lpData), copy.cbData}});
            return tray->m_answer;
        };
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"Shell_TrayWnd";
        RegisterClassW(&wc);
        const HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP, 0, 0,
                                            1, 1, nullptr, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        m_window = window;
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
        UnregisterClassW(wc.lpszClassName, wc.hInstance);
    }

    const BOOL m_answer;
    std::atomic<HWND> m_window = nullptr;
    std::mutex m_mutex;
    std::vector<TrayRequest> m_requests;
    std::thread m_thread;
};

// The colour bits of the program's icon 204 as the program loads it; Wine sends them last.
std::string TrayIconColourBits()
{
    const HMODULE program = LoadLibraryExW(BesideThisProgram(L"Vimlet.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ICONINFO info{};
    GetIconInfo(LoadIconW(program, MAKEINTRESOURCEW(204)), &info);
    BITMAP colour{};
    GetObjectW(info.hbmColor, sizeof colour, &colour);
    std::string bits(colour.bmWidthBytes * colour.bmHeight, '\0');
    GetBitmapBits(info.hbmColor, static_cast<LONG>(bits.size()), bits.data());
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    FreeLibrary(program);
    return bits;
}

// About the program's icon: NIM_MODIFY of nothing succeeds only for an icon the tray holds.
bool AskTheTray(DWORD message, HWND parking)
{
    NOTIFYICONDATAW icon = {};
    icon.cbSize = sizeof icon;
    icon.hWnd = parking;
    icon.uID = 1;
    return Shell_NotifyIconW(message, &icon);
}

// Each tick retries an icon the shell did not take; a restarted shell has no icons and says so
// to every top-level window. On Windows a dead icon stays in the tray until the pointer passes
// over it.
TEST_F(Program, TrayIconIsAddedOnceTheShellIsReadyAndAgainAfterItRestartsAndOnlyClosingTheMainFrameEndsItAndDeletesIt)
{
    StandInTray notReady(FALSE);
    VimletProcess vimlet;
    const HWND parking = vimlet.ParkingWindow();
    const std::vector<TrayRequest> requests = notReady.Requests();
    ASSERT_FALSE(requests.empty());
    if (WineVersion()) {
        const std::string& add = requests.front().bytes;
        WineTrayData data{};
        std::memcpy(&data, add.data(), std::min(add.size(), sizeof data));
        // The request, the window, the id, what it sets, the callback message.
        EXPECT_EQ(std::tuple(requests.front().message, data.window, data.id, data.flags, data.callbackMessage),
                  std::tuple(DWORD(NIM_ADD), HandleToLong(parking), 1u, UINT(NIF_MESSAGE | NIF_ICON | NIF_TIP), 0x8000u));
        EXPECT_STREQ(data.tip, L"Vimlet");
        const std::string icon = TrayIconColourBits();
        EXPECT_TRUE(!icon.empty() && add.size() >= kWineTrayDataSize + icon.size() &&
                    std::equal(icon.rbegin(), icon.rend(), add.rbegin())) << "not icon 204";
    }
    notReady.Close();
    SendMessageW(parking, WM_TIMER, 0, 0);
    EXPECT_TRUE(AskTheTray(NIM_MODIFY, parking)) << "retried at the tick";

    ASSERT_TRUE(AskTheTray(NIM_DELETE, parking));
    StandInTray restarted(TRUE);
    SendMessageW(parking, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    ASSERT_EQ(restarted.Requests().size(), 1u) << "added again";

    SendMessageW(parking, WM_CLOSE, 0, 0);
    PostMessageW(parking, WM_CLOSE, 0, 0);
    SendMessageW(parking, WM_NULL, 0, 0);  // both handled once this returns
    EXPECT_TRUE(IsWindowVisible(parking));
    EXPECT_EQ(vimlet.WaitForExit(0), STILL_ACTIVE);

    PostMessageW(vimlet.MainFrame(), WM_CLOSE, 0, 0);
    EXPECT_EQ(vimlet.WaitForExit(), 0u);
    EXPECT_FALSE(IsWindow(parking));
    const std::vector<TrayRequest> again = restarted.Requests();
    ASSERT_EQ(again.size(), 2u) << "added again, then deleted";
    EXPECT_TRUE(!WineVersion() || (again.front().message == NIM_ADD && again.back().message == NIM_DELETE));
}

TEST_F(Program, OvertakesVisibleWindowsAboveItButNotInvisibleOnesNorAFullScreenApplicationInFront)
{
    VimletProcess vimlet;
    const HWND parking = vimlet.ParkingWindow();
    const HWND hidden = CreateHiddenWindow({0, 0});
    SetWindowPos(hidden, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ASSERT_TRUE(IsAbove(hidden, parking));
    SendMessageW(parking, WM_TIMER, 0, 0);
    EXPECT_TRUE(IsAbove(hidden, parking)) << "an invisible window does not count" << ZOrder();

    // The one case on the real timer: a tick comes every second, here within several.
    const HWND shown = ShowParkingWindow({50, 50});  // a topmost one of this test's
    SetWindowPos(shown, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ASSERT_TRUE(IsAbove(shown, parking));
    EXPECT_TRUE(WaitUntil([&] { return IsAbove(parking, shown); }, 5000)) << "at a tick";
    EXPECT_TRUE(IsAbove(parking, hidden));

    // What a hook that has just parked the cursor relies on, and a change of display mode: no
    // waiting for the timer.
    SetWindowPos(shown, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SendMessageW(parking, WM_NULL, 0, 0);
    EXPECT_TRUE(IsAbove(parking, shown)) << ZOrder();
    SetWindowPos(parking, nullptr, 100, 100, 1, 1, SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(parking, WM_DISPLAYCHANGE, 32, MAKELPARAM(1920, 1080));
    RECT rect{};
    GetWindowRect(parking, &rect);
    EXPECT_EQ((POINT{rect.left, rect.top}), kParkingPixel);
    DestroyWindow(shown);
    DestroyWindow(hidden);

    // A game or a slide show: raised over it every second, a topmost window makes many games
    // leave full screen.
    const HWND game = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"full screen", WS_POPUP | WS_VISIBLE, 0, 0,
                                      GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr,
                                      nullptr, GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(game);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == game; }));
    ASSERT_TRUE(IsAbove(game, parking));
    SendMessageW(parking, WM_TIMER, 0, 0);
    EXPECT_TRUE(IsAbove(game, parking)) << "after a tick" << ZOrder();
    SetCursorPos(400, 300);
    SendKey('A');
    ASSERT_TRUE(WaitUntil([] { return CursorNow() == kParkingPixel; }));
    EXPECT_TRUE(IsAbove(game, parking)) << "after a key" << ZOrder();

    // No longer full screen, still topmost above it.
    SetWindowPos(game, nullptr, 50, 50, 10, 10, SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(parking, WM_TIMER, 0, 0);
    EXPECT_TRUE(IsAbove(parking, game)) << "at the next tick" << ZOrder();
    vimlet_show();
    DestroyWindow(game);
}

// Wine has no integrity levels, so what the message filter lets through cannot be seen here:
// only that the program calls the filter (what it lets in is decided in single_instance_test).
// Whoever writes the entry point, its first call must stay first: before it, a DLL loaded by
// bare name is looked for beside the program.
TEST(ProgramImage, OpensItsMessageFilterAndFirstOfAllLoadsSystemDllsFromTheSystemFolderOnly)
{
    const PeFile image(ReadBytes(BesideThisProgram(L"Vimlet.exe")));
    const auto functions = image.ImportedFunctions("USER32.dll");
    EXPECT_NE(std::find(functions.begin(), functions.end(), "ChangeWindowMessageFilterEx"), functions.end());

    const std::uint32_t slot = image.ImportSlot("SetDefaultDllDirectories");
    ASSERT_NE(slot, 0u);
    // Its first call: mov ecx, LOAD_LIBRARY_SEARCH_SYSTEM32, then call through the slot.
    const std::string code = image.BytesAt(image.EntryPoint(), 32);
    const std::size_t call = code.find("\xFF\x15");
    ASSERT_LE(call, 16u) << "no call through an import near the entry point";
    EXPECT_EQ(code.substr(call - 5, 5), std::string("\xB9\x00\x08\x00\x00", 5));
    std::int32_t displacement = 0;
    std::memcpy(&displacement, code.data() + call + 2, 4);
    EXPECT_EQ(image.EntryPoint() + call + 6 + displacement, slot);
}

// Its parking window, or the message box of a copy that ends at once.
HWND ShownPopupOf(DWORD processId)
{
    for (HWND window : TopLevelWindows(processId, L"Vimlet"))
        if ((GetWindowLongW(window, GWL_STYLE) & WS_POPUP) && IsWindowVisible(window)) return window;
    return nullptr;
}

// Starts program, which must refuse to run: the text of its message box, dismissed, after
// which it ends with exit code 0. Empty when no box came within the bound.
std::wstring RefusalOfAStart(const std::wstring& program, DWORD boundMs = kPatience)
{
    ChildProcess refused(program, {});
    HWND box = nullptr;
    if (!WaitUntil([&] { return (box = ShownPopupOf(refused.Id())) != nullptr; }, boundMs)) {
        refused.Terminate();
        return {};
    }
    wchar_t text[512] = L"";
    GetDlgItemTextW(box, 0xFFFF, text, 512);  // the message box's text
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(refused.WaitForExit().value_or(STILL_ACTIVE), 0u);
    return text;
}

// Another process with the hook library loaded, holding a name as a copy of the program would.
struct NameHolder : ChildProcess {
    explicit NameHolder(const std::string& name)
        : ChildProcess(BesideThisProgram(L"hook_probe.exe"), {BesideThisProgram(L"vimlet.dll")})
    {
        EXPECT_EQ(Ask("hold " + name), "held");
    }
};

// A holder that never shows one is waited for in vain, and the start says so.
TEST_F(Program, ASecondStartRunsInPlaceOfAFirstThatEndsWithoutEverShowingAParkingWindow)
{
    auto first = std::make_unique<NameHolder>("Local\\Vimlet");
    const std::wstring refusal = RefusalOfAStart(BesideThisProgram(L"Vimlet.exe"), single_instance::kHandOverBoundMs + kPatience);
    EXPECT_NE(refusal.find(L"応答がなかった"), std::wstring::npos) << testing::PrintToString(refusal);
    // That a start keeps looking while the name stays held is single_instance_test's to show.
    ChildProcess second(BesideThisProgram(L"Vimlet.exe"), {});
    first.reset();
    HWND parking = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (parking = ShownPopupOf(second.Id())) != nullptr; }));
    PostMessageW(GetWindow(parking, GW_OWNER), WM_CLOSE, 0, 0);
    EXPECT_EQ(second.WaitForExit(), 0u);
}

// The copy beside this test and a deep one, each named by its library file whatever the spelling
// of its path, in the bounds of an object's name. Before, the path itself named a copy: in a
// folder this deep the name was too long to be made, and the copy ran unguarded. A name that can
// be neither made nor opened (here: another kind of object holds it) tells nothing about another
// copy: that start is refused too, and says why.
TEST_F(Program, AStartIsRefusedWithoutTouchingTheSharedStateWhileAnotherSessionUsesTheCopyOrItsNameCannotBeMade)
{
    DeepCopy deep;
    const std::wstring library = deep.folder + L"vimlet.dll", name = single_instance::MachineWideName(library);
    wchar_t shortPath[MAX_PATH] = L"";
    ASSERT_NE(GetShortPathNameW(library.c_str(), shortPath, MAX_PATH), 0u);
    ASSERT_NE(library, shortPath);
    ASSERT_FALSE(name.empty());
    EXPECT_LT(name.size(), std::size_t(MAX_PATH));
    std::wstring slashes = library;
    std::replace(slashes.begin(), slashes.end(), L'\\', L'/');
    for (const std::wstring& spelling : {std::wstring(shortPath), L"\\\\?\\" + library, slashes})
        EXPECT_EQ(single_instance::MachineWideName(spelling), name) << testing::PrintToString(spelling);
    EXPECT_NE(single_instance::MachineWideName(BesideThisProgram(L"vimlet.dll")), name) << "another copy";
    EXPECT_EQ(single_instance::MachineWideName(deep.folder + L"none.dll"), L"");

    for (const std::wstring& folder : {BesideThisProgram(L""), deep.folder}) {
        const std::wstring held = single_instance::MachineWideName(folder + L"vimlet.dll");  // ASCII
        NameHolder otherSession(std::string(held.begin(), held.end()));
        const std::string state = otherSession.Ask("state");
        vimlet_set_suppressor(VK_RSHIFT, 1);  // a start would set it from the file's default
        EXPECT_NE(RefusalOfAStart(folder + L"Vimlet.exe").find(L"プロファイルに展開"), std::wstring::npos)
            << testing::PrintToString(folder);
        EXPECT_EQ(otherSession.Ask("state"), state);
        EXPECT_EQ(vimlet_is_suppressor(VK_RSHIFT), 1);
        vimlet_set_suppressor(VK_RSHIFT, 0);
    }

    const HANDLE squatter = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
    ASSERT_NE(squatter, nullptr);
    EXPECT_EQ(single_instance::ClaimName(name), single_instance::Claim::Unknown);
    EXPECT_NE(RefusalOfAStart(deep.folder + L"Vimlet.exe").find(L"確かめられなかった"), std::wstring::npos);
    CloseHandle(squatter);
}

} // namespace
