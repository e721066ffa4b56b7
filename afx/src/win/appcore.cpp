// The application object, the program's entry, resources and message boxes.
#include "afx/afxwin.h"
#include "afxstate.h"

#include <algorithm>
#include <vector>

namespace {

std::vector<HINSTANCE>& ResourceChain()
{
    return AfxGetProcessState().resourceChain;
}

} // namespace

// WinMain lives beside CWinApp so that linking an application object brings
// it in before the runtime looks for it.
extern "C" int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow)
{
    return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}

HINSTANCE AfxGetInstanceHandle()
{
    return AfxGetProcessState().hInstance ? AfxGetProcessState().hInstance : ::GetModuleHandleA(nullptr);
}

HINSTANCE AfxGetResourceHandle()
{
    return AfxGetProcessState().hResource ? AfxGetProcessState().hResource : AfxGetInstanceHandle();
}

void AfxSetResourceHandle(HINSTANCE hInstResource)
{
    AfxGetProcessState().hResource = hInstResource;
}

void AfxAddResourceModule(HINSTANCE hModule)
{
    auto& chain = ResourceChain();
    if (hModule && std::find(chain.begin(), chain.end(), hModule) == chain.end())
        chain.push_back(hModule);
}

void AfxRemoveResourceModule(HINSTANCE hModule)
{
    auto& chain = ResourceChain();
    chain.erase(std::remove(chain.begin(), chain.end(), hModule), chain.end());
}

HINSTANCE AfxFindResourceHandle(LPCSTR lpszName, LPCSTR lpszType)
{
    HINSTANCE hFirst = AfxGetResourceHandle();
    if (::FindResourceA(hFirst, lpszName, lpszType))
        return hFirst;
    for (HINSTANCE h : ResourceChain())
        if (::FindResourceA(h, lpszName, lpszType))
            return h;
    return hFirst;
}

namespace {

// One string of one module; FALSE when the module lacks it or it is empty.
BOOL LoadStringFrom(HINSTANCE hInst, UINT nID, CString& rString)
{
    // Strings are kept sixteen to a block, each as a length and UTF-16 units.
    LPCSTR block = MAKEINTRESOURCEA((nID >> 4) + 1);
    HRSRC hRes = ::FindResourceA(hInst, block, MAKEINTRESOURCEA(6) /* RT_STRING */);
    if (!hRes)
        return FALSE;
    HGLOBAL hGlobal = ::LoadResource(hInst, hRes);
    const WCHAR* base = hGlobal ? static_cast<const WCHAR*>(::LockResource(hGlobal)) : nullptr;
    size_t count = ::SizeofResource(hInst, hRes) / sizeof(WCHAR);
    if (!base)
        return FALSE;
    size_t pos = 0;
    for (UINT i = 0; i < (nID & 15); ++i) {
        if (pos >= count)
            return FALSE;   // a damaged block must not lead us past its end
        pos += 1 + base[pos];
    }
    if (pos >= count || base[pos] == 0 || base[pos] > count - pos - 1)
        return FALSE;
    int cch = base[pos];
    const WCHAR* p = base + pos + 1;
    int cb = ::WideCharToMultiByte(CP_ACP, 0, p, cch, nullptr, 0, nullptr, nullptr);
    if (cb <= 0)
        return FALSE;
    char* buf = rString.GetBuffer(cb);
    ::WideCharToMultiByte(CP_ACP, 0, p, cch, buf, cb, nullptr, nullptr);
    rString.ReleaseBuffer(cb);
    return TRUE;
}

} // namespace

BOOL AfxLoadString(UINT nID, CString& rString)
{
    rString.Empty();
    // By the string, not by its block: a client and a library may both hold
    // the block of sixteen numbers, each with strings the other lacks.
    if (LoadStringFrom(AfxGetResourceHandle(), nID, rString))
        return TRUE;
    for (HINSTANCE h : ResourceChain())
        if (LoadStringFrom(h, nID, rString))
            return TRUE;
    return FALSE;
}

BOOL CString::LoadString(UINT nID)
{
    return AfxLoadString(nID, *this);
}

void AfxInitCommonControls()
{
    static bool done = false;
    if (!done) {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
        done = ::InitCommonControlsEx(&icc) != FALSE;
    }
}

CWinApp* AfxGetApp()
{
    return AfxGetProcessState().pApp;
}

CWnd* AfxGetMainWnd()
{
    CWinApp* pApp = AfxGetApp();
    return pApp ? pApp->m_pMainWnd : nullptr;
}

CWinApp::CWinApp(LPCSTR lpszAppName)
    : m_hInstance(nullptr), m_lpCmdLine(nullptr), m_nCmdShow(SW_SHOWNORMAL), m_pszAppName(nullptr),
      m_pszExeName(nullptr), m_pMainWnd(nullptr), m_pszRegistryKey(nullptr), m_pszProfileName(nullptr)
{
    if (lpszAppName) {
        m_strAppName = lpszAppName;
        m_pszAppName = m_strAppName;
    }
    // The first application object of the process is the process's: a
    // library's own (a control module's) does not displace the program's.
    if (!AfxGetProcessState().pApp)
        AfxGetProcessState().pApp = this;
}

CWinApp::~CWinApp()
{
    if (AfxGetProcessState().pApp == this)
        AfxGetProcessState().pApp = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

int CWinApp::Run()
{
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    CWnd::DeleteTempMap();
    int nResult = ExitInstance();
    return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : nResult;
}

int CWinApp::DoMessageBox(LPCSTR lpszPrompt, UINT nType, UINT)
{
    // Owned by the main window while it exists, so that the box stays above it.
    HWND hWndOwner = nullptr;
    if (m_pMainWnd && m_pMainWnd->m_hWnd && ::IsWindow(m_pMainWnd->m_hWnd))
        hWndOwner = m_pMainWnd->m_hWnd;
    if (!hWndOwner)
        nType |= MB_TASKMODAL;
    return ::MessageBoxA(hWndOwner, lpszPrompt, m_pszAppName, nType);
}

HICON CWinApp::LoadIcon(UINT nIDResource) const
{
    return LoadIcon(MAKEINTRESOURCEA(nIDResource));
}

HICON CWinApp::LoadIcon(LPCSTR lpszResourceName) const
{
    HINSTANCE hInst = AfxFindResourceHandle(lpszResourceName, MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */);
    return ::LoadIconA(hInst, lpszResourceName);
}

HCURSOR CWinApp::LoadCursor(UINT nIDResource) const
{
    LPCSTR name = MAKEINTRESOURCEA(nIDResource);
    HINSTANCE hInst = AfxFindResourceHandle(name, MAKEINTRESOURCEA(12) /* RT_GROUP_CURSOR */);
    return ::LoadCursorA(hInst, name);
}

HCURSOR CWinApp::LoadStandardCursor(LPCSTR lpszCursorName) const
{
    return ::LoadCursorA(nullptr, lpszCursorName);
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPSTR lpCmdLine, int nCmdShow)
{
    AfxGetProcessState().hInstance = hInstance;
    CWinApp* pApp = AfxGetApp();
    if (!pApp)
        return -1;
    pApp->m_hInstance = hInstance;
    pApp->m_lpCmdLine = lpCmdLine;
    pApp->m_nCmdShow = nCmdShow;

    char path[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(hInstance, path, sizeof path);
    CString exe(path, n < sizeof path ? static_cast<int>(n) : 0);
    int slash = exe.ReverseFind('\\');
    exe = exe.Mid(slash + 1);
    int dot = exe.ReverseFind('.');
    if (dot > 0)
        exe = exe.Left(dot);
    pApp->m_strExeName = exe;
    pApp->m_pszExeName = pApp->m_strExeName;
    if (pApp->m_strAppName.IsEmpty() && !pApp->m_strAppName.LoadString(AFX_IDS_APP_TITLE))
        pApp->m_strAppName = exe;
    pApp->m_pszAppName = pApp->m_strAppName;

    AfxInitCommonControls();

    int nResult;
    if (pApp->InitInstance())
        nResult = pApp->Run();
    else
        nResult = pApp->ExitInstance();
    CWnd::DeleteTempMap();
    return nResult;
}

int AfxMessageBox(LPCSTR lpszText, UINT nType, UINT nIDHelp)
{
    if (CWinApp* pApp = AfxGetApp())
        return pApp->DoMessageBox(lpszText, nType, nIDHelp);
    return ::MessageBoxA(nullptr, lpszText, nullptr, nType | MB_TASKMODAL);
}

int AfxMessageBox(UINT nIDPrompt, UINT nType, UINT nIDHelp)
{
    CString text;
    AfxLoadString(nIDPrompt, text);
    return AfxMessageBox(text, nType, nIDHelp == static_cast<UINT>(-1) ? nIDPrompt : nIDHelp);
}

void CWinApp::SetRegistryKey(LPCSTR lpszRegistryKey)
{
    m_strRegistryKey = lpszRegistryKey ? lpszRegistryKey : "";
    m_pszRegistryKey = m_strRegistryKey;
    if (m_strProfileName.IsEmpty())
        m_strProfileName = m_pszAppName ? m_pszAppName : "";
    m_pszProfileName = m_strProfileName;
}

// The application's key or one section's subkey; null without a registry key.
HKEY CWinApp::OpenSectionKey(LPCSTR lpszSection, bool bCreate)
{
    if (m_strRegistryKey.IsEmpty() || m_strProfileName.IsEmpty())
        return nullptr;
    CString path = "Software\\";
    path += m_strRegistryKey;
    path += "\\";
    path += m_strProfileName;
    if (lpszSection && *lpszSection) {
        path += "\\";
        path += lpszSection;
    }
    HKEY hKey = nullptr;
    LONG rc = bCreate ? ::RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                                          &hKey, nullptr)
                      : ::RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &hKey);
    return rc == ERROR_SUCCESS ? hKey : nullptr;
}

CString CWinApp::GetProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszDefault)
{
    CString result = lpszDefault ? lpszDefault : "";
    HKEY hKey = OpenSectionKey(lpszSection, false);
    if (!hKey)
        return result;
    DWORD type = 0, size = 0;
    if (::RegQueryValueExA(hKey, lpszEntry, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ) {
        // Room for a terminator that a value written by others may lack.
        char* p = result.GetBuffer(static_cast<int>(size) + 1);
        DWORD got = size;
        if (::RegQueryValueExA(hKey, lpszEntry, nullptr, &type, reinterpret_cast<BYTE*>(p), &got) == ERROR_SUCCESS) {
            p[got < size + 1 ? got : size] = '\0';
            result.ReleaseBuffer();
        } else {
            result.ReleaseBuffer(0);
            result = lpszDefault ? lpszDefault : "";
        }
    }
    ::RegCloseKey(hKey);
    return result;
}

BOOL CWinApp::WriteProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszValue)
{
    HKEY hKey = OpenSectionKey(lpszSection, true);
    if (!hKey)
        return FALSE;
    LONG rc;
    if (lpszValue)
        rc = ::RegSetValueExA(hKey, lpszEntry, 0, REG_SZ, reinterpret_cast<const BYTE*>(lpszValue),
                              static_cast<DWORD>(lstrlenA(lpszValue) + 1));
    else
        rc = ::RegDeleteValueA(hKey, lpszEntry);
    ::RegCloseKey(hKey);
    return rc == ERROR_SUCCESS;
}

UINT CWinApp::GetProfileInt(LPCSTR lpszSection, LPCSTR lpszEntry, int nDefault)
{
    HKEY hKey = OpenSectionKey(lpszSection, false);
    if (!hKey)
        return static_cast<UINT>(nDefault);
    DWORD type = 0, value = 0, size = sizeof value;
    UINT result = static_cast<UINT>(nDefault);
    if (::RegQueryValueExA(hKey, lpszEntry, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS
        && type == REG_DWORD && size == sizeof value)
        result = value;
    ::RegCloseKey(hKey);
    return result;
}

BOOL CWinApp::WriteProfileInt(LPCSTR lpszSection, LPCSTR lpszEntry, int nValue)
{
    HKEY hKey = OpenSectionKey(lpszSection, true);
    if (!hKey)
        return FALSE;
    DWORD value = static_cast<DWORD>(nValue);
    LONG rc = ::RegSetValueExA(hKey, lpszEntry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    ::RegCloseKey(hKey);
    return rc == ERROR_SUCCESS;
}
