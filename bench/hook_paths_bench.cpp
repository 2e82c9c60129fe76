// What one event costs inside the hooks, measured in this process on the real system calls:
// the calls each path makes (through the seam, and the exclusion check's file calls at this
// program's import table) beside the least the algorithm needs; the time per call of the
// frequent paths against a procedure that only passes the event on; and how the exclusion
// check and the hide path behave as the list grows.
#include "BenchReport.h"
#include "TempDir.h"
#include "win32_system.h"

#include <sys/stat.h>

#include <cstdio>
#include <algorithm>
#include <string>
#include <vector>

namespace vimlet {
namespace {
SharedHookState g_state;
ExclusionCache g_exclusion;
ExclusionCache g_foregroundExclusion;
} // namespace
SharedHookState& Win32System::State() { return g_state; }
ExclusionCache& Win32System::HostExclusion() { return g_exclusion; }
ExclusionCache& Win32System::ForegroundExclusion() { return g_foregroundExclusion; }
} // namespace vimlet

namespace {

using vimlet::Hooks;

std::vector<std::string> g_calls;

// The real seam, each call recorded on its way through. A function the seam gains is one more
// line here.
struct CountingSystem : vimlet::Win32System {
#define VIMLET_COUNTED(seam, api)                   \
    template <class... Args>                        \
    static auto seam(Args... args)                  \
    {                                               \
        g_calls.push_back(api);                     \
        return vimlet::Win32System::seam(args...);  \
    }
    VIMLET_COUNTED(CurrentThreadId, "GetCurrentThreadId")
    VIMLET_COUNTED(ThreadHasCapture, "GetCapture")
    VIMLET_COUNTED(UsePhysicalPixels, "SetThreadDpiAwarenessContext")
    VIMLET_COUNTED(RestoreDpi, "SetThreadDpiAwarenessContext")
    VIMLET_COUNTED(CursorPosition, "GetCursorPos")
    VIMLET_COUNTED(MoveCursor, "SetCursorPos")
    VIMLET_COUNTED(WindowTopLeft, "GetWindowRect")
    VIMLET_COUNTED(NotifyParkingWindow, "SendMessage")
    VIMLET_COUNTED(CallNextHook, "CallNextHookEx")
#undef VIMLET_COUNTED
    // No key is really held here: the real state is asked and counted, then the keys the row
    // pretends to hold are added.
    static bool KeyIsDown(int virtualKey)
    {
        g_calls.push_back("GetAsyncKeyState");
        const bool down = vimlet::Win32System::KeyIsDown(virtualKey);
        return down || std::find(g_pretendDown.begin(), g_pretendDown.end(), virtualKey) != g_pretendDown.end();
    }
    static inline std::vector<int> g_pretendDown;
};

using CountedHooks = vimlet::HookLogic<CountingSystem>;

// The exclusion check reaches the C runtime's file functions through this program's import
// table: those slots are pointed at counting stand-ins.
void** ImportSlot(const char* dll, const char* function)
{
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name; ++entry) {
        if (_stricmp(reinterpret_cast<char*>(base + entry->Name), dll) != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

template <class Function>
bool Redirect(const char* function, Function replacement, Function* original)
{
    void** slot = ImportSlot("msvcrt.dll", function);
    if (!slot) return false;
    DWORD protection;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
    *original = reinterpret_cast<Function>(*slot);
    *slot = reinterpret_cast<void*>(replacement);
    VirtualProtect(slot, sizeof *slot, protection, &protection);
    return true;
}

int(__cdecl* g_stat)(const wchar_t*, struct _stat64*);
FILE*(__cdecl* g_open)(const wchar_t*, const wchar_t*);

int __cdecl CountedStat(const wchar_t* path, struct _stat64* status)
{
    g_calls.push_back("_wstat64");
    return g_stat(path, status);
}

FILE* __cdecl CountedOpen(const wchar_t* path, const wchar_t* mode)
{
    g_calls.push_back("_wfopen");
    return g_open(path, mode);
}

constexpr LPARAM kKeyDown = 0x00250001;
constexpr LPARAM kKeyUp = LPARAM(0xC0250001);
constexpr WORD kKey = 'K';

HWND CreateParkingWindow()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.lpszClassName = L"VimletBenchParking";
    RegisterClassW(&windowClass);
    return CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, windowClass.lpszClassName, L"",
                           WS_POPUP | WS_VISIBLE, GetSystemMetrics(SM_CXSCREEN) - 2,
                           GetSystemMetrics(SM_CYSCREEN) - 2, 1, 1, nullptr, nullptr, nullptr, nullptr);
}

// A list of the given length that does not name this program, so a read goes to its end.
void WriteList(const std::wstring& path, int lines)
{
    std::string bytes;
    for (int i = 0; i < lines; ++i) bytes += Format("C:\\Program Files\\Application %d\\application.exe\r\n", i);
    WriteBytes(path, bytes);
}

void SetModificationTime(const std::wstring& path, LONGLONG seconds)
{
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const ULONGLONG ticks = (seconds + 11644473600LL) * 10000000ULL;
    FILETIME time{DWORD(ticks), DWORD(ticks >> 32)};
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
}

void SetFlags(std::initializer_list<UINT> keys)
{
    for (BYTE& flag : vimlet::g_state.suppressor) flag = 0;
    for (UINT key : keys) vimlet::g_state.suppressor[vimlet::SuppressorIndex(key)] = 1;
}

// Item 1: the calls of one event on each path.
class CallCounts {
public:
    static void Run()
    {
        Show();
        Row("mouse message while visible", 1, [] { Mouse({400, 300}); });
        Hide();
        Row("mouse message while parked, at the hide point", 1, [] { Mouse(vimlet::g_state.hidePosition); });
        Hide();
        Row("mouse message while parked, elsewhere (restores)", 4, [] { Mouse({400, 300}); });
        Show();
        Row("key-up", 1, [] { CountedHooks::OnKeyboard(HC_ACTION, kKey, kKeyUp); });
        Hide();
        Row("key-down while parked", 1, [] { CountedHooks::OnKeyboard(HC_ACTION, kKey, kKeyDown); });
        SetFlags({VK_LSHIFT, VK_LCONTROL, VK_LMENU, VK_RSHIFT, VK_RCONTROL, VK_RMENU, VK_SPACE});
        for (int position = 0; position < vimlet::kSuppressorCount; ++position) {
            Show();
            CountingSystem::g_pretendDown = {int(vimlet::kSuppressorKeys[position])};
            Row(Format("key-down vetoed by suppressor %d of 7 held", position + 1), position + 2,
                [] { CountedHooks::OnKeyboard(HC_ACTION, kKey, kKeyDown); });
        }
        CountingSystem::g_pretendDown = {};
        SetFlags({});
        Show();
        Row("key-down that hides, no suppressor flags", 10, [] { CountedHooks::OnKeyboard(HC_ACTION, kKey, kKeyDown); });
        SetFlags({VK_LSHIFT, VK_LCONTROL, VK_LMENU, VK_SPACE});
        Show();
        Row("key-down that hides, default flags (4 set, none held)", 14,
            [] { CountedHooks::OnKeyboard(HC_ACTION, kKey, kKeyDown); });
        Show();
        CountingSystem::g_pretendDown = {VK_CONTROL, VK_MENU};
        Row("jump key (Ctrl+Alt+keypad 5)", 6, [] { CountedHooks::OnKeyboard(HC_ACTION, VK_NUMPAD5, kKeyDown); });
        CountingSystem::g_pretendDown = {};
        Row("exclusion check, unchanged file", 1, [] { CountingSystem::ExclusionAllowsHiding(); });
        Show();
    }

private:
    static void Mouse(POINT pt)
    {
        MOUSEHOOKSTRUCT info{};
        info.pt = pt;
        CountedHooks::OnMouse(HC_ACTION, WM_MOUSEMOVE, reinterpret_cast<LPARAM>(&info));
    }
    static void Hide() { Hooks::Hide(); }
    static void Show() { Hooks::Show(); }

    template <class Event>
    static void Row(const std::string& path, std::size_t least, Event event)
    {
        g_calls.clear();
        event();
        std::string names;
        for (const std::string& call : g_calls) names += (names.empty() ? "" : ", ") + call;
        const bool opened = names.find("_wfopen") != std::string::npos;
        PrintRow(1, "system calls: " + path, std::to_string(g_calls.size()), names, "least " + std::to_string(least),
                 Verdict(g_calls.size() <= least && !opened, "≤ " + std::to_string(least) + ", no open"));
    }
};

// Item 2: the hook procedures on their frequent paths against one that only passes the event
// on, called alternately through pointers the compiler cannot see through.
LRESULT CALLBACK PassThrough(int code, WPARAM wParam, LPARAM lParam)
{
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
LRESULT CALLBACK KeyboardProc(int code, WPARAM wParam, LPARAM lParam) { return Hooks::OnKeyboard(code, wParam, lParam); }
LRESULT CALLBACK MouseProc(int code, WPARAM wParam, LPARAM lParam) { return Hooks::OnMouse(code, wParam, lParam); }

double NanosecondsPerCall(HOOKPROC procedure, WPARAM wParam, LPARAM lParam, int calls)
{
    HOOKPROC volatile call = procedure;
    const double start = Microseconds();
    for (int i = 0; i < calls; ++i) call(HC_ACTION, wParam, lParam);
    return (Microseconds() - start) * 1000 / calls;
}

void CompareWithPassThrough(const char* path, HOOKPROC procedure, WPARAM wParam, LPARAM lParam, int runs, int calls)
{
    std::vector<double> own, plain, ratio;
    for (int run = 0; run < runs; ++run) {
        const double a = NanosecondsPerCall(procedure, wParam, lParam, calls);
        const double b = NanosecondsPerCall(PassThrough, wParam, lParam, calls);
        own.push_back(a);
        plain.push_back(b);
        ratio.push_back(a / b);
    }
    const Summary r = Summarize(ratio);
    PrintRow(2, Format("cost per call: %s", path), Figure(Summarize(own), "ns"), Spread(Summarize(own)),
             Format("pass-through %s; ratio %.3f (%.3f–%.3f)", Figure(Summarize(plain), "ns").c_str(), r.median, r.low,
                    r.high),
             Verdict(r.median <= 1.10, "≤ 1.10"));
}

void MeasureFrequentPaths(int runs, int calls)
{
    SetFlags({VK_LSHIFT, VK_LCONTROL, VK_LMENU, VK_SPACE});
    Hooks::Show();
    MOUSEHOOKSTRUCT info{};
    info.pt = {400, 300};
    CompareWithPassThrough("mouse while visible", MouseProc, WM_MOUSEMOVE, reinterpret_cast<LPARAM>(&info), runs, calls);
    CompareWithPassThrough("key-up", KeyboardProc, kKey, kKeyUp, runs, calls);
    Hooks::Hide();
    CompareWithPassThrough("key-down while parked", KeyboardProc, kKey, kKeyDown, runs, calls);
    Hooks::Show();
}

// Item 5: the exclusion check at three list lengths, first read after a change and steady
// state; and the whole hide path in steady state, which must not depend on the length.
void MeasureListGrowth(const std::wstring& list, int runs)
{
    const int lengths[] = {10, 1000, 100000};
    std::vector<double> firstRead[3], steady[3], hide[3];
    LONGLONG clock = 1700000000;
    for (int run = 0; run < runs; ++run) {
        for (int i = 0; i < 3; ++i) {
            WriteList(list, lengths[i]);
            SetModificationTime(list, ++clock);
            double start = Microseconds();
            vimlet::g_exclusion.AllowsHiding(list.c_str());
            firstRead[i].push_back(Microseconds() - start);

            constexpr int kChecks = 500;
            start = Microseconds();
            for (int k = 0; k < kChecks; ++k) vimlet::g_exclusion.AllowsHiding(list.c_str());
            steady[i].push_back((Microseconds() - start) / kChecks);

            constexpr int kHides = 100;
            double hidden = 0;
            for (int k = 0; k < kHides; ++k) {
                start = Microseconds();
                Hooks::Hide();
                hidden += Microseconds() - start;
                Hooks::Show();
            }
            hide[i].push_back(hidden / kHides);
        }
    }
    for (int i = 0; i < 3; ++i) {
        const Summary first = Summarize(firstRead[i]);
        PrintRow(5, Format("exclusion check, first read after a change, %d lines", lengths[i]), Figure(first, "µs"),
                 Spread(first), Format("%.3f µs per line", first.median / lengths[i]), "linear in lines");
    }
    for (int i = 0; i < 3; ++i) {
        const Summary s = Summarize(steady[i]), base = Summarize(steady[0]);
        PrintRow(5, Format("exclusion check, steady state, %d lines", lengths[i]), Figure(s, "µs", 2), Spread(s, 2),
                 Format("ratio to 10 lines %.2f", s.median / base.median), "independent of length");
    }
    for (int i = 0; i < 3; ++i) {
        const Summary s = Summarize(hide[i]), base = Summarize(hide[0]);
        PrintRow(5, Format("hide path in this process, steady state, %d lines", lengths[i]), Figure(s, "µs"),
                 Spread(s), Format("ratio to 10 lines %.2f", s.median / base.median), "independent of length");
    }
}

} // namespace

int main(int argc, char** argv)
{
    const bool quick = QuickMode(argc, argv);
    TempDir dir;
    const std::wstring list = dir.File(L"excludeapp.txt");
    wcsncpy(vimlet::g_state.excludeListPath, list.c_str(), vimlet::kPathCapacity - 1);
    GetModuleFileNameA(nullptr, vimlet::g_exclusion.hostPath, vimlet::kPathCapacity);
    vimlet::g_state.parkingWindow = CreateParkingWindow();
    SetCursorPos(400, 300);
    if (!Redirect("_wstat64", CountedStat, &g_stat) || !Redirect("_wfopen", CountedOpen, &g_open)) {
        std::printf("the C runtime's file functions are not imported by name\n");
        return 1;
    }

    WriteList(list, 10);
    vimlet::g_exclusion.AllowsHiding(list.c_str());  // read once, as after start-up
    CallCounts::Run();
    MeasureFrequentPaths(quick ? 3 : 11, quick ? 5000 : 20000);
    MeasureListGrowth(list, quick ? 1 : 7);
    return 0;
}
