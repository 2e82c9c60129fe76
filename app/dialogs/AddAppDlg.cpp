#include "AddAppDlg.h"

#include "AppTitle.h"

#include "AppList.h"
#include "app_frame.h"
#include "resource.h"

#include <commdlg.h>

#include <cwchar>

namespace {

// Window titles; also the room for the executable path that replaces one.
constexpr int kTextCapacity = 1000;
constexpr DWORD kQueryAccess = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;

constexpr wchar_t kExecutableFilter[] =
    L"実行可能ファイル(*.exe)\0*.exe\0すべてのファイル(*.*)\0*.*\0";

using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, LPDWORD);
using GetModuleFileNameExWFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);

template <class Function> Function ProcAddress(HMODULE module, const char* name)
{
    // Through the generic function pointer type, which converts to any other without a warning.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Overwrites text with the path of the process's executable, its first module, when the
// process lets us read it; otherwise text keeps the window title. PSAPI is loaded by name, so
// the program needs it only here.
void ReplaceWithExecutablePath(DWORD processId, wchar_t (&text)[kTextCapacity])
{
    const HMODULE psapi = LoadLibraryExW(L"PSAPI.DLL", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!psapi) return;
    const auto enumProcessModules = ProcAddress<EnumProcessModulesFn>(psapi, "EnumProcessModules");
    const auto getModuleFileNameEx = ProcAddress<GetModuleFileNameExWFn>(psapi, "GetModuleFileNameExW");
    if (enumProcessModules && getModuleFileNameEx) {
        if (const HANDLE process = OpenProcess(kQueryAccess, FALSE, processId)) {
            HMODULE executable = nullptr;
            DWORD needed = 0;
            if (enumProcessModules(process, &executable, sizeof(executable), &needed))
                getModuleFileNameEx(process, executable, text, kTextCapacity);
            CloseHandle(process);
        }
    }
    FreeLibrary(psapi);
}

} // namespace

IMPLEMENT_DYNAMIC(CAddAppDlg, CDialog)

BEGIN_MESSAGE_MAP(CAddAppDlg, CDialog)
    ON_BN_CLICKED(IDC_OTHER_APP, OnBnClickedOther)
    ON_BN_CLICKED(IDOK, OnBnClickedOk)
    ON_LBN_DBLCLK(IDC_APP_LIST, OnLbnDblclkList)
END_MESSAGE_MAP()

CAddAppDlg::CAddAppDlg() : CDialog(IDD_ADDAPP) {}

void CAddAppDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_APP_LIST, m_list);
}

BOOL CAddAppDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    ListRunningApps();
    return TRUE;  // the focus goes to the list
}

// Every visible top-level window in z-order counts, whatever its class or owner; a Store app's
// frame counts as the app inside it. This dialog is not visible yet, so it does not list itself.
void CAddAppDlg::ListRunningApps()
{
    m_apps.clear();
    for (HWND window = GetWindow(GetDesktopWindow(), GW_CHILD); window;
         window = GetWindow(window, GW_HWNDNEXT)) {
        if (!IsWindowVisible(window)) continue;
        wchar_t text[kTextCapacity] = {};
        GetWindowTextW(window, text, kTextCapacity);
        // With the terminator: only the program's own windows, titled exactly so, stay out.
        if (std::wmemcmp(text, kAppTitle, std::size(kAppTitle)) == 0) continue;
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        ReplaceWithExecutablePath(processId, text);
        if (vimlet::IsAppFrameHost(text)) {
            if (const DWORD app = vimlet::HostedProcess(window)) ReplaceWithExecutablePath(app, text);
        }
        m_apps.emplace_back(text);
    }
    // One entry per executable, however many windows and processes it has.
    SortAndRemoveDuplicates(m_apps);
    for (const std::wstring& app : m_apps) m_list.AddString(app.c_str());
}

// A selected entry that the list file cannot hold is left out, and the user told why.
void CAddAppDlg::OnBnClickedOk()
{
    std::vector<std::wstring> selected;
    bool leftOut = false;
    for (std::size_t i = 0; i < m_apps.size(); ++i) {
        if (m_list.GetSel(static_cast<int>(i)) == 0) continue;
        if (HasControlCharacter(m_apps[i]))
            leftOut = true;
        else
            selected.push_back(m_apps[i]);
    }
    if (leftOut)
        MessageBoxW(m_hWnd, AfxLoadString(IDS_ENTRY_HAS_CONTROL_CHARACTERS).c_str(), kAppTitle, MB_OK | MB_ICONWARNING);
    m_apps = std::move(selected);
    OnOK();
}

void CAddAppDlg::OnLbnDblclkList()
{
    OnBnClickedOk();
}

// A chosen file ends the dialog at once, whatever the list's selection.
void CAddAppDlg::OnBnClickedOther()
{
    wchar_t file[MAX_PATH] = {};  // empty: no name proposed
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = m_hWnd;
    dialog.lpstrFilter = kExecutableFilter;
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.Flags = OFN_FILEMUSTEXIST;
    if (!GetOpenFileNameW(&dialog)) return;  // cancelled: stay open as we were
    m_apps.assign(1, file);
    EndDialog(IDOK);
}
