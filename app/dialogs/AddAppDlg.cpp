#include "AddAppDlg.h"

#include "AppList.h"
#include "resource.h"

#include <commdlg.h>

#include <cwchar>
#include <map>

namespace {

// Window titles; also the room for the executable path that replaces one.
constexpr int kTextCapacity = 1000;
// With its terminator: only a title of exactly "Vimlet" matches, which is how the program's
// own windows (the parking window, the settings dialog) stay out of the list.
constexpr wchar_t kOwnTitle[] = L"Vimlet";
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

// The executable path of each process behind the listed windows, read with PSAPI, which is
// loaded by name, so the program needs it only here. One lookup per listing serves all of a
// process's windows, and PSAPI is loaded once for them all.
class ExecutablePaths {
public:
    ExecutablePaths() : m_psapi(LoadLibraryW(L"PSAPI.DLL"))
    {
        if (!m_psapi) return;
        m_enumProcessModules = ProcAddress<EnumProcessModulesFn>(m_psapi, "EnumProcessModules");
        m_getModuleFileNameEx = ProcAddress<GetModuleFileNameExWFn>(m_psapi, "GetModuleFileNameExW");
    }
    ~ExecutablePaths()
    {
        if (m_psapi) FreeLibrary(m_psapi);
    }
    ExecutablePaths(const ExecutablePaths&) = delete;
    ExecutablePaths& operator=(const ExecutablePaths&) = delete;

    // Overwrites text with the path of the process's executable, its first module, when the
    // process lets us read it; otherwise text keeps the window title.
    void Replace(DWORD processId, wchar_t (&text)[kTextCapacity])
    {
        auto known = m_paths.find(processId);
        if (known == m_paths.end()) known = m_paths.emplace(processId, Read(processId)).first;
        if (!known->second.empty()) std::wcscpy(text, known->second.c_str());
    }

private:
    std::wstring Read(DWORD processId) const
    {
        wchar_t path[kTextCapacity] = {};
        if (!m_enumProcessModules || !m_getModuleFileNameEx) return {};
        if (const HANDLE process = OpenProcess(kQueryAccess, FALSE, processId)) {
            HMODULE executable = nullptr;
            DWORD needed = 0;
            if (m_enumProcessModules(process, &executable, sizeof(executable), &needed))
                m_getModuleFileNameEx(process, executable, path, kTextCapacity);
            CloseHandle(process);
        }
        return path;
    }

    HMODULE m_psapi;
    EnumProcessModulesFn m_enumProcessModules = nullptr;
    GetModuleFileNameExWFn m_getModuleFileNameEx = nullptr;
    std::map<DWORD, std::wstring> m_paths;
};

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

// Every visible top-level window in z-order counts, whatever its class or owner. This dialog
// is not visible yet, so it does not list itself.
void CAddAppDlg::ListRunningApps()
{
    m_apps.clear();
    ExecutablePaths executables;
    for (HWND window = GetWindow(GetDesktopWindow(), GW_CHILD); window;
         window = GetWindow(window, GW_HWNDNEXT)) {
        if (!IsWindowVisible(window)) continue;
        wchar_t text[kTextCapacity] = {};
        GetWindowTextW(window, text, kTextCapacity);
        if (std::wmemcmp(text, kOwnTitle, std::size(kOwnTitle)) == 0) continue;
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        executables.Replace(processId, text);
        m_apps.emplace_back(text);
    }
    // One entry per executable, however many windows and processes it has.
    SortAndRemoveDuplicates(m_apps);
    for (const std::wstring& app : m_apps) m_list.AddString(app.c_str());
}

void CAddAppDlg::OnBnClickedOk()
{
    std::vector<std::wstring> selected;
    for (std::size_t i = 0; i < m_apps.size(); ++i)
        if (m_list.GetSel(static_cast<int>(i)) != 0) selected.push_back(m_apps[i]);
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
