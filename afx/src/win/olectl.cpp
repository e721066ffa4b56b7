// Connection points and the control base class.
#include "afx/afxctl.h"

namespace {

template <class I>
void ReleaseAndNull(I*& p)
{
    if (p) {
        I* tmp = p;
        p = nullptr;
        tmp->Release();
    }
}

// HIMETRIC units of the screen's pixels.
SIZEL PixelsToHimetric(int cx, int cy)
{
    HDC hdc = ::GetDC(nullptr);
    SIZEL size = {::MulDiv(cx, 2540, ::GetDeviceCaps(hdc, LOGPIXELSX)),
                  ::MulDiv(cy, 2540, ::GetDeviceCaps(hdc, LOGPIXELSY))};
    ::ReleaseDC(nullptr, hdc);
    return size;
}

} // namespace

// ---------------------------------------------------------- connection points

CConnectionPoint::CConnectionPoint(IUnknown* pOwner, IConnectionPointContainer* pContainer, REFIID iid)
    : m_pOwner(pOwner), m_pContainer(pContainer), m_iid(iid), m_nextCookie(1)
{
}

CConnectionPoint::~CConnectionPoint()
{
    UnadviseAll();
}

std::vector<IUnknown*> CConnectionPoint::GetSinks() const
{
    std::vector<IUnknown*> sinks;
    for (const auto& entry : m_sinks)
        sinks.push_back(entry.second);
    return sinks;
}

void CConnectionPoint::UnadviseAll()
{
    auto sinks = std::move(m_sinks);
    m_sinks.clear();
    for (auto& entry : sinks)
        entry.second->Release();
}

HRESULT CConnectionPoint::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IConnectionPoint)) {
        *ppv = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CConnectionPoint::AddRef() { return m_pOwner->AddRef(); }
ULONG CConnectionPoint::Release() { return m_pOwner->Release(); }

HRESULT CConnectionPoint::GetConnectionInterface(IID* pIID)
{
    if (!pIID)
        return E_POINTER;
    *pIID = m_iid;
    return S_OK;
}

HRESULT CConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** ppCPC)
{
    if (!ppCPC)
        return E_POINTER;
    *ppCPC = m_pContainer;
    m_pContainer->AddRef();
    return S_OK;
}

HRESULT CConnectionPoint::Advise(IUnknown* pUnkSink, DWORD* pdwCookie)
{
    if (!pdwCookie)
        return E_POINTER;
    *pdwCookie = 0;
    if (!pUnkSink)
        return E_POINTER;
    IUnknown* pSink = nullptr;
    if (FAILED(pUnkSink->QueryInterface(m_iid, reinterpret_cast<void**>(&pSink))))
        return CONNECT_E_CANNOTCONNECT;
    *pdwCookie = m_nextCookie++;
    m_sinks.emplace_back(*pdwCookie, pSink);
    return S_OK;
}

HRESULT CConnectionPoint::Unadvise(DWORD dwCookie)
{
    for (auto it = m_sinks.begin(); it != m_sinks.end(); ++it)
        if (it->first == dwCookie) {
            IUnknown* pSink = it->second;
            m_sinks.erase(it);
            pSink->Release();
            return S_OK;
        }
    return CONNECT_E_NOCONNECTION;
}

HRESULT CConnectionPoint::EnumConnections(IEnumConnections** ppEnum)
{
    if (ppEnum)
        *ppEnum = nullptr;
    return E_NOTIMPL;
}

// ------------------------------------------------------------- the control

COleControl::COleControl(const COleControlClass& cls)
    : m_cls(cls), m_cRef(1), m_iidPrimary(IID_IDispatch), m_iidEvents(IID_NULL), m_pClientSite(nullptr),
      m_pInPlaceSite(nullptr), m_pInPlaceFrame(nullptr), m_pInPlaceDoc(nullptr), m_pOleAdviseHolder(nullptr),
      m_pViewAdviseSink(nullptr), m_dwViewAdviseAspects(0), m_dwViewAdviseFlags(0),
      m_eventPoint(static_cast<IOleObject*>(this), this, IID_NULL), m_sizeExtent(PixelsToHimetric(100, 50)),
      m_bInPlaceActive(FALSE), m_bUIActive(FALSE), m_bModified(FALSE)
{
    AfxOleLockApp();
}

COleControl::~COleControl()
{
    // The last reference is gone; whatever the container left standing goes too.
    if (m_hWnd)
        DestroyWindow();
    m_eventPoint.UnadviseAll();
    ReleaseAndNull(m_pInPlaceFrame);
    ReleaseAndNull(m_pInPlaceDoc);
    ReleaseAndNull(m_pInPlaceSite);
    ReleaseAndNull(m_pClientSite);
    ReleaseAndNull(m_pOleAdviseHolder);
    ReleaseAndNull(m_pViewAdviseSink);
    AfxOleUnlockApp();
}

void COleControl::InitializeIIDs(const IID* piidPrimary, const IID* piidEvents)
{
    m_iidPrimary = *piidPrimary;
    m_iidEvents = *piidEvents;
    m_eventPoint.SetIID(m_iidEvents);
}

HRESULT COleControl::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    void* p = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleObject))
        p = static_cast<IOleObject*>(this);
    else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceObject))
        p = static_cast<IOleInPlaceObject*>(this);
    else if (IsEqualIID(riid, IID_IOleInPlaceActiveObject))
        p = static_cast<IOleInPlaceActiveObject*>(this);
    else if (IsEqualIID(riid, IID_IViewObject) || IsEqualIID(riid, IID_IViewObject2))
        p = static_cast<IViewObject2*>(this);
    else if (IsEqualIID(riid, IID_IPersist) || IsEqualIID(riid, IID_IPersistStreamInit))
        p = static_cast<IPersistStreamInit*>(this);
    else if (IsEqualIID(riid, IID_IOleControl))
        p = static_cast<IOleControl*>(this);
    else if (IsEqualIID(riid, IID_IProvideClassInfo) || IsEqualIID(riid, IID_IProvideClassInfo2))
        p = static_cast<IProvideClassInfo2*>(this);
    else if (IsEqualIID(riid, IID_IConnectionPointContainer))
        p = static_cast<IConnectionPointContainer*>(this);
    else if (IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, m_iidPrimary))
        p = static_cast<IDispatch*>(this);
    *ppv = p;
    if (!p)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG COleControl::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&m_cRef));
}

ULONG COleControl::Release()
{
    LONG n = ::InterlockedDecrement(&m_cRef);
    if (n == 0)
        delete this;
    return static_cast<ULONG>(n);
}

// ------------------------------------------------------------------ IOleObject

HRESULT COleControl::SetClientSite(IOleClientSite* pClientSite)
{
    if (pClientSite)
        pClientSite->AddRef();
    ReleaseAndNull(m_pClientSite);
    m_pClientSite = pClientSite;
    OnSetClientSite();
    return S_OK;
}

HRESULT COleControl::GetClientSite(IOleClientSite** ppClientSite)
{
    if (!ppClientSite)
        return E_POINTER;
    *ppClientSite = m_pClientSite;
    if (m_pClientSite)
        m_pClientSite->AddRef();
    return S_OK;
}

HRESULT COleControl::Close(DWORD)
{
    InPlaceDeactivate();
    if (m_pOleAdviseHolder)
        m_pOleAdviseHolder->SendOnClose();
    return S_OK;
}

HRESULT COleControl::GetMoniker(DWORD, DWORD, IMoniker** ppmk)
{
    if (ppmk)
        *ppmk = nullptr;
    return E_NOTIMPL;
}

HRESULT COleControl::GetClipboardData(DWORD, IDataObject** ppDataObject)
{
    if (ppDataObject)
        *ppDataObject = nullptr;
    return E_NOTIMPL;
}

HRESULT COleControl::DoVerb(LONG iVerb, LPMSG, IOleClientSite* pActiveSite, LONG, HWND hwndParent,
                            LPCRECT lprcPosRect)
{
    switch (iVerb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
        return InPlaceActivate(iVerb, pActiveSite, hwndParent, lprcPosRect);
    case OLEIVERB_HIDE:
        UIDeactivate();
        if (m_hWnd)
            ShowWindow(SW_HIDE);
        return S_OK;
    default:
        return iVerb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
    }
}

HRESULT COleControl::EnumVerbs(IEnumOLEVERB** ppEnumOleVerb)
{
    if (ppEnumOleVerb)
        *ppEnumOleVerb = nullptr;
    return OLEOBJ_E_NOVERBS;
}

HRESULT COleControl::GetUserClassID(CLSID* pClsid)
{
    return GetClassID(pClsid);
}

HRESULT COleControl::GetUserType(DWORD, LPOLESTR* pszUserType)
{
    if (!pszUserType)
        return E_POINTER;
    *pszUserType = AfxAllocTaskWideString(AfxLoadModuleString(m_cls.idTypeName));
    return *pszUserType ? S_OK : E_OUTOFMEMORY;
}

HRESULT COleControl::SetExtent(DWORD dwDrawAspect, SIZEL* psizel)
{
    if (dwDrawAspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!psizel)
        return E_POINTER;
    m_sizeExtent = *psizel;
    return S_OK;
}

HRESULT COleControl::GetExtent(DWORD dwDrawAspect, SIZEL* psizel)
{
    if (dwDrawAspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!psizel)
        return E_POINTER;
    *psizel = m_sizeExtent;
    return S_OK;
}

HRESULT COleControl::Advise(IAdviseSink* pAdvSink, DWORD* pdwConnection)
{
    if (!m_pOleAdviseHolder && FAILED(::CreateOleAdviseHolder(&m_pOleAdviseHolder)))
        return E_OUTOFMEMORY;
    return m_pOleAdviseHolder->Advise(pAdvSink, pdwConnection);
}

HRESULT COleControl::Unadvise(DWORD dwConnection)
{
    return m_pOleAdviseHolder ? m_pOleAdviseHolder->Unadvise(dwConnection) : OLE_E_NOCONNECTION;
}

HRESULT COleControl::EnumAdvise(IEnumSTATDATA** ppenumAdvise)
{
    if (!ppenumAdvise)
        return E_POINTER;
    *ppenumAdvise = nullptr;
    return m_pOleAdviseHolder ? m_pOleAdviseHolder->EnumAdvise(ppenumAdvise) : S_OK;
}

HRESULT COleControl::GetMiscStatus(DWORD, DWORD* pdwStatus)
{
    if (!pdwStatus)
        return E_POINTER;
    *pdwStatus = m_cls.dwMiscStatus;
    return S_OK;
}

// ------------------------------------------------------ in-place activation

HRESULT COleControl::InPlaceActivate(LONG iVerb, IOleClientSite* pActiveSite, HWND hwndParent, LPCRECT lprcPosRect)
{
    if (!m_bInPlaceActive) {
        IOleClientSite* pSite = pActiveSite ? pActiveSite : m_pClientSite;
        if (!pSite || FAILED(pSite->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&m_pInPlaceSite))))
            return E_NOINTERFACE;
        if (m_pInPlaceSite->CanInPlaceActivate() != S_OK) {
            ReleaseAndNull(m_pInPlaceSite);
            return E_FAIL;
        }
        m_pInPlaceSite->OnInPlaceActivate();
        m_bInPlaceActive = TRUE;

        HWND hwndSite = nullptr;
        if (FAILED(m_pInPlaceSite->GetWindow(&hwndSite)) || !hwndSite)
            hwndSite = hwndParent;
        RECT rcPos = {0, 0, 0, 0}, rcClip = {0, 0, 0, 0};
        OLEINPLACEFRAMEINFO frameInfo = {};
        frameInfo.cb = sizeof frameInfo;
        if (FAILED(m_pInPlaceSite->GetWindowContext(&m_pInPlaceFrame, &m_pInPlaceDoc, &rcPos, &rcClip, &frameInfo))) {
            m_pInPlaceFrame = nullptr;   // whatever a failing call left there is not ours
            m_pInPlaceDoc = nullptr;
            if (lprcPosRect)
                rcPos = *lprcPosRect;
        }

        if (!m_hWnd) {
            if (!hwndSite || !Create(nullptr, nullptr, WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, rcPos,
                                     CWnd::FromHandle(hwndSite), 0)
                || OnCreate() == -1) {
                if (m_hWnd)
                    DestroyWindow();
                InPlaceDeactivate();
                return E_FAIL;
            }
        }
        ShowWindow(SW_SHOW);
    }
    if (iVerb == OLEIVERB_UIACTIVATE || iVerb == OLEIVERB_PRIMARY)
        return UIActivate();
    return S_OK;
}

HRESULT COleControl::UIActivate()
{
    if (m_bUIActive || !m_pInPlaceSite)
        return S_OK;
    m_bUIActive = TRUE;
    m_pInPlaceSite->OnUIActivate();
    if (m_pInPlaceFrame)
        m_pInPlaceFrame->SetActiveObject(this, nullptr);
    if (m_pInPlaceDoc)
        m_pInPlaceDoc->SetActiveObject(this, nullptr);
    if (m_hWnd && !::IsChild(m_hWnd, ::GetFocus()) && ::GetFocus() != m_hWnd)
        SetFocus();
    return S_OK;
}

HRESULT COleControl::UIDeactivate()
{
    if (!m_bUIActive)
        return S_OK;
    m_bUIActive = FALSE;
    if (m_pInPlaceFrame)
        m_pInPlaceFrame->SetActiveObject(nullptr, nullptr);
    if (m_pInPlaceDoc)
        m_pInPlaceDoc->SetActiveObject(nullptr, nullptr);
    if (m_pInPlaceSite)
        m_pInPlaceSite->OnUIDeactivate(FALSE);
    return S_OK;
}

HRESULT COleControl::InPlaceDeactivate()
{
    if (!m_bInPlaceActive)
        return S_OK;
    UIDeactivate();
    m_bInPlaceActive = FALSE;
    if (m_hWnd)
        DestroyWindow();
    if (m_pInPlaceSite)
        m_pInPlaceSite->OnInPlaceDeactivate();
    ReleaseInPlaceSite();
    return S_OK;
}

void COleControl::ReleaseInPlaceSite()
{
    ReleaseAndNull(m_pInPlaceFrame);
    ReleaseAndNull(m_pInPlaceDoc);
    ReleaseAndNull(m_pInPlaceSite);
}

HRESULT COleControl::GetWindow(HWND* phwnd)
{
    if (!phwnd)
        return E_POINTER;
    *phwnd = m_hWnd;
    return m_hWnd ? S_OK : E_FAIL;
}

HRESULT COleControl::SetObjectRects(LPCRECT lprcPosRect, LPCRECT)
{
    if (!lprcPosRect)
        return E_POINTER;
    if (m_hWnd)
        MoveWindow(lprcPosRect);
    m_sizeExtent = PixelsToHimetric(lprcPosRect->right - lprcPosRect->left, lprcPosRect->bottom - lprcPosRect->top);
    return S_OK;
}

HRESULT COleControl::TranslateAccelerator(LPMSG lpmsg)
{
    return lpmsg && OnTranslateAccelerator(lpmsg) ? S_OK : S_FALSE;
}

void COleControl::OnSetFocus(CWnd* pOldWnd)
{
    // A control that takes the focus becomes the UI-active object.
    if (m_bInPlaceActive && !m_bUIActive)
        UIActivate();
    CWnd::OnSetFocus(pOldWnd);
}

// ---------------------------------------------------------------- painting

void COleControl::OnPaint()
{
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(rc);
    OnDraw(&dc, rc, CRect(dc.m_ps.rcPaint));
}

HRESULT COleControl::Draw(DWORD dwDrawAspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC hdcDraw,
                          LPCRECTL lprcBounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR)
{
    if (dwDrawAspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!hdcDraw || !lprcBounds)
        return E_INVALIDARG;
    CDC dc;
    dc.m_hDC = hdcDraw;
    CRect rc(lprcBounds->left, lprcBounds->top, lprcBounds->right, lprcBounds->bottom);
    OnDraw(&dc, rc, rc);
    dc.m_hDC = nullptr;
    return S_OK;
}

HRESULT COleControl::SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* pAdvSink)
{
    if (pAdvSink)
        pAdvSink->AddRef();
    ReleaseAndNull(m_pViewAdviseSink);
    m_pViewAdviseSink = pAdvSink;
    m_dwViewAdviseAspects = aspects;
    m_dwViewAdviseFlags = advf;
    return S_OK;
}

HRESULT COleControl::GetAdvise(DWORD* pAspects, DWORD* pAdvf, IAdviseSink** ppAdvSink)
{
    if (pAspects)
        *pAspects = m_dwViewAdviseAspects;
    if (pAdvf)
        *pAdvf = m_dwViewAdviseFlags;
    if (ppAdvSink) {
        *ppAdvSink = m_pViewAdviseSink;
        if (m_pViewAdviseSink)
            m_pViewAdviseSink->AddRef();
    }
    return S_OK;
}

HRESULT COleControl::GetExtent(DWORD dwDrawAspect, LONG, DVTARGETDEVICE*, LPSIZEL lpsizel)
{
    return GetExtent(dwDrawAspect, lpsizel);
}

// -------------------------------------------------------------- persistence

HRESULT COleControl::GetClassID(CLSID* pClassID)
{
    if (!pClassID)
        return E_POINTER;
    *pClassID = *m_cls.pClsid;
    return S_OK;
}

HRESULT COleControl::Load(LPSTREAM pStm)
{
    if (!pStm)
        return E_POINTER;
    DWORD version = 0;
    ULONG got = 0;
    HRESULT hr = pStm->Read(&version, sizeof version, &got);
    if (FAILED(hr))
        return hr;
    // A property set cut short, or one of a later major version, is not ours.
    if (got != sizeof version || HIWORD(version) > HIWORD(PropertySetVersion))
        return E_FAIL;
    m_bModified = FALSE;
    return S_OK;
}

HRESULT COleControl::Save(LPSTREAM pStm, BOOL fClearDirty)
{
    if (!pStm)
        return E_POINTER;
    DWORD version = PropertySetVersion;
    HRESULT hr = pStm->Write(&version, sizeof version, nullptr);
    if (SUCCEEDED(hr) && fClearDirty)
        m_bModified = FALSE;
    return hr;
}

HRESULT COleControl::GetSizeMax(ULARGE_INTEGER* pCbSize)
{
    if (!pCbSize)
        return E_POINTER;
    pCbSize->QuadPart = sizeof(DWORD);
    return S_OK;
}

HRESULT COleControl::GetControlInfo(CONTROLINFO* pCI)
{
    if (!pCI)
        return E_POINTER;
    pCI->hAccel = nullptr;
    pCI->cAccel = 0;
    pCI->dwFlags = 0;
    return S_OK;
}

// ------------------------------------------------------ type information

HRESULT COleControl::GetClassInfo(ITypeInfo** ppTI)
{
    if (!ppTI)
        return E_POINTER;
    *ppTI = nullptr;
    return AfxGetModuleTypeInfo(*m_cls.pClsid, ppTI);
}

HRESULT COleControl::GetGUID(DWORD dwGuidKind, GUID* pGUID)
{
    if (!pGUID)
        return E_POINTER;
    if (dwGuidKind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *pGUID = GUID_NULL;
        return E_INVALIDARG;
    }
    *pGUID = m_iidEvents;
    return S_OK;
}

HRESULT COleControl::EnumConnectionPoints(IEnumConnectionPoints** ppEnum)
{
    if (ppEnum)
        *ppEnum = nullptr;
    return E_NOTIMPL;
}

HRESULT COleControl::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP)
{
    if (!ppCP)
        return E_POINTER;
    *ppCP = nullptr;
    if (IsEqualIID(riid, IID_NULL) || !IsEqualIID(riid, m_iidEvents))
        return CONNECT_E_NOCONNECTION;
    *ppCP = &m_eventPoint;
    AddRef();
    return S_OK;
}

HRESULT COleControl::GetTypeInfoCount(UINT* pctinfo)
{
    if (!pctinfo)
        return E_POINTER;
    *pctinfo = 1;
    return S_OK;
}

HRESULT COleControl::GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo)
{
    if (!ppTInfo)
        return E_POINTER;
    *ppTInfo = nullptr;
    if (iTInfo != 0)
        return DISP_E_BADINDEX;
    return AfxGetModuleTypeInfo(m_iidPrimary, ppTInfo);
}

HRESULT COleControl::GetIDsOfNames(REFIID, LPOLESTR*, UINT cNames, LCID, DISPID* rgDispId)
{
    return AfxNoDispatchNames(cNames, rgDispId);
}

HRESULT COleControl::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
{
    return DISP_E_MEMBERNOTFOUND;
}
