// The property page base class.
#include "afx/afxctl.h"

// The dialog procedure of the framework's dialogs (dlgcore.cpp).
INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

COlePropertyPage::COlePropertyPage(UINT idTemplate, UINT idCaption)
    : CDialog(idTemplate), m_idTemplate(idTemplate), m_idCaption(idCaption), m_cRef(1), m_pPageSite(nullptr)
{
    AfxOleLockApp();
}

COlePropertyPage::~COlePropertyPage()
{
    if (m_hWnd)
        DestroyWindow();
    if (m_pPageSite)
        m_pPageSite->Release();
    AfxOleUnlockApp();
}

HRESULT COlePropertyPage::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyPage)) {
        *ppv = static_cast<IPropertyPage*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG COlePropertyPage::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&m_cRef));
}

ULONG COlePropertyPage::Release()
{
    LONG n = ::InterlockedDecrement(&m_cRef);
    if (n == 0)
        delete this;
    return static_cast<ULONG>(n);
}

HRESULT COlePropertyPage::SetPageSite(IPropertyPageSite* pPageSite)
{
    if (pPageSite)
        pPageSite->AddRef();
    if (m_pPageSite)
        m_pPageSite->Release();
    m_pPageSite = pPageSite;
    return S_OK;
}

HRESULT COlePropertyPage::Activate(HWND hWndParent, LPCRECT pRect, BOOL)
{
    if (m_hWnd)
        return E_UNEXPECTED;
    HWND hWnd = ::CreateDialogParamA(AfxGetModuleInstance(), MAKEINTRESOURCEA(m_idTemplate), hWndParent, AfxDlgProc,
                                     reinterpret_cast<LPARAM>(static_cast<CDialog*>(this)));
    if (!hWnd)
        return E_FAIL;
    if (pRect)
        MoveWindow(pRect);
    return S_OK;
}

HRESULT COlePropertyPage::Deactivate()
{
    if (m_hWnd)
        DestroyWindow();
    return S_OK;
}

HRESULT COlePropertyPage::GetPageInfo(PROPPAGEINFO* pPageInfo)
{
    if (!pPageInfo)
        return E_POINTER;
    // The template's size in dialog units, turned into pixels by the
    // system font's average character.
    SIZE size = {0, 0};
    HINSTANCE hInst = AfxGetModuleInstance();
    HRSRC hRes = ::FindResourceA(hInst, MAKEINTRESOURCEA(m_idTemplate), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    const WORD* tmpl = hRes ? static_cast<const WORD*>(::LockResource(::LoadResource(hInst, hRes))) : nullptr;
    if (tmpl && ::SizeofResource(hInst, hRes) >= 26) {
        // An extended template starts with 1, 0xFFFF; its cx, cy follow at word 11.
        bool ex = tmpl[0] == 1 && tmpl[1] == 0xFFFF;
        const short* dims = reinterpret_cast<const short*>(tmpl + (ex ? 11 : 7));
        LONG units = ::GetDialogBaseUnits();
        size.cx = ::MulDiv(dims[0], LOWORD(units), 4);
        size.cy = ::MulDiv(dims[1], HIWORD(units), 8);
    }
    pPageInfo->cb = sizeof(PROPPAGEINFO);
    pPageInfo->pszTitle = AfxAllocTaskWideString(AfxLoadModuleString(m_idCaption));
    pPageInfo->size = size;
    pPageInfo->pszDocString = nullptr;
    pPageInfo->pszHelpFile = nullptr;
    pPageInfo->dwHelpContext = 0;
    return pPageInfo->pszTitle ? S_OK : E_OUTOFMEMORY;
}

HRESULT COlePropertyPage::SetObjects(ULONG cObjects, IUnknown** ppUnk)
{
    // The page shows no settings, so it needs no reference to the objects.
    return cObjects && !ppUnk ? E_POINTER : S_OK;
}

HRESULT COlePropertyPage::Show(UINT nCmdShow)
{
    if (!m_hWnd)
        return E_UNEXPECTED;
    ShowWindow(static_cast<int>(nCmdShow));
    return S_OK;
}

HRESULT COlePropertyPage::Move(LPCRECT pRect)
{
    if (!pRect)
        return E_POINTER;
    if (!m_hWnd)
        return E_UNEXPECTED;
    MoveWindow(pRect);
    return S_OK;
}

HRESULT COlePropertyPage::TranslateAccelerator(MSG* pMsg)
{
    return pMsg && m_hWnd && ::IsDialogMessageA(m_hWnd, pMsg) ? S_OK : S_FALSE;
}
