#include "SinkObject.h"

#include "Comn.h"
#include "TessalyExtRes.h"

using namespace PalmDesktop;

namespace {

// What the control does for one of Palm Desktop's menu items.
enum Action : UINT {
    Disabled,        // shown disabled; never run
    Save,            // save request
    Categories,      // the category dialog
    ViewCommand,     // the view's own command of that ID, with its state
};

struct HostCommand {
    UINT nMenuID;
    UINT nItemID;
    Action action;
    UINT nViewID;
};

// Host command mapping: the host's item IDs and the view's command IDs.
const HostCommand kHostCommands[] = {
    {MenuFile, CmdFileNew, Disabled, 0},
    {MenuFile, CmdFileSave, Save, 0},
    {MenuFile, CmdFileImport, Disabled, 0},
    {MenuFile, CmdFileExport, Disabled, 0},
    {MenuFile, CmdFilePrint, Disabled, 0},
    {MenuEdit, CmdEditUndo, ViewCommand, 57643},
    {MenuEdit, CmdEditCut, ViewCommand, 57635},
    {MenuEdit, CmdEditCopy, ViewCommand, 57634},
    {MenuEdit, CmdEditPaste, ViewCommand, 57637},
    {MenuEdit, CmdEditDelete, ViewCommand, 14},
    {MenuEdit, CmdEditSelectAll, ViewCommand, 57642},
    {MenuView, CmdViewList, Disabled, 0},
    {MenuView, CmdViewLarge, Disabled, 0},
    {MenuView, CmdViewSmall, Disabled, 0},
    {MenuTools, CmdToolsCategories, Categories, 0},
};
const size_t kHostCommandCount = sizeof kHostCommands / sizeof kHostCommands[0];

// The control's own item goes this far above the add-on's command base.
const LONG kOwnCommandOffset = 100;

template <class I>
void ReleaseAndNull(I*& p)
{
    if (p) {
        I* tmp = p;
        p = nullptr;
        tmp->Release();
    }
}

// The arguments of one event, counted from the first parameter (DISPPARAMS
// holds them last first). Out parameters are VT_BYREF arguments.
class EventArgs {
public:
    explicit EventArgs(const DISPPARAMS* p) : m_p(p) {}

    bool Has(UINT n) const { return m_p && m_p->cArgs >= n && (n == 0 || m_p->rgvarg); }
    const VARIANT* At(UINT i) const { return Has(i + 1) ? &m_p->rgvarg[m_p->cArgs - 1 - i] : nullptr; }

    bool Long(UINT i, LONG& value) const
    {
        const VARIANT* v = At(i);
        VARIANT tmp;
        ::VariantInit(&tmp);
        if (!v || FAILED(::VariantCopyInd(&tmp, const_cast<VARIANT*>(v))) || FAILED(::VariantChangeType(&tmp, &tmp, 0, VT_I4))) {
            ::VariantClear(&tmp);
            return false;
        }
        value = tmp.lVal;
        return true;
    }

    bool String(UINT i, CString& value) const
    {
        const VARIANT* v = At(i);
        VARIANT tmp;
        ::VariantInit(&tmp);
        bool ok = v && SUCCEEDED(::VariantCopyInd(&tmp, const_cast<VARIANT*>(v))) && SUCCEEDED(::VariantChangeType(&tmp, &tmp, 0, VT_BSTR));
        if (ok)
            value = AfxBSTRToString(tmp.bstrVal);
        ::VariantClear(&tmp);
        return ok;
    }

    LONG* OutLong(UINT i) const
    {
        const VARIANT* v = At(i);
        return v && v->vt == (VT_I4 | VT_BYREF) ? v->plVal : nullptr;
    }

    // Whatever the caller left in the out string is not ours to free.
    BSTR* OutString(UINT i) const
    {
        const VARIANT* v = At(i);
        return v && v->vt == (VT_BSTR | VT_BYREF) ? v->pbstrVal : nullptr;
    }

private:
    const DISPPARAMS* m_p;
};

} // namespace

// ------------------------------------------------------------ the object

SinkObject::SinkObject()
    : m_cRef(1), m_events{{this, ServiceEvents}, {this, ApplicationEvents}, {this, FrameEvents}},
      m_pView(nullptr), m_pService(nullptr), m_pApplication(nullptr), m_pFrame(nullptr), m_dwCookie{0, 0, 0},
      m_hostCommands(kHostCommandCount, -1), m_nOwnCommand(-1), m_bMenuAdded(false)
{
    AfxOleLockApp();
}

SinkObject::~SinkObject()
{
    Detach();
    AfxOleUnlockApp();
}

HRESULT SinkObject::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_ISinkObject)) {
        *ppv = static_cast<ISinkObject*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG SinkObject::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&m_cRef));
}

ULONG SinkObject::Release()
{
    LONG n = ::InterlockedDecrement(&m_cRef);
    if (n == 0)
        delete this;
    return static_cast<ULONG>(n);
}

HRESULT SinkObject::GetTypeInfoCount(UINT* pctinfo)
{
    if (!pctinfo)
        return E_POINTER;
    *pctinfo = 1;
    return S_OK;
}

HRESULT SinkObject::GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo)
{
    if (!ppTInfo)
        return E_POINTER;
    *ppTInfo = nullptr;
    if (iTInfo != 0)
        return DISP_E_BADINDEX;
    return AfxGetModuleTypeInfo(IID_ISinkObject, ppTInfo);
}

HRESULT SinkObject::GetIDsOfNames(REFIID, LPOLESTR*, UINT cNames, LCID, DISPID* rgDispId)
{
    return AfxNoDispatchNames(cNames, rgDispId);
}

HRESULT SinkObject::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
{
    return DISP_E_MEMBERNOTFOUND;
}

void SinkObject::SetService(IAddOnService* pService)
{
    Detach();
    if (!pService)
        return;
    m_pService = pService;
    m_pService->AddRef();
    IDispatch* pDisp = nullptr;
    if (SUCCEEDED(m_pService->GetApplication(&pDisp)) && pDisp) {
        if (FAILED(pDisp->QueryInterface(IID_IApplication, reinterpret_cast<void**>(&m_pApplication))))
            m_pApplication = nullptr;
        pDisp->Release();
    }
    pDisp = nullptr;
    if (m_pApplication && SUCCEEDED(m_pApplication->GetFrame(&pDisp)) && pDisp) {
        if (FAILED(pDisp->QueryInterface(IID_IFrame, reinterpret_cast<void**>(&m_pFrame))))
            m_pFrame = nullptr;
        pDisp->Release();
    }
}

IUnknown* SinkObject::EventSource(EventSet set) const
{
    switch (set) {
    case ServiceEvents:
        return m_pService;
    case ApplicationEvents:
        return m_pApplication;
    default:
        return m_pFrame;
    }
}

namespace {

const IID& EventIID(SinkObject::EventSet set)
{
    static const IID* const iids[] = {&DIID_ServiceEvents, &DIID_ApplicationEvents, &DIID_FrameEvents};
    return *iids[set];
}

// The connection point of one event interface on the host's object.
IConnectionPoint* FindPoint(IUnknown* pSource, REFIID iid)
{
    IConnectionPointContainer* pContainer = nullptr;
    IConnectionPoint* pPoint = nullptr;
    if (pSource
        && SUCCEEDED(pSource->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&pContainer)))
        && pContainer) {
        if (FAILED(pContainer->FindConnectionPoint(iid, &pPoint)))
            pPoint = nullptr;
        pContainer->Release();
    }
    return pPoint;
}

} // namespace

void SinkObject::Connect()
{
    for (int i = 0; i < EventSetCount; ++i) {
        EventSet set = static_cast<EventSet>(i);
        if (m_dwCookie[set])
            continue;
        if (IConnectionPoint* pPoint = FindPoint(EventSource(set), EventIID(set))) {
            DWORD cookie = 0;
            if (SUCCEEDED(pPoint->Advise(static_cast<IDispatch*>(&m_events[set]), &cookie)))
                m_dwCookie[set] = cookie;
            pPoint->Release();
        }
    }
}

void SinkObject::Detach()
{
    // The caller holds a reference, so the host's releases on unadvising
    // never take the last one.
    for (int i = 0; i < EventSetCount; ++i) {
        EventSet set = static_cast<EventSet>(i);
        if (!m_dwCookie[set])
            continue;
        if (IConnectionPoint* pPoint = FindPoint(EventSource(set), EventIID(set))) {
            pPoint->Unadvise(m_dwCookie[set]);
            pPoint->Release();
        }
        m_dwCookie[set] = 0;
    }
    m_pView = nullptr;
    ReleaseAndNull(m_pFrame);
    ReleaseAndNull(m_pApplication);
    ReleaseAndNull(m_pService);
}

// ------------------------------------------------------------- activation

HMENU SinkObject::GetViewMenu(HMENU* phMenuBar) const
{
    LONG hBar = 0, nPos = -1;
    if (!m_pFrame || FAILED(m_pFrame->GetMenuBar(&hBar)))
        return nullptr;
    HMENU hMenuBar = reinterpret_cast<HMENU>(static_cast<LONG_PTR>(hBar));
    if (phMenuBar)
        *phMenuBar = hMenuBar;
    if (!::IsMenu(hMenuBar) || FAILED(m_pFrame->GetMenuPosition(MenuView, 0, &nPos)) || nPos < 0)
        return nullptr;
    return ::GetSubMenu(hMenuBar, nPos);
}

void SinkObject::Activate(LONG bActive)
{
    HMENU hMenuBar = nullptr;
    HMENU hView = GetViewMenu(&hMenuBar);
    if (!bActive) {
        LONG p = -1;
        // Only what activation added goes: the separator after item 19053
        // and the own item after it, never an item of the host's.
        if (hView && m_bMenuAdded && SUCCEEDED(m_pFrame->GetMenuPosition(MenuView, CmdViewSmall, &p)) && p >= 0
            && ::GetMenuItemID(hView, p + 2) == static_cast<UINT>(m_nOwnCommand)
            && (::GetMenuState(hView, p + 1, MF_BYPOSITION) & MF_SEPARATOR)) {
            ::DeleteMenu(hView, p + 1, MF_BYPOSITION);
            ::DeleteMenu(hView, p + 1, MF_BYPOSITION);
        }
        m_bMenuAdded = false;
    } else {
        LONG nBase = 0;
        if (m_pService && SUCCEEDED(m_pService->GetCommandIDBase(&nBase)))
            m_nOwnCommand = nBase + kOwnCommandOffset;
        if (hView && !m_bMenuAdded && m_nOwnCommand != -1) {
            CString text = AfxLoadModuleString(IDS_SHOW_COLUMNS_ITEM);
            ::AppendMenuA(hView, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuA(hView, MF_STRING, static_cast<UINT_PTR>(m_nOwnCommand), text);
            m_bMenuAdded = true;
        }
        // The host may number its items as it likes; read what it uses now.
        for (size_t i = 0; i < kHostCommandCount; ++i) {
            LONG nMenuPos = -1, nItemPos = -1;
            HMENU hSub = nullptr;
            m_hostCommands[i] = -1;
            if (m_pFrame && ::IsMenu(hMenuBar)
                && SUCCEEDED(m_pFrame->GetMenuPosition(kHostCommands[i].nMenuID, 0, &nMenuPos)) && nMenuPos >= 0
                && (hSub = ::GetSubMenu(hMenuBar, nMenuPos)) != nullptr
                && SUCCEEDED(m_pFrame->GetMenuPosition(kHostCommands[i].nMenuID, kHostCommands[i].nItemID, &nItemPos))
                && nItemPos >= 0)
                m_hostCommands[i] = static_cast<LONG>(::GetMenuItemID(hSub, nItemPos));
        }
    }
    if (m_pView)
        m_pView->Activate(bActive ? TRUE : FALSE);
}

// --------------------------------------------------------------- commands

void SinkObject::RunCommand(LONG nCommand, LONG* pbHandled)
{
    *pbHandled = 0;
    CSinkView* pView = m_pView;
    if (!pView || nCommand == -1)
        return;
    if (nCommand == m_nOwnCommand) {
        pView->ShowColumns();
        *pbHandled = 1;
        return;
    }
    for (size_t i = 0; i < kHostCommandCount; ++i) {
        if (m_hostCommands[i] != nCommand)
            continue;
        switch (kHostCommands[i].action) {
        case Save:
            pView->SaveDataFile();
            break;
        case Categories:
            pView->EditCategories();
            break;
        case ViewCommand:
            pView->RunCommand(kHostCommands[i].nViewID);
            break;
        default:
            return;
        }
        *pbHandled = 1;
        return;
    }
}

void SinkObject::GetCommandState(LONG nCommand, LONG* pbHandled, LONG* pbEnabled, LONG* pbChecked,
                                 LONG* pnReserved)
{
    *pbHandled = *pbEnabled = *pbChecked = *pnReserved = 0;
    if (nCommand == -1)
        return;
    for (size_t i = 0; i < kHostCommandCount; ++i) {
        if (m_hostCommands[i] != nCommand)
            continue;
        if (kHostCommands[i].action == Disabled) {
            *pbHandled = 1;
        } else if (kHostCommands[i].action == ViewCommand) {
            if (CSinkView* pView = m_pView) {
                int handled = 0, enabled = 0, checked = 0, reserved = 0;
                pView->GetCommandState(kHostCommands[i].nViewID, handled, enabled, checked, reserved);
                *pbHandled = handled;
                *pbEnabled = enabled;
                *pbChecked = checked;
            }
        }
        return;
    }
}

// ----------------------------------------------------------------- events

HRESULT SinkObject::EventDispatch::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, EventIID(m_set))) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT SinkObject::EventDispatch::GetTypeInfoCount(UINT* pctinfo)
{
    if (!pctinfo)
        return E_POINTER;
    *pctinfo = 0;
    return S_OK;
}

HRESULT SinkObject::EventDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo)
{
    if (ppTInfo)
        *ppTInfo = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT SinkObject::EventDispatch::GetIDsOfNames(REFIID, LPOLESTR*, UINT cNames, LCID, DISPID* rgDispId)
{
    return AfxNoDispatchNames(cNames, rgDispId);
}

HRESULT SinkObject::EventDispatch::Invoke(DISPID dispIdMember, REFIID, LCID, WORD, DISPPARAMS* pDispParams,
                                          VARIANT*, EXCEPINFO*, UINT*)
{
    // The handler may end the last connection; the sink lives to the end.
    m_pOwner->AddRef();
    HRESULT hr = S_OK;
    if (m_set == ServiceEvents)
        hr = m_pOwner->OnServiceEvent(dispIdMember, pDispParams);
    else if (m_set == ApplicationEvents)
        hr = m_pOwner->OnApplicationEvent(dispIdMember, pDispParams);
    m_pOwner->Release();
    return hr;   // frame events: none is acted on
}

HRESULT SinkObject::OnServiceEvent(DISPID dispid, DISPPARAMS* pParams)
{
    EventArgs args(pParams);
    switch (dispid) {
    case evActivate: {
        LONG bActive = 0;
        if (!args.Long(0, bActive))
            return DISP_E_TYPEMISMATCH;
        Activate(bActive);
        return S_OK;
    }
    case evUserChanged:
    case evSave: {
        CString user, path;
        if (!args.String(0, user) || !args.String(1, path))
            return DISP_E_TYPEMISMATCH;
        if (CSinkView* pView = m_pView) {
            if (dispid == evUserChanged)
                pView->OpenDataFile(user, path);
            else
                pView->SaveDataFile();
        }
        return S_OK;
    }
    case evCommand: {
        LONG nCommand = 0;
        LONG* pbHandled = args.OutLong(1);
        if (!args.Long(0, nCommand) || !pbHandled)
            return DISP_E_TYPEMISMATCH;
        RunCommand(nCommand, pbHandled);
        return S_OK;
    }
    case evCommandState: {
        LONG nCommand = 0;
        LONG *pHandled = args.OutLong(1), *pEnabled = args.OutLong(2), *pChecked = args.OutLong(3),
             *pReserved = args.OutLong(4);
        if (!args.Long(0, nCommand) || !pHandled || !pEnabled || !pChecked || !pReserved)
            return DISP_E_TYPEMISMATCH;
        GetCommandState(nCommand, pHandled, pEnabled, pChecked, pReserved);
        return S_OK;
    }
    case evCommandHelp: {
        LONG nCommand = 0;
        LONG* pbHandled = args.OutLong(1);
        BSTR* pbstrText = args.OutString(2);
        if (!args.Long(0, nCommand) || !pbHandled || !pbstrText)
            return DISP_E_TYPEMISMATCH;
        *pbHandled = 0;
        if (nCommand != -1 && nCommand == m_nOwnCommand) {
            *pbstrText = AfxAllocBSTR(AfxLoadModuleString(IDS_SHOW_COLUMNS_HELP));
            *pbHandled = *pbstrText ? 1 : 0;
        }
        return S_OK;
    }
    case evQuery8:
    case evQuery9:
        if (LONG* pOut = pParams && pParams->cArgs ? args.OutLong(pParams->cArgs - 1) : nullptr)
            *pOut = 0;
        return S_OK;
    case evPreTranslate: {
        LONG f[7];
        LONG* pbHandled = args.OutLong(7);
        for (UINT i = 0; i < 7; ++i)
            if (!args.Long(i, f[i]))
                return DISP_E_TYPEMISMATCH;
        if (!pbHandled)
            return DISP_E_TYPEMISMATCH;
        MSG msg = {reinterpret_cast<HWND>(static_cast<LONG_PTR>(f[0])), static_cast<UINT>(f[1]),
                   static_cast<WPARAM>(f[2]), static_cast<LPARAM>(f[3]), static_cast<DWORD>(f[4]), {f[5], f[6]}};
        CSinkView* pView = m_pView;
        *pbHandled = pView && pView->PreTranslateMessage(&msg) ? 1 : 0;
        return S_OK;
    }
    case evFindStart: {
        CString text;
        LONG bMatchCase = 0, bWholeWord = 0;
        if (!args.String(0, text) || !args.Long(1, bMatchCase) || !args.Long(2, bWholeWord))
            return DISP_E_TYPEMISMATCH;
        if (CSinkView* pView = m_pView)
            pView->FindStart(text, bMatchCase == 1, bWholeWord == 1);
        return S_OK;
    }
    case evFindNext: {
        BSTR *pbstrFirst = args.OutString(0), *pbstrSecond = args.OutString(1);
        LONG *pnIndex = args.OutLong(2), *pbFound = args.OutLong(3);
        if (!pbstrFirst || !pbstrSecond || !pnIndex || !pbFound)
            return DISP_E_TYPEMISMATCH;
        *pbFound = 0;
        CString first, second;
        int nIndex = -1;
        CSinkView* pView = m_pView;
        if (pView && pView->FindNext(first, second, nIndex)) {
            // Both lines or none: a found memo whose lines cannot be handed
            // over is reported as not found.
            BSTR bstrFirst = AfxAllocBSTR(first), bstrSecond = AfxAllocBSTR(second);
            if (bstrFirst && bstrSecond) {
                *pbstrFirst = bstrFirst;
                *pbstrSecond = bstrSecond;
                *pnIndex = nIndex;
                *pbFound = 1;
            } else {
                ::SysFreeString(bstrFirst);
                ::SysFreeString(bstrSecond);
            }
        }
        return S_OK;
    }
    case evFindGoTo: {
        LONG nIndex = 0, bShow = 0;
        if (!args.Long(0, nIndex) || !args.Long(1, bShow))
            return DISP_E_TYPEMISMATCH;
        if (CSinkView* pView = m_pView)
            pView->FindGoTo(nIndex, bShow ? TRUE : FALSE);
        return S_OK;
    }
    default:
        return S_OK;   // 7, 11, 12, 16 and any other: nothing to do
    }
}

HRESULT SinkObject::OnApplicationEvent(DISPID dispid, DISPPARAMS* pParams)
{
    if (dispid != evHotSyncQuery)
        return S_OK;
    EventArgs args(pParams);
    LONG* pbAllowed = args.OutLong(1);
    BSTR* pbstrMessage = args.OutString(2);
    if (!pbAllowed || !pbstrMessage)
        return DISP_E_TYPEMISMATCH;
    *pbAllowed = NorvaneCommon::CComn::SyncOK() ? 1 : 0;
    *pbstrMessage = AfxAllocBSTR(*pbAllowed ? "" : static_cast<LPCSTR>(AfxLoadModuleString(IDS_HOTSYNC_REFUSED)));
    return S_OK;
}
