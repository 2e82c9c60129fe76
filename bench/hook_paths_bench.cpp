// What one event costs inside the hooks, measured in this process: the calls each path makes
// (through the seam, and the exclusion check's file calls at this program's import table)
// beside the least the path needs, summed from the parts listed with their reasons; the time
// per call of the frequent paths against a procedure that only passes the event on, on the
// real system call and with that call stubbed in the seam; and how the exclusion check and the
// hide path grow with the list.
#include "BenchReport.h"
#include "Input.h"
#include "TempDir.h"
#include "win32_system.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <type_traits>
#include <utility>
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
    VIMLET_COUNTED(CursorClip, "GetClipCursor")
    VIMLET_COUNTED(NotifyParkingWindow, "SendMessage")
    VIMLET_COUNTED(CallNextHook, "CallNextHookEx")
    VIMLET_COUNTED(ThreadKeyIsDown, "GetKeyState")
    VIMLET_COUNTED(WindowAt, "WindowFromPoint")
    VIMLET_COUNTED(InWindowPixels, "PhysicalToLogicalPointForPerMonitorDPI")
    VIMLET_COUNTED(Post, "PostMessage")
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

// The exclusion check reaches the system's and the C runtime's file functions through this
// program's import table: those slots are pointed at counting stand-ins.
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
bool Redirect(const char* dll, const char* function, Function replacement, Function* original)
{
    void** slot = ImportSlot(dll, function);
    if (!slot) return false;
    DWORD protection;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
    *original = reinterpret_cast<Function>(*slot);
    *slot = reinterpret_cast<void*>(replacement);
    VirtualProtect(slot, sizeof *slot, protection, &protection);
    return true;
}

BOOL(WINAPI* g_attributes)(const wchar_t*, GET_FILEEX_INFO_LEVELS, void*);
BOOL(WINAPI* g_errorMode)(DWORD, DWORD*);
DWORD(WINAPI* g_environment)(const wchar_t*, wchar_t*, DWORD);
FARPROC(WINAPI* g_procedure)(HMODULE, const char*);
vimlet::NtCreateFileFunction g_create;

BOOL WINAPI CountedAttributes(const wchar_t* path, GET_FILEEX_INFO_LEVELS level, void* data)
{
    g_calls.push_back("GetFileAttributesExW");
    return g_attributes(path, level, data);
}

BOOL WINAPI CountedErrorMode(DWORD mode, DWORD* previous)
{
    g_calls.push_back("SetThreadErrorMode");
    return g_errorMode(mode, previous);
}

DWORD WINAPI CountedEnvironment(const wchar_t* name, wchar_t* value, DWORD capacity)
{
    g_calls.push_back("GetEnvironmentVariableW");
    return g_environment(name, value, capacity);
}

LONG WINAPI CountedCreate(HANDLE* file, ACCESS_MASK access, vimlet::NtObject* object, vimlet::NtIoStatus* io,
                          LARGE_INTEGER* size, ULONG attributes, ULONG share, ULONG disposition, ULONG options,
                          void* extended, ULONG extendedLength)
{
    g_calls.push_back("NtCreateFile");
    return g_create(file, access, object, io, size, attributes, share, disposition, options, extended,
                    extendedLength);
}

// The list is opened with ntdll's NtCreateFile, looked up at each opening.
FARPROC WINAPI CountedProcedure(HMODULE module, const char* name)
{
    const FARPROC found = g_procedure(module, name);
    if (std::strcmp(name, "NtCreateFile") != 0) return found;
    g_create = reinterpret_cast<vimlet::NtCreateFileFunction>(reinterpret_cast<void*>(found));
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(CountedCreate));
}

constexpr LPARAM kKeyDown = 0x00250001;
constexpr LPARAM kKeyUp = LPARAM(0xC0250001);
constexpr WORD kKey = 'K';

// A list of the given length that does not name this program, so a read goes to its end.
void WriteList(const std::wstring& path, int lines)
{
    std::string bytes;
    for (int i = 0; i < lines; ++i) bytes += Format("C:\\Program Files\\Application %d\\application.exe\r\n", i);
    WriteBytes(path, bytes);
}

void SetFlags(std::initializer_list<UINT> keys)
{
    for (BYTE& flag : vimlet::g_state.suppressor) flag = 0;
    for (UINT key : keys) vimlet::g_state.suppressor[vimlet::SuppressorIndex(key)] = 1;
}

// What a path cannot do without, part by part: its least is the sum of its parts.
struct Part {
    const char* name;
    std::size_t calls;
    const char* why;
};
const Part kPassOn{"pass the event on", 1, "CallNextHookEx: the other hooks and the application must get the event"};
const Part kKeyState{"suppressor key state", 1,
                     "GetAsyncKeyState, once for each suppressor flag that is set, up to the first one held: a "
                     "clear flag needs no query, and the first held key decides"};
const Part kThread{"thread id", 1,
                   "GetCurrentThreadId: a key that reaches the installing thread may be a 32-bit application's, "
                   "and then that application's foreground thread decides"};
const Part kCapture{"capture check", 1, "GetCapture: a hide gives up while the thread has captured the mouse"};
const Part kListStatus{"list status", 3,
                       "GetFileAttributesExW of the list file: its last-write time and size alone tell whether "
                       "to read it again; SetThreadErrorMode there and back (no system call) keeps a drive "
                       "without its medium from asking the user in a box"};
const Part kPhysical{"physical pixels", 2,
                     "SetThreadDpiAwarenessContext there and back: the points are shared by applications of any "
                     "DPI awareness, and the application has its own context back before it runs again"};
const Part kSave{"save the cursor", 1, "GetCursorPos: the point to put back"};
const Part kCorner{"parking corner", 1, "GetWindowRect of the parking window: where it is now"};
const Part kMove{"move the cursor", 1, "SetCursorPos"};
const Part kConfinement{"confinement", 1,
                        "GetClipCursor: a cursor confined away from the parking point cannot get there"};
const Part kLanded{"where it landed", 1,
                   "GetCursorPos after the move: a move across the space between monitors of different sizes "
                   "can stop short, and is made once more"};
const Part kNotify{"tell the parking window", 1,
                   "SendMessageTimeout with WM_NULL: the window puts itself back on top before the hide ends"};
const Part kJumpKeys{"Ctrl and Alt", 2, "GetAsyncKeyState of Ctrl and of Alt: a keypad digit jumps only with both"};
const Part* const kParts[] = {&kPassOn, &kKeyState,    &kThread, &kCapture, &kListStatus, &kPhysical, &kSave,
                              &kCorner, &kConfinement, &kMove,   &kLanded,  &kNotify,     &kJumpKeys};

// A path's parts, each with how many times it is needed.
using Least = std::vector<std::pair<const Part*, std::size_t>>;
const Least kHideParts = {{&kThread, 1}, {&kCapture, 1}, {&kListStatus, 1}, {&kPhysical, 1}, {&kSave, 1},
                          {&kCorner, 1}, {&kConfinement, 1}, {&kMove, 1}, {&kNotify, 1}, {&kPassOn, 1}};

Least Plus(Least least, const Part* part, std::size_t times)
{
    least.insert(least.begin(), {part, times});
    return least;
}

std::size_t Calls(const Least& least)
{
    std::size_t calls = 0;
    for (const auto& [part, times] : least) calls += part->calls * times;
    return calls;
}

std::string Sum(const Least& least)
{
    std::string text;
    for (const auto& [part, times] : least)
        text += (text.empty() ? "" : " + ") + (times > 1 ? std::to_string(times) + " × " : "") + part->name;
    return text;
}

void PrintParts()
{
    for (const Part* part : kParts)
        PrintRow(1, Format("least, part: %s", part->name), std::to_string(part->calls), part->why);
}

// Item 1: the calls of one event on each path.
class CallCounts {
public:
    static void Run()
    {
        const Least passOn = {{&kPassOn, 1}};
        PrintParts();
        Show();
        Row("mouse message while visible", passOn, [] { Mouse({400, 300}); });
        Hide();
        Row("mouse message while parked, at the hide point", passOn, [] { Mouse(vimlet::g_state.hidePosition); });
        Hide();
        Row("mouse message while parked, elsewhere (restores)", {{&kPhysical, 1}, {&kMove, 1}, {&kLanded, 1}, {&kPassOn, 1}},
            [] { Mouse({400, 300}); });
        Show();
        Row("key-up", passOn, [] { CountedHooks::OnKeyboard(HC_ACTION, kKey, kKeyUp); });
        Hide();
        Row("key-down while parked", passOn, [] { CountedHooks::OnKeyboard(HC_ACTION, kKey, kKeyDown); });
        SetFlags({VK_LSHIFT, VK_LCONTROL, VK_LMENU, VK_RSHIFT, VK_RCONTROL, VK_RMENU, VK_SPACE});
        for (int position = 0; position < vimlet::kSuppressorCount; ++position) {
            Show();
            CountingSystem::g_pretendDown = {int(vimlet::kSuppressorKeys[position].virtualKey)};
            Row(Format("key-down vetoed by suppressor %d of 7 held", position + 1),
                Plus(passOn, &kKeyState, position + 1), [] { CountedHooks::OnKeyboard(HC_ACTION, kKey, kKeyDown); });
        }
        CountingSystem::g_pretendDown = {};
        SetFlags({});
        Show();
        Row("key-down that hides, no suppressor flags", kHideParts,
            [] { CountedHooks::OnKeyboard(HC_ACTION, kKey, kKeyDown); });
        SetFlags({VK_LSHIFT, VK_LCONTROL, VK_LMENU, VK_SPACE});
        Show();
        Row("key-down that hides, default flags (4 set, none held)", Plus(kHideParts, &kKeyState, 4),
            [] { CountedHooks::OnKeyboard(HC_ACTION, kKey, kKeyDown); });
        Show();
        CountingSystem::g_pretendDown = {VK_CONTROL, VK_MENU};
        Row("jump key (Ctrl+Alt+keypad 5)", {{&kJumpKeys, 1}, {&kPhysical, 1}, {&kCorner, 1}, {&kMove, 1}},
            [] { CountedHooks::OnKeyboard(HC_ACTION, VK_NUMPAD5, kKeyDown); });
        CountingSystem::g_pretendDown = {};
        Row("exclusion check, unchanged file", {{&kListStatus, 1}}, [] { CountingSystem::ExclusionAllowsHiding(); });
        ChangedListRow();
        Show();
    }

    // A saved list: its path judged again, then opened and read (the reading's own calls on the
    // handle are not counted). Shown, not judged against a least.
    static void ChangedListRow()
    {
        SetLastWriteTime(vimlet::g_state.excludeListPath, 13300000000 * kTicksPerSecond);
        g_calls.clear();
        CountingSystem::ExclusionAllowsHiding();
        const std::string names = CallNames();
        PrintRow(1, "system calls: exclusion check, changed file", std::to_string(g_calls.size()), names);
    }

private:
    static std::string CallNames()
    {
        std::string names;
        for (const std::string& call : g_calls) names += (names.empty() ? "" : ", ") + call;
        return names;
    }

    static void Mouse(POINT pt)
    {
        MOUSEHOOKSTRUCT info{};
        info.pt = pt;
        CountedHooks::OnMouse(HC_ACTION, WM_MOUSEMOVE, reinterpret_cast<LPARAM>(&info));
    }
    static void Hide() { Hooks::Hide(); }
    static void Show() { Hooks::Show(); }

    template <class Event>
    static void Row(const std::string& path, const Least& least, Event event)
    {
        g_calls.clear();
        event();
        const std::string names = CallNames();
        const bool opened = names.find("NtCreateFile") != std::string::npos;
        const std::string limit = std::to_string(Calls(least));
        PrintRow(1, "system calls: " + path, std::to_string(g_calls.size()), names, "least " + limit + " = " + Sum(least),
                 Verdict(g_calls.size() <= Calls(least) && !opened, "≤ " + limit + ", no open"));
    }
};

// Item 2: the hook procedures on their frequent paths against one that only passes the event
// on, called alternately through pointers the compiler cannot see through: once on the real
// CallNextHookEx, and once with it stubbed in the seam, so that the decision's own cost shows.
struct StubbedSystem : vimlet::Win32System {
    __attribute__((noinline)) static LRESULT CallNextHook(HHOOK, int code, WPARAM, LPARAM)
    {
        asm volatile("");
        return code;
    }
};
using StubbedHooks = vimlet::HookLogic<StubbedSystem>;

template <class System>
LRESULT CALLBACK PassThrough(int code, WPARAM wParam, LPARAM lParam)
{
    return System::CallNextHook(nullptr, code, wParam, lParam);
}
template <class System>
LRESULT CALLBACK KeyboardProc(int code, WPARAM wParam, LPARAM lParam)
{
    return vimlet::HookLogic<System>::OnKeyboard(code, wParam, lParam);
}
template <class System>
LRESULT CALLBACK MouseProc(int code, WPARAM wParam, LPARAM lParam)
{
    return vimlet::HookLogic<System>::OnMouse(code, wParam, lParam);
}

double NanosecondsPerCall(HOOKPROC procedure, WPARAM wParam, LPARAM lParam, int calls)
{
    HOOKPROC volatile call = procedure;
    const double start = Microseconds();
    for (int i = 0; i < calls; ++i) call(HC_ACTION, wParam, lParam);
    return (Microseconds() - start) * 1000 / calls;
}

template <class System>
void CompareWithPassThrough(const char* path, HOOKPROC procedure, WPARAM wParam, LPARAM lParam, int runs, int calls)
{
    constexpr bool stubbed = std::is_same_v<System, StubbedSystem>;
    std::vector<double> own, plain, ratio, added;
    for (int run = 0; run < runs; ++run) {
        const double a = NanosecondsPerCall(procedure, wParam, lParam, calls);
        const double b = NanosecondsPerCall(PassThrough<System>, wParam, lParam, calls);
        own.push_back(a);
        plain.push_back(b);
        ratio.push_back(a / b);
        added.push_back(a - b);
    }
    const Summary r = Summarize(ratio), d = Summarize(added);
    const std::string comparison =
        Format("pass-through %s; ratio %.3f (%.3f–%.3f); the decision adds %.1f ns (%.1f–%.1f)",
               Figure(Summarize(plain), "ns").c_str(), r.median, r.low, r.high, d.median, d.low, d.high);
    PrintRow(2, Format("cost per call%s: %s", stubbed ? ", CallNextHookEx stubbed" : "", path),
             Figure(Summarize(own), "ns"), Spread(Summarize(own)), comparison,
             stubbed ? "" : Verdict(r.median <= 1.10, "≤ 1.10"));
}

template <class System>
void MeasureFrequentPaths(int runs, int calls)
{
    SetFlags({VK_LSHIFT, VK_LCONTROL, VK_LMENU, VK_SPACE});
    Hooks::Show();
    MOUSEHOOKSTRUCT info{};
    info.pt = {400, 300};
    CompareWithPassThrough<System>("mouse while visible", MouseProc<System>, WM_MOUSEMOVE,
                                   reinterpret_cast<LPARAM>(&info), runs, calls);
    CompareWithPassThrough<System>("key-up", KeyboardProc<System>, kKey, kKeyUp, runs, calls);
    Hooks::Hide();
    CompareWithPassThrough<System>("key-down while parked", KeyboardProc<System>, kKey, kKeyDown, runs, calls);
    Hooks::Show();
}

// Item 5: the exclusion check at three list lengths, first read after a change and steady
// state; and the whole hide path in steady state, which must not depend on the length.
void MeasureListGrowth(const std::wstring& list, int runs)
{
    const std::vector<double> lengths = {10, 1000, 100000};
    std::vector<double> firstRead[3], steady[3], hide[3];
    LONGLONG clock = 1700000000;
    for (int run = 0; run < runs; ++run) {
        for (int i = 0; i < 3; ++i) {
            WriteList(list, int(lengths[i]));
            SetLastWriteTime(list, ++clock * kTicksPerSecond);
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
    const struct {
        const char* measure;
        std::vector<double>* runs;
        const char* target;
    } measures[] = {{"exclusion check, first read after a change", firstRead, "linear in lines"},
                    {"exclusion check, steady state", steady, "independent of length: slope near 0"},
                    {"hide path in this process, steady state", hide, "independent of length: slope near 0"}};
    for (const auto& m : measures) {
        std::vector<double> medians;
        for (int i = 0; i < 3; ++i) {
            const Summary s = Summarize(m.runs[i]);
            medians.push_back(s.median);
            PrintRow(5, Format("%s, %.0f lines", m.measure, lengths[i]), Figure(s, "µs", 2), Spread(s, 2));
        }
        PrintGrowth(5, m.measure, lengths, medians, "µs", "line", m.target);
    }
}
} // namespace

int main(int argc, char** argv)
{
    const bool quick = QuickMode(argc, argv);
    const TempAppData appData;
    const std::wstring list = appData.ListPath();
    wcsncpy(vimlet::g_state.excludeListPath, list.c_str(), vimlet::kPathCapacity - 1);
    GetModuleFileNameA(nullptr, vimlet::g_exclusion.hostPath, vimlet::kPathCapacity);
    vimlet::g_state.parkingWindow =
        ShowParkingWindow({GetSystemMetrics(SM_CXSCREEN) - 2, GetSystemMetrics(SM_CYSCREEN) - 2});
    SetCursorPos(400, 300);
    if (!Redirect("kernel32.dll", "GetFileAttributesExW", CountedAttributes, &g_attributes) ||
        !Redirect("kernel32.dll", "SetThreadErrorMode", CountedErrorMode, &g_errorMode) ||
        !Redirect("kernel32.dll", "GetEnvironmentVariableW", CountedEnvironment, &g_environment) ||
        !Redirect("kernel32.dll", "GetProcAddress", CountedProcedure, &g_procedure)) {
        std::printf("the file functions are not imported by name\n");
        return 1;
    }

    WriteList(list, 10);
    vimlet::g_exclusion.AllowsHiding(list.c_str());  // read once, as after start-up
    CallCounts::Run();
    MeasureFrequentPaths<vimlet::Win32System>(quick ? 3 : 11, quick ? 5000 : 20000);
    MeasureFrequentPaths<StubbedSystem>(quick ? 3 : 11, quick ? 100000 : 2000000);
    MeasureListGrowth(list, quick ? 1 : 7);
    return 0;
}
