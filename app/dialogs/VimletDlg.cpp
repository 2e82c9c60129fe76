#include "VimletDlg.h"

#include "AboutDlg.h"
#include "AppMessages.h"
#include "AppTitle.h"
#include "AddAppDlg.h"
#include "AppList.h"
#include "Settings.h"
#include "resource.h"
#include "vimlet.h"

#include <shellapi.h>
#include <shlobj.h>

namespace {

// The resources number the check boxes one after another in the order of the key table.
constexpr int KeyCheckBox(int keyIndex)
{
    return IDC_LEFT_SHIFT + keyIndex;
}

constexpr int kStartupPathCapacity = 1000;

} // namespace

IMPLEMENT_DYNAMIC(CVimletDlg, CDialog)

BEGIN_MESSAGE_MAP(CVimletDlg, CDialog)
    ON_MESSAGE(kReportUnreadableListMessage, OnReportUnreadableList)
    ON_BN_CLICKED(IDC_ABOUT, OnAppAbout)
    ON_BN_CLICKED(IDC_EXIT, OnBnClickedExit)
    ON_BN_CLICKED(IDC_ADD, OnBnClickedAdd)
    ON_BN_CLICKED(IDC_REMOVE, OnBnClickedRemove)
    ON_BN_CLICKED(IDC_OPEN_STARTUP, OnBnClickedStartup)
END_MESSAGE_MAP()

CVimletDlg::CVimletDlg() : CDialog(IDD_VIMLET_DIALOG) {}

// The window that showed the icon is gone by now.
CVimletDlg::~CVimletDlg()
{
    if (m_hSmallIcon) DestroyIcon(m_hSmallIcon);
}

void CVimletDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_APP_LIST, m_list);
}

BOOL CVimletDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    m_hSmallIcon = static_cast<HICON>(LoadImageW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDI_TRAY), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                                 LR_DEFAULTCOLOR));
    SetIcon(m_hSmallIcon, FALSE);

    // The live flags, not vimlet.ini: another dialog may have changed them since start-up.
    for (int i = 0; i < vimlet::kSuppressorCount; ++i) {
        if (vimlet_is_suppressor(vimlet::kSuppressorKeys[i].virtualKey))
            ::SendMessageW(GetDlgItem(KeyCheckBox(i)), BM_SETCHECK, BST_CHECKED, 0);
    }
    // Opened from the tray, the dialog would otherwise come up behind the active application.
    SetForegroundWindow();

    bool bTooLarge = false;
    m_bListReadable = SettingsStore::OfUser().LoadExcludeList(m_excludeApps, &bTooLarge);
    FillExcludeListBox();
    if (!m_bListReadable) PostMessage(kReportUnreadableListMessage, bTooLarge);
    return TRUE;  // the focus goes to the first check box
}

// wParam: the list is over the size the hooks read.
LRESULT CVimletDlg::OnReportUnreadableList(WPARAM wParam, LPARAM)
{
    Warn(wParam ? IDS_LIST_TOO_LARGE : IDS_LIST_UNREADABLE);
    return 0;
}

void CVimletDlg::Warn(UINT nTextId)
{
    MessageBoxW(m_hWnd, AfxLoadString(nTextId).c_str(), kAppTitle, MB_OK | MB_ICONWARNING);
}

// The flags take effect whether or not the file can keep them; the user hears once if not.
void CVimletDlg::SaveKeySettings()
{
    const SettingsStore settings = SettingsStore::OfUser();
    bool bAllWritten = true;
    for (int i = 0; i < vimlet::kSuppressorCount; ++i) {
        const HWND box = GetDlgItem(KeyCheckBox(i));
        const bool checked = box && (::SendMessageW(box, BM_GETCHECK, 0, 0) & BST_CHECKED);
        const vimlet::SuppressorKey& key = vimlet::kSuppressorKeys[i];
        vimlet_set_suppressor(key.virtualKey, checked);
        bAllWritten = settings.WriteKey(key, checked) && bAllWritten;
    }
    if (!bAllWritten) Warn(IDS_KEYS_NOT_SAVED);
}

bool CVimletDlg::CanChangeExcludeList()
{
    if (!m_bListReadable) Warn(IDS_LIST_LOCKED);
    return m_bListReadable;
}

// A long list fills in one go: its room reserved at once, and one repaint at the end instead of
// one per row.
void CVimletDlg::FillExcludeListBox()
{
    m_list.SetRedraw(FALSE);
    m_list.ResetContent();
    std::size_t characters = 0;
    for (const std::wstring& app : m_excludeApps) characters += app.size() + 1;
    m_list.InitStorage(static_cast<int>(m_excludeApps.size()), static_cast<UINT>(characters * sizeof(wchar_t)));
    for (const std::wstring& app : m_excludeApps) m_list.AddString(app.c_str());
    m_list.SetRedraw(TRUE);
    m_list.Invalidate();
}

// The hooked processes notice the change by the file's modification time. A list that could
// not be saved is read back, so that the dialog shows what the hooks go by.
void CVimletDlg::SaveAndShowExcludeList()
{
    const SettingsStore settings = SettingsStore::OfUser();
    const bool bSaved = settings.SaveExcludeList(m_excludeApps);
    if (!bSaved) m_bListReadable = settings.LoadExcludeList(m_excludeApps);
    FillExcludeListBox();
    if (!bSaved) Warn(IDS_LIST_NOT_SAVED);
}

void CVimletDlg::OnCancel()
{
    SaveKeySettings();
    CDialog::OnCancel();
}

void CVimletDlg::OnAppAbout()
{
    CAboutDlg about;
    about.DoModal();
}

// The main frame's close takes this dialog down with the program, so the dialog does not end
// itself.
void CVimletDlg::OnBnClickedExit()
{
    SaveKeySettings();
    if (CWnd* mainWnd = AfxGetMainWnd()) mainWnd->PostMessage(WM_CLOSE, 0, 0);
}

// Every confirmed Add sorts the whole list, entries from the file too, even when nothing was
// chosen.
void CVimletDlg::OnBnClickedAdd()
{
    if (!CanChangeExcludeList()) return;
    CAddAppDlg addApp;
    if (addApp.DoModal() != IDOK) return;
    m_excludeApps.insert(m_excludeApps.end(), addApp.m_apps.begin(), addApp.m_apps.end());
    SortAndRemoveDuplicates(m_excludeApps);
    SaveAndShowExcludeList();
}

void CVimletDlg::OnBnClickedRemove()
{
    if (!CanChangeExcludeList()) return;
    const int row = m_list.GetCurSel();
    if (row < 0 || static_cast<std::size_t>(row) >= m_excludeApps.size()) return;
    m_excludeApps.erase(m_excludeApps.begin() + row);
    SaveAndShowExcludeList();
}

// Only opens the folder for the user; the program never puts anything into it.
void CVimletDlg::OnBnClickedStartup()
{
    wchar_t folder[kStartupPathCapacity];
    if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_STARTUP, FALSE)) return;
    ShellExecuteW(nullptr, L"open", folder, nullptr, nullptr, SW_SHOWNORMAL);
}
