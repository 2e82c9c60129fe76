// Puts each of the program's dialogs on screen in turn for scripts/screenshots.sh: prints
// "<name> <left> <top> <width> <height>" once a dialog is up and painted, followed on the same
// line by "<left>,<top>,<width>,<height>" of each control in template order, relative to the
// dialog, then waits for a line on its input before going on. Ends with "done".

#include "ChildProcess.h"
#include "dialog_driver.h"
#include "TempDir.h"
#include "TestConstants.h"
#include "resource.h"

#include <cstdio>
#include <iostream>
#include <string>

namespace {

// Some applications for the add dialog to list. They do not end when their input closes: ended
// at once instead.
class StandIn : public ChildProcess {
public:
    explicit StandIn(const wchar_t* program) : ChildProcess(InSystemDirectory(program), {})
    {
        WaitForInputIdle(Handle(), kPatience);
    }
    ~StandIn() { Terminate(); }

private:
    static std::wstring InSystemDirectory(const wchar_t* program)
    {
        wchar_t directory[MAX_PATH] = L"";
        GetSystemDirectoryW(directory, MAX_PATH);
        return std::wstring(directory) + L"\\" + program;
    }
};

// Painted and handed to the display by the time the program answers again.
void Show(const char* name, HWND dialog)
{
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    DWORD_PTR ignored;
    SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
    RECT rect;
    GetWindowRect(dialog, &rect);
    std::printf("%s %ld %ld %ld %ld", name, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    for (HWND control = GetWindow(dialog, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        RECT box;
        GetWindowRect(control, &box);
        std::printf(" %ld,%ld,%ld,%ld", box.left - rect.left, box.top - rect.top, box.right - box.left,
                    box.bottom - box.top);
    }
    std::printf("\n");
    std::fflush(stdout);
    std::string taken;
    std::getline(std::cin, taken);
}

} // namespace

int main()
{
    RemoveSettingsFiles();
    CreateDirectoryW(SettingsDirectory().c_str(), nullptr);  // the program makes it only when it starts
    WriteBytes(ExcludePath(), ExcludeFileBytes({L"C:\\Program Files\\Mozilla Firefox\\firefox.exe",
                                                L"C:\\Program Files\\Vim\\vim91\\gvim.exe",
                                                L"C:\\Windows\\System32\\mstsc.exe"}));
    StandIn notepad(L"notepad.exe"), mines(L"winemine.exe");
    VimletProcess vimlet;

    const HWND settings = OpenSettingsDialog(vimlet);
    if (!settings) return 1;
    Show("settings-dialog", settings);

    ClickToOpen(settings, IDC_ADD);
    const HWND addApp = WaitForNewDialog(vimlet.ProcessId(), kAddTitle);
    if (!addApp) return 1;
    SendToList(addApp, LB_SETSEL, TRUE, 0);
    Show("add-application-dialog", addApp);
    Click(addApp, IDCANCEL);
    WaitUntilGone(addApp);

    ClickToOpen(settings, IDC_ABOUT);
    const HWND about = WaitForNewDialog(vimlet.ProcessId(), L"About Vimlet");
    if (!about) return 1;
    Show("about-dialog", about);
    Click(about, IDOK);
    WaitUntilGone(about);

    Click(settings, IDCANCEL);
    WaitUntilGone(settings);
    RemoveSettingsFiles();
    std::printf("done\n");
    return 0;
}
