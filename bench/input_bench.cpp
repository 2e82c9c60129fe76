// End-to-end input under Wine, three setups in the same run: no cursor hiding; the floor
// (floor_host.exe, the least a parking hook can do); and Vimlet.exe. The application is a
// window of this process.
// - Hide: from SendInput of a key-down until the window has the key. The hooks park the cursor
//   before the application sees the key, so this is Wine's input path plus the parking.
// - Restore: from SendInput of a mouse move until the window has the move; the hook has put the
//   cursor back before the window sees the message.
// - Throughput: 2,000 keystrokes as fast as SendInput takes them; every key once and in order.
// - The parking window's answer: WM_NULL sent as the hooks send it, from the application's
//   thread, to the floor's window and to Vimlet's, in the same rounds.
// A round runs the setups in one order, the next round in the reverse. A lost sample counts in
// the medians as slower than any other.
// Usage: input_bench [--quick] [--samples FILE] (each latency sample as "setup event µs").
#include "BenchReport.h"
#include "ChildProcess.h"
#include "VimletProcess.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr POINT kStart{400, 300};
constexpr POINT kAway[2] = {{430, 330}, {370, 270}};
constexpr WORD kKey = 'K';
int g_throughputKeys = 2000;  // fewer in the quick mode
constexpr char kKeyCycle[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

// What the window saw: a time and cursor for the latest key-down and mouse move, every key.
struct Seen {
    int keyDowns = 0;
    int keyUps = 0;
    int moves = 0;
    double keyDownAt = 0;
    double moveAt = 0;
    POINT cursorAtMove{};
    double lastKeyUpAt = 0;
    std::vector<WORD> keys;
} g_seen;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEYDOWN:
        g_seen.keyDownAt = Microseconds();
        ++g_seen.keyDowns;
        g_seen.keys.push_back(static_cast<WORD>(wParam));
        return 0;
    case WM_KEYUP:
        g_seen.lastKeyUpAt = Microseconds();
        ++g_seen.keyUps;
        return 0;
    case WM_MOUSEMOVE:
        g_seen.moveAt = Microseconds();
        GetCursorPos(&g_seen.cursorAtMove);
        ++g_seen.moves;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateApplicationWindow()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.lpszClassName = L"VimletInputBench";
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    RegisterClassW(&windowClass);
    return CreateWindowW(windowClass.lpszClassName, L"input bench", WS_POPUP | WS_VISIBLE, 100, 100, 600, 400,
                         nullptr, nullptr, nullptr, nullptr);
}

INPUT KeyInput(WORD key, DWORD flags)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = flags;
    return input;
}

void SendKey(WORD key, DWORD flags)
{
    INPUT input = KeyInput(key, flags);
    SendInput(1, &input, sizeof input);
}

void MoveMouse(POINT point)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(point.x, 65536, GetSystemMetrics(SM_CXSCREEN));
    input.mi.dy = MulDiv(point.y, 65536, GetSystemMetrics(SM_CYSCREEN));
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

bool operator==(POINT a, POINT b) { return a.x == b.x && a.y == b.y; }

POINT CursorNow()
{
    POINT p{};
    GetCursorPos(&p);
    return p;
}

// Lets what is left of the last step arrive, so that it is not taken for the next step's.
void Settle() { PumpMessages(20); }

// What runs beside the application: nothing, the floor or Vimlet.
class Setup {
public:
    enum Kind { kNone, kFloor, kVimlet };
    static constexpr const char* kNames[] = {"no hiding", "floor", "Vimlet"};

    explicit Setup(Kind kind) : m_kind(kind)
    {
        if (kind == kFloor) {
            m_floor = std::make_unique<ChildProcess>(BesideThisProgram(L"floor_host.exe"), std::vector<std::wstring>{});
            if (m_floor->ReadLine() != "ready") throw std::runtime_error("floor_host did not start");
        }
        if (kind == kVimlet) m_vimlet = std::make_unique<VimletProcess>();
    }

    bool Hides() const { return m_kind != kNone; }
    const char* Name() const { return kNames[m_kind]; }
    HWND ParkingWindow() const
    {
        if (m_vimlet) return m_vimlet->ParkingWindow();
        return m_floor ? FindWindowW(L"VimletFloorParking", nullptr) : nullptr;
    }

private:
    Kind m_kind;
    std::unique_ptr<ChildProcess> m_floor;
    std::unique_ptr<VimletProcess> m_vimlet;
};

struct Latencies {
    std::vector<double> hide, restore;
    int failures = 0;
};

// A keystroke and a move that are not timed: under Wine a window that a setup has just shown
// may take the keyboard focus once more after this window got it back. The cursor starts in
// the window: a cursor left in the corner by the last setup would be saved there by the next
// hide, and put back there.
void WarmUp(HWND window)
{
    SetCursorPos(kStart.x, kStart.y);
    SetForegroundWindow(window);
    Settle();
    SendKey(kKey, 0);
    SendKey(kKey, KEYEVENTF_KEYUP);
    PumpMessages(200);
    MoveMouse(kStart);
    Settle();
}

constexpr double kLost = INFINITY;

bool Lost(const Setup& setup, int sample, const char* what)
{
    std::printf("%s, sample %d: no %s\n", setup.Name(), sample, what);
    return false;
}

// Microseconds of one WM_NULL sent as the hooks send it, median of the samples.
double ParkingAnswer(HWND window, int samples)
{
    std::vector<double> times;
    for (int i = 0; i < samples; ++i) {
        const double start = Microseconds();
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 200, nullptr);
        times.push_back(Microseconds() - start);
    }
    return Summarize(times).median;
}

// One hide and one restore; false when an event did not arrive or the cursor was not where the
// setup should have put it.
bool MeasureOnce(HWND window, const Setup& setup, int sample, Latencies& out)
{
    SetForegroundWindow(window);
    Settle();
    const POINT before = CursorNow();
    const int downs = g_seen.keyDowns, ups = g_seen.keyUps;
    double start = Microseconds();
    SendKey(kKey, 0);
    if (!WaitUntil([&] { return g_seen.keyDowns > downs; }, 5000)) return Lost(setup, sample, "key-down");
    const double hide = g_seen.keyDownAt - start;
    const bool parked = !(CursorNow() == before);
    SendKey(kKey, KEYEVENTF_KEYUP);
    if (!WaitUntil([&] { return g_seen.keyUps > ups; }, 5000)) return Lost(setup, sample, "key-up");
    Settle();

    const int moves = g_seen.moves;
    start = Microseconds();
    MoveMouse(kAway[sample % 2]);
    if (!WaitUntil([&] { return g_seen.moves > moves; }, 5000)) return Lost(setup, sample, "mouse move");
    const double restore = g_seen.moveAt - start;
    const bool restored = g_seen.cursorAtMove == before;
    if (setup.Hides() && !(parked && restored)) return Lost(setup, sample, parked ? "restore" : "hide");
    out.hide.push_back(hide);
    out.restore.push_back(restore);
    return true;
}

// Throughput: keys per second from the first SendInput until the window has the last key-up;
// false unless every key arrived once and in order, and (with hiding) the cursor ends parked.
bool MeasureThroughput(HWND window, const Setup& setup, double* keysPerSecond)
{
    SetCursorPos(kStart.x, kStart.y);
    SetForegroundWindow(window);
    Settle();
    g_seen.keys.clear();
    const int ups = g_seen.keyUps;
    struct Sender {
        static DWORD WINAPI Run(void*)
        {
            for (int i = 0; i < g_throughputKeys; ++i) {
                const WORD key = kKeyCycle[i % (sizeof kKeyCycle - 1)];
                INPUT inputs[2] = {KeyInput(key, 0), KeyInput(key, KEYEVENTF_KEYUP)};
                SendInput(2, inputs, sizeof(INPUT));
            }
            return 0;
        }
    };
    const double start = Microseconds();
    HANDLE sender = CreateThread(nullptr, 0, Sender::Run, nullptr, 0, nullptr);
    const bool all = WaitUntil([&] { return g_seen.keyUps >= ups + g_throughputKeys; }, 60000);
    WaitForSingleObject(sender, 10000);
    CloseHandle(sender);
    if (!all) return false;
    *keysPerSecond = g_throughputKeys * 1e6 / (g_seen.lastKeyUpAt - start);
    Settle();
    if (g_seen.keys.size() != std::size_t(g_throughputKeys) || g_seen.keyUps != ups + g_throughputKeys) return false;
    for (int i = 0; i < g_throughputKeys; ++i)
        if (g_seen.keys[i] != WORD(kKeyCycle[i % (sizeof kKeyCycle - 1)])) return false;
    const POINT end = CursorNow();
    return setup.Hides() ? !(end == kStart) : end == kStart;
}

constexpr double kTargetRatio = 1.05;

// Vimlet against the floor: both ratios, the target on the median of the per-round ratios and
// no lost sample, and by how much it misses.
std::string FloorComparison(const std::vector<double>& vimlet, const std::vector<double>& floor, int lost,
                            std::string* target)
{
    std::vector<double> perRound;
    for (std::size_t r = 0; r < vimlet.size(); ++r) perRound.push_back(vimlet[r] / floor[r]);
    const Summary ratio = Summarize(perRound);
    const bool met = ratio.median <= kTargetRatio && !lost;
    *target = Verdict(met, Format("≤ %.2f × floor (median of per-round ratios), no lost sample", kTargetRatio));
    std::string misses;
    if (ratio.median > kTargetRatio) misses = Format("ratio over by %.2f", ratio.median - kTargetRatio);
    if (lost) misses += Format("%s%d lost", misses.empty() ? "" : "; ", lost);
    if (!met) *target += " (misses: " + misses + ")";
    return Format("ratio to floor: of the medians %.2f, median of per-round ratios %.2f (%.2f–%.2f)",
                  Summarize(vimlet).median / Summarize(floor).median, ratio.median, ratio.low, ratio.high);
}

void PrintLatency(const char* event, const Latencies (&by)[3], const std::vector<double> (&roundMedians)[3][2], int e)
{
    const double none = Summarize(roundMedians[Setup::kNone][e]).median;
    const double floor = Summarize(roundMedians[Setup::kFloor][e]).median;
    for (int kind : {Setup::kNone, Setup::kFloor, Setup::kVimlet}) {
        const Summary s = Summarize(roundMedians[kind][e]);
        std::string comparison =
            Format("%zu samples, %d lost", (e ? by[kind].restore : by[kind].hide).size(), by[kind].failures), target;
        if (kind == Setup::kVimlet)
            comparison += "; " + FloorComparison(roundMedians[kind][e], roundMedians[Setup::kFloor][e],
                                                 by[kind].failures, &target) +
                          Format("; Wine's path %.0f µs, floor adds %.0f µs, Vimlet adds %.0f µs", none, floor - none,
                                 s.median - none);
        PrintRow(3, Format("%s latency under Wine, %s", event, Setup::kNames[kind]), Figure(s, "µs"), Spread(s),
                 comparison, target);
    }
}

// What Vimlet's hide costs beyond the floor's, beside the difference in the parking windows'
// answers to WM_NULL measured in the same rounds.
void PrintParkingAnswers(const std::vector<double> (&answers)[3], const std::vector<double> (&roundMedians)[3][2])
{
    const Summary vimlet = Summarize(answers[Setup::kVimlet]), floor = Summarize(answers[Setup::kFloor]);
    const double hideDifference =
        Summarize(roundMedians[Setup::kVimlet][0]).median - Summarize(roundMedians[Setup::kFloor][0]).median;
    PrintRow(3, "the parking window's answer to WM_NULL, sent from the application's thread, Vimlet",
             Figure(vimlet, "µs"), Spread(vimlet),
             Format("floor's window %.0f µs (%.0f–%.0f); Vimlet's answer takes %.0f µs more, of the %.0f µs by "
                    "which Vimlet's hide is slower than the floor's",
                    floor.median, floor.low, floor.high, vimlet.median - floor.median, hideDifference));
}

} // namespace

int main(int argc, char** argv)
{
    const bool quick = QuickMode(argc, argv);
    const char* samplesPath = nullptr;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--samples") == 0) samplesPath = argv[i + 1];
    const int rounds = quick ? 1 : 7, samplesPerRound = quick ? 5 : 40, throughputRounds = quick ? 1 : 3;
    if (quick) g_throughputKeys = 300;

    RemoveSettingsFiles();
    const HWND window = CreateApplicationWindow();
    SetCursorPos(kStart.x, kStart.y);
    Settle();

    Latencies by[3];
    std::vector<double> roundMedians[3][2];
    std::vector<double> answers[3];
    std::vector<double> throughput[3];
    try {
        for (int round = 0; round < rounds; ++round) {
            const Setup::Kind forward[] = {Setup::kNone, Setup::kFloor, Setup::kVimlet};
            for (int step = 0; step < 3; ++step) {
                const Setup::Kind kind = forward[round % 2 ? 2 - step : step];
                Setup setup(kind);
                WarmUp(window);
                Latencies latencies;
                for (int sample = 0; sample < samplesPerRound; ++sample) {
                    if (MeasureOnce(window, setup, sample, latencies)) continue;
                    ++latencies.failures;
                    latencies.hide.push_back(kLost);
                    latencies.restore.push_back(kLost);
                }
                if (latencies.failures) std::printf("%s: %d samples failed\n", setup.Name(), latencies.failures);
                if (setup.Hides()) answers[kind].push_back(ParkingAnswer(setup.ParkingWindow(), samplesPerRound));
                roundMedians[kind][0].push_back(Summarize(latencies.hide).median);
                roundMedians[kind][1].push_back(Summarize(latencies.restore).median);
                by[kind].hide.insert(by[kind].hide.end(), latencies.hide.begin(), latencies.hide.end());
                by[kind].restore.insert(by[kind].restore.end(), latencies.restore.begin(), latencies.restore.end());
                by[kind].failures += latencies.failures;
                if (round < throughputRounds) {
                    double keysPerSecond = 0;
                    if (MeasureThroughput(window, setup, &keysPerSecond))
                        throughput[kind].push_back(keysPerSecond);
                    else
                        std::printf("%s: throughput run lost, doubled, reordered or left the cursor wrong\n",
                                    setup.Name());
                }
            }
        }
    } catch (const std::exception& e) {
        std::printf("input_bench: %s\n", e.what());
        return 1;
    }

    PrintLatency("hide", by, roundMedians, 0);
    PrintLatency("restore", by, roundMedians, 1);
    PrintParkingAnswers(answers, roundMedians);
    bool complete = true;
    for (const std::vector<double>& runs : throughput) complete = complete && runs.size() == std::size_t(throughputRounds);
    const Summary without = Summarize(throughput[Setup::kNone]);
    for (int kind : {Setup::kNone, Setup::kFloor, Setup::kVimlet}) {
        const Summary s = Summarize(throughput[kind]);
        PrintRow(7, Format("throughput, %d keystrokes, %s", g_throughputKeys, Setup::kNames[kind]), Format("%.0f keys/s", s.median),
                 Format("%.0f–%.0f", s.low, s.high),
                 kind == Setup::kNone ? "" : Format("ratio to no hiding %.2f", without.median > 0 ? s.median / without.median : 0.0),
                 kind == Setup::kVimlet ? Verdict(complete, "every key once, in order; cursor parked at the end") : "");
    }

    if (samplesPath) {
        if (FILE* file = std::fopen(samplesPath, "w")) {
            const char* tags[] = {"none", "floor", "vimlet"};
            for (int kind = 0; kind < 3; ++kind) {
                for (double v : by[kind].hide)
                    if (v != kLost) std::fprintf(file, "%s hide %.1f\n", tags[kind], v);
                for (double v : by[kind].restore)
                    if (v != kLost) std::fprintf(file, "%s restore %.1f\n", tags[kind], v);
            }
            std::fclose(file);
        }
    }
    // A lost, doubled or reordered key is a fault; slow figures are not.
    return complete ? 0 : 1;
}
