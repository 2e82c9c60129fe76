// How the real Vimlet.exe's own windows cost as the desktop and the list grow:
// - the parking window's one-second tick with 10, 100 and 1,000 visible top-level windows, when
//   it has nothing to do and when a window has been raised above it (timed as a sent WM_TIMER,
//   less a sent message the window answers without work);
// - opening the settings dialog with 10, 1,000 and 100,000 list entries;
// - opening the add-application dialog with 10, 100 and 300 windows.
// The windows belong to this process. Usage: ui_bench [--quick]
#include "BenchReport.h"
#include "dialog_driver.h"
#include "TempDir.h"
#include "resource.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kAddTitle[] = L"Vimletを無効にするアプリケーションの選択";
constexpr DWORD kBoundMs = 120000;

// The desktop's windows, grown on demand: small visible popups of this process, spread over
// the screen away from the corner.
class Windows {
public:
    Windows()
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.lpszClassName = L"VimletUiBench";
        RegisterClassW(&windowClass);
    }

    void GrowTo(int count)
    {
        while (static_cast<int>(m_windows.size()) < count) {
            const int i = static_cast<int>(m_windows.size());
            m_windows.push_back(CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TOPMOST, L"VimletUiBench",
                                                L"bench window",
                                                WS_POPUP | WS_VISIBLE, 20 + (i % 40) * 40, 20 + (i / 40 % 20) * 40, 30,
                                                30, nullptr, nullptr, nullptr, nullptr));
        }
        PumpMessages(0);
    }

    // Puts one of them above every other window, the parking window included.
    void RaiseOne()
    {
        SetWindowPos(m_windows.front(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }

private:
    std::vector<HWND> m_windows;
};

double SendRoundTrip(HWND window, UINT message, WPARAM wParam)
{
    DWORD_PTR result;
    const double start = Microseconds();
    SendMessageTimeoutW(window, message, wParam, 0, SMTO_NORMAL, 10000, &result);
    return Microseconds() - start;
}

// The parking window's own work on a message: the message sent, less WM_CLOSE sent, which the
// window answers at once; alternated, medians of each. (Not WM_ERASEBKGND: Wine answers that
// one across processes in a twentieth of the time of any other.)
double AnswerWork(const VimletProcess& vimlet, UINT message, Windows& windows, bool raised, int samples,
                  std::string* detail)
{
    std::vector<double> work, bare;
    SendRoundTrip(vimlet.ParkingWindow(), WM_TIMER, 0);  // on top of the windows just made
    for (int i = 0; i < samples; ++i) {
        if (raised) windows.RaiseOne();
        work.push_back(SendRoundTrip(vimlet.ParkingWindow(), message, 0));
        bare.push_back(SendRoundTrip(vimlet.ParkingWindow(), WM_CLOSE, 0));
    }
    const Summary w = Summarize(work), b = Summarize(bare);
    *detail = Format("sent %.0f µs (%.0f–%.0f), bare message %.0f µs", w.median, w.low, w.high, b.median);
    return w.median - b.median;
}

const char* const kTickTargets[2] = {"constant: the walk stops at once", "constant: one step and one raise"};

// Appends the tick's work without and with a window raised above the parking window.
void MeasureTick(const VimletProcess& vimlet, Windows& windows, int count, int samples, std::vector<double> (&ticks)[2])
{
    for (bool raised : {false, true}) {
        std::string detail;
        const double work = AnswerWork(vimlet, WM_TIMER, windows, raised, samples, &detail);
        ticks[raised].push_back(work);
        PrintRow(5, Format("parking window tick, %d windows, %s", count, raised ? "a window raised above it" : "on top already"),
                 Format("%.1f µs", work), detail, "", kTickTargets[raised]);
    }
}

// What the hide path waits for in Vimlet.exe: the parking window's answer to WM_NULL, which
// places the window again only when it is covered or out of its corner.
void MeasureParkingAnswer(const VimletProcess& vimlet, Windows& windows, int samples)
{
    std::string detail;
    const double work = AnswerWork(vimlet, WM_NULL, windows, false, samples, &detail);
    PrintRow(3, "the parking window's answer to the hooks' WM_NULL", Format("%.1f µs", work), detail,
             "part of Vimlet's hide latency");
}

// Polls until a visible dialog of the class and title is up; null after the bound.
HWND AwaitDialog(const wchar_t* title)
{
    const ULONGLONG deadline = GetTickCount64() + kBoundMs;
    while (GetTickCount64() < deadline) {
        const HWND dialog = FindWindowW(L"#32770", title);
        if (dialog && IsWindowVisible(dialog)) return dialog;
        Sleep(1);
    }
    return nullptr;
}

void Close(HWND dialog)
{
    Click(dialog, IDCANCEL);
    WaitUntil([dialog] { return !IsWindow(dialog); });
}

// Microseconds from the tray's double-click until the settings dialog shows; 0 on failure.
double OpenSettings(const VimletProcess& vimlet, HWND* dialog)
{
    const double start = Microseconds();
    PostTrayMessage(vimlet, WM_LBUTTONDBLCLK);
    *dialog = AwaitDialog(L"Vimlet");
    return *dialog ? Microseconds() - start : 0;
}

// The median in milliseconds; 0 when the dialog did not open.
double MeasureSettingsDialog(const VimletProcess& vimlet, int entries, int runs)
{
    std::vector<std::wstring> paths;
    for (int i = 0; i < entries; ++i) paths.push_back(L"C:\\Program Files\\Application " + std::to_wstring(i) + L"\\app.exe");
    WriteBytes(ExcludePath(), ExcludeFileBytes(paths));
    std::vector<double> open;
    bool complete = true;
    for (int run = 0; run < runs; ++run) {
        HWND dialog = nullptr;
        const double took = OpenSettings(vimlet, &dialog);
        if (!dialog) {
            std::printf("settings dialog did not open with %d entries\n", entries);
            return 0;
        }
        complete = complete && SendToList(dialog, LB_GETCOUNT, 0, 0) == entries;
        open.push_back(took / 1000);
        Close(dialog);
    }
    const Summary s = Summarize(open);
    PrintRow(5, Format("opening the settings dialog, %d list entries", entries), Figure(s, "ms"), Spread(s),
             complete ? "" : "LIST INCOMPLETE");
    return s.median;
}

// The median in milliseconds; 0 when a dialog did not open.
double MeasureAddDialog(const VimletProcess& vimlet, int windows, int runs)
{
    std::vector<double> open;
    for (int run = 0; run < runs; ++run) {
        HWND settings = nullptr;
        OpenSettings(vimlet, &settings);
        if (!settings) {
            std::printf("settings dialog did not open\n");
            return 0;
        }
        const double start = Microseconds();
        ClickToOpen(settings, IDC_ADD);
        const HWND add = AwaitDialog(kAddTitle);
        if (!add) {
            std::printf("add-application dialog did not open with %d windows\n", windows);
            return 0;
        }
        open.push_back((Microseconds() - start) / 1000);
        Close(add);
        Close(settings);
    }
    const Summary s = Summarize(open);
    PrintRow(5, Format("opening the add-application dialog, %d windows", windows), Figure(s, "ms"), Spread(s));
    return s.median;
}

} // namespace

int main(int argc, char** argv)
{
    const bool quick = QuickMode(argc, argv);
    const int runs = quick ? 1 : 3, tickSamples = quick ? 20 : 200;
    RemoveSettingsFiles();
    try {
        VimletProcess vimlet;
        Windows windows;
        std::vector<double> sizes, medians, tickSizes, ticks[2];
        for (int count : {10, 100, 300, 1000}) {
            windows.GrowTo(count);
            if (count != 300) {
                tickSizes.push_back(count);
                MeasureTick(vimlet, windows, count, tickSamples, ticks);
            }
            if (count == 10) MeasureParkingAnswer(vimlet, windows, tickSamples);
            if (count == 1000) continue;
            sizes.push_back(count);
            medians.push_back(MeasureAddDialog(vimlet, count, runs));
        }
        PrintGrowth(5, "parking window tick, on top already", tickSizes, ticks[0], "µs", "window", kTickTargets[0]);
        PrintGrowth(5, "parking window tick, a window raised above it", tickSizes, ticks[1], "µs", "window",
                    kTickTargets[1]);
        PrintGrowth(5, "opening the add-application dialog", sizes, medians, "ms", "window", "linear in windows");
        sizes.clear();
        medians.clear();
        for (int entries : {10, 1000, 100000}) {
            sizes.push_back(entries);
            medians.push_back(MeasureSettingsDialog(vimlet, entries, runs));
        }
        PrintGrowth(5, "opening the settings dialog", sizes, medians, "ms", "entry", "linear in entries");
    } catch (const std::exception& e) {
        std::printf("ui_bench: %s\n", e.what());
        return 1;
    }
    RemoveSettingsFiles();
    return 0;
}
