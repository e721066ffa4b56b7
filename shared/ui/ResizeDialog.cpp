#include "ResizeDialog.h"

#include <algorithm>
#include <cstdio>

namespace NorvaneCommon {

namespace {

const UINT WM_RESIZE_CONTROLS = WM_USER + 0x44;   // 1092
const UINT SideBySide = 2;
const UINT Stacked = 8;

// How far a control may shrink; never negative, even when a control is
// already below its minimum.
int Slack(int size, int minimum)
{
    return std::max(0, size - minimum);
}

} // namespace

CResizeDialog::CResizeDialog(UINT nIDTemplate, CWnd* pParent)
    : CDialog(nIDTemplate, pParent), m_nDragging(NON_DRAGGING), m_sizeMargin(16, 16), m_nHSplitCursorID(0),
      m_nVSplitCursorID(0)
{
}

CResizeDialog::~CResizeDialog() {}

CResizeDialog::CResizeData* CResizeDialog::FindResizeData(UINT nID)
{
    for (CResizeData& d : m_resizeData)
        if (d.nID == nID)
            return &d;
    return nullptr;
}

void CResizeDialog::SetControlData(CResizeData& data)
{
    HWND hCtrl = ::GetDlgItem(m_hWnd, static_cast<int>(data.nID));
    if (!hCtrl)
        return;
    CRect rect;
    ::GetWindowRect(hCtrl, &rect);
    ScreenToClient(&rect);
    data.rcActual = rect;
    data.rcLayout = rect;
    CRect client;
    GetClientRect(&client);
    if (data.nFlags & StretchV)
        data.nBottomDistance = client.bottom - rect.bottom;
    else if (data.nFlags & MoveV)
        data.nBottomDistance = client.bottom - rect.top;
    if (data.nFlags & StretchH)
        data.nRightDistance = client.right - rect.right;
    else if (data.nFlags & MoveH)
        data.nRightDistance = client.right - rect.left;
}

void CResizeDialog::AddResizeControl(UINT nID, UINT nFlags)
{
    if (!::GetDlgItem(m_hWnd, static_cast<int>(nID)))
        return;
    CResizeData data = {};
    data.nID = nID;
    data.nFlags = nFlags;
    SetControlData(data);
    m_resizeData.push_back(data);
}

void CResizeDialog::SetControlMinSize(UINT nID, CSize size)
{
    if (CResizeData* d = FindResizeData(nID))
        d->sizeMin = size;
}

void CResizeDialog::AddControlRelation(UINT nFirstID, UINT nSecondID, UINT nFlags, int bSplitter)
{
    CResizeData* a = FindResizeData(nFirstID);
    CResizeData* b = FindResizeData(nSecondID);
    if (!a || !b)
        return;
    CRelationData r = {};
    r.nFlags = nFlags;
    r.bSplitter = bSplitter;
    const CRect& ra = a->rcLayout;
    const CRect& rb = b->rcLayout;
    if (nFlags & SideBySide) {
        r.nFlags = SideBySide;
        if (ra.right < rb.left) {
            r.nFirstID = nFirstID, r.nSecondID = nSecondID, r.nGap = rb.left - ra.right;
        } else if (rb.right < ra.left) {
            r.nFirstID = nSecondID, r.nSecondID = nFirstID, r.nGap = ra.left - rb.right;
        } else {
            return;
        }
    } else if (nFlags & Stacked) {
        r.nFlags = Stacked;
        if (ra.bottom < rb.top) {
            r.nFirstID = nFirstID, r.nSecondID = nSecondID, r.nGap = rb.top - ra.bottom;
        } else if (rb.bottom < ra.top) {
            r.nFirstID = nSecondID, r.nSecondID = nFirstID, r.nGap = ra.top - rb.bottom;
        } else {
            return;
        }
    } else {
        return;
    }
    m_relationData.push_back(r);
}

void CResizeDialog::RefreshSize(UINT nID)
{
    for (CResizeData& d : m_resizeData)
        if (nID == 0 || d.nID == nID)
            SetControlData(d);
}

void CResizeDialog::OnSize(UINT nType, int cx, int cy)
{
    CDialog::OnSize(nType, cx, cy);
    for (CResizeData& d : m_resizeData) {
        d.nPosFlags = SWP_NOSIZE | SWP_NOMOVE;
        CRect& r = d.rcLayout;
        if (d.nFlags & StretchV) {
            r.bottom = cy - d.nBottomDistance;
            d.nPosFlags = SWP_NOMOVE;
        } else if (d.nFlags & MoveV) {
            int h = r.Height();
            r.top = cy - d.nBottomDistance;
            r.bottom = r.top + h;
            d.nPosFlags &= ~SWP_NOMOVE;
        }
        if (d.nFlags & StretchH) {
            r.right = cx - d.nRightDistance;
            d.nPosFlags &= ~SWP_NOSIZE;
        } else if (d.nFlags & MoveH) {
            int w = r.Width();
            r.left = cx - d.nRightDistance;
            r.right = r.left + w;
            d.nPosFlags &= ~SWP_NOMOVE;
        }
        d.rcActual = r;
        if (d.rcActual.Width() < d.sizeMin.cx)
            d.rcActual.right = d.rcActual.left + d.sizeMin.cx;
        if (d.rcActual.Height() < d.sizeMin.cy)
            d.rcActual.bottom = d.rcActual.top + d.sizeMin.cy;
        if (d.nFlags & MarginBottom) {
            d.nPosFlags &= ~SWP_NOSIZE;
            if (cy < d.rcActual.bottom + m_sizeMargin.cy)
                d.rcActual.bottom = cy - m_sizeMargin.cy;
        }
        if (d.nFlags & MarginRight) {
            d.nPosFlags &= ~SWP_NOSIZE;
            if (cx < d.rcActual.right + m_sizeMargin.cx)
                d.rcActual.right = cx - m_sizeMargin.cx;
        }
    }
    for (const CRelationData& rel : m_relationData) {
        CResizeData* a = FindResizeData(rel.nFirstID);
        CResizeData* b = FindResizeData(rel.nSecondID);
        if (!a || !b)
            continue;
        if (rel.nFlags == SideBySide) {
            if (b->rcActual.left < a->rcActual.right + rel.nGap)
                b->rcActual.left = a->rcActual.right + rel.nGap;
        } else {
            if (b->rcActual.top < a->rcActual.bottom + rel.nGap)
                b->rcActual.top = a->rcActual.bottom + rel.nGap;
        }
    }
    for (const CResizeData& d : m_resizeData) {
        HWND hCtrl = ::GetDlgItem(m_hWnd, static_cast<int>(d.nID));
        if (!hCtrl)
            continue;
        ::SetWindowPos(hCtrl, nullptr, d.rcActual.left, d.rcActual.top, d.rcActual.Width(), d.rcActual.Height(),
                       d.nPosFlags | SWP_NOZORDER | SWP_NOACTIVATE);
        ::InvalidateRect(hCtrl, nullptr, TRUE);
    }
}

bool CResizeDialog::GetSplitterRect(size_t nRelation, CRect& rect)
{
    const CRelationData& rel = m_relationData[nRelation];
    if (!rel.bSplitter)
        return false;
    CResizeData* a = FindResizeData(rel.nFirstID);
    CResizeData* b = FindResizeData(rel.nSecondID);
    if (!a || !b)
        return false;
    if (rel.nFlags == SideBySide && m_nHSplitCursorID) {
        rect = CRect(a->rcActual.right, a->rcActual.top, b->rcActual.left, a->rcActual.bottom);
        return true;
    }
    if (rel.nFlags == Stacked && m_nVSplitCursorID) {
        rect = CRect(a->rcActual.left, a->rcActual.bottom, a->rcActual.right, b->rcActual.top);
        return true;
    }
    return false;
}

void CResizeDialog::SetSplitCursor(UINT nFlags)
{
    int id = nFlags == SideBySide ? m_nHSplitCursorID : m_nVSplitCursorID;
    if (!id)
        return;
    LPCSTR name = MAKEINTRESOURCEA(id);
    HINSTANCE hInst = AfxFindResourceHandle(name, MAKEINTRESOURCEA(12) /* RT_GROUP_CURSOR */);
    if (HCURSOR hCursor = ::LoadCursorA(hInst, name))
        ::SetCursor(hCursor);
}

void CResizeDialog::InvertSplitter(const CRect& rect)
{
    CClientDC dc(this);
    dc.InvertRect(&rect);
}

void CResizeDialog::OnMouseMove(UINT nFlags, CPoint point)
{
    if (m_nDragging == NON_DRAGGING) {
        for (size_t i = 0; i < m_relationData.size(); ++i) {
            CRect rect;
            if (GetSplitterRect(i, rect) && rect.PtInRect(point)) {
                SetSplitCursor(m_relationData[i].nFlags);
                break;
            }
        }
        CDialog::OnMouseMove(nFlags, point);
        return;
    }

    const CRelationData& rel = m_relationData[m_nDragging];
    CResizeData* a = FindResizeData(rel.nFirstID);
    CResizeData* b = FindResizeData(rel.nSecondID);
    int dx = point.x - m_ptDragStart.x;
    int dy = point.y - m_ptDragStart.y;
    if (a && b) {
        SetSplitCursor(rel.nFlags);
        if (rel.nFlags == SideBySide) {
            dy = 0;
            if (dx < 0)
                dx = -std::min(-dx, Slack(a->rcActual.Width(), a->sizeMin.cx));
            else if (dx > 0)
                dx = std::min(dx, Slack(b->rcActual.Width(), b->sizeMin.cx));
            if (m_rcSplitCurrent.left - m_rcSplitStart.left == dx)
                dx = 0;
        } else {
            dx = 0;
            if (dy < 0)
                dy = -std::min(-dy, Slack(a->rcActual.Height(), a->sizeMin.cy));
            else if (dy > 0)
                dy = std::min(dy, Slack(b->rcActual.Height(), b->sizeMin.cy));
            if (m_rcSplitCurrent.top - m_rcSplitStart.top == dy)
                dy = 0;
        }
        if (dx || dy) {
            InvertSplitter(m_rcSplitCurrent);
            m_rcSplitCurrent = m_rcSplitStart;
            m_rcSplitCurrent.OffsetRect(dx, dy);
            InvertSplitter(m_rcSplitCurrent);
        }
    }
    CDialog::OnMouseMove(nFlags, point);
}

void CResizeDialog::OnLButtonDown(UINT nFlags, CPoint point)
{
    if (m_nDragging == NON_DRAGGING) {
        for (size_t i = 0; i < m_relationData.size(); ++i) {
            CRect rect;
            if (GetSplitterRect(i, rect) && rect.PtInRect(point)) {
                m_nDragging = static_cast<DWORD>(i);
                m_rcSplitStart = rect;
                break;
            }
        }
        if (m_nDragging != NON_DRAGGING) {
            m_ptDragStart = point;
            m_rcSplitCurrent = m_rcSplitStart;
            SetCapture();
            InvertSplitter(m_rcSplitCurrent);
        }
    }
    CDialog::OnLButtonDown(nFlags, point);
}

void CResizeDialog::OnLButtonUp(UINT nFlags, CPoint point)
{
    if (m_nDragging != NON_DRAGGING) {
        InvertSplitter(m_rcSplitCurrent);
        const CRelationData& rel = m_relationData[m_nDragging];
        LPARAM pos = rel.nFlags == SideBySide ? m_rcSplitCurrent.right : m_rcSplitCurrent.bottom;
        PostMessage(WM_RESIZE_CONTROLS, m_nDragging, pos);
        m_nDragging = NON_DRAGGING;
        ::ReleaseCapture();
    }
    CDialog::OnLButtonUp(nFlags, point);
}

LRESULT CResizeDialog::OnResizeControls(WPARAM wParam, LPARAM lParam)
{
    // Posted messages may outlive a relation list; ignore what is not there.
    if (wParam >= m_relationData.size())
        return 0;
    const CRelationData rel = m_relationData[wParam];
    CResizeData* a = FindResizeData(rel.nFirstID);
    CResizeData* b = FindResizeData(rel.nSecondID);
    if (!a || !b)
        return 0;
    const int position = static_cast<int>(lParam);
    HDWP hdwp = ::BeginDeferWindowPos(2);
    if (hdwp) {
        if (rel.nFlags == SideBySide) {
            int delta = position - b->rcActual.left;
            if (delta < 0)
                delta = -std::min(-delta, Slack(a->rcActual.Width(), a->sizeMin.cx));
            else if (delta > 0)
                delta = std::min(delta, Slack(b->rcActual.Width(), b->sizeMin.cx));
            a->rcActual.right += delta;
            b->rcActual.left += delta;
        } else {
            int delta = position - b->rcActual.top;
            if (delta < 0)
                delta = -std::min(-delta, Slack(a->rcActual.Height(), a->sizeMin.cy));
            else if (delta > 0)
                delta = std::min(delta, Slack(b->rcActual.Height(), b->sizeMin.cy));
            a->rcActual.bottom += delta;
            b->rcActual.top += delta;
        }
        for (CResizeData* d : {a, b}) {
            HWND hCtrl = ::GetDlgItem(m_hWnd, static_cast<int>(d->nID));
            if (hCtrl && hdwp)
                hdwp = ::DeferWindowPos(hdwp, hCtrl, nullptr, d->rcActual.left, d->rcActual.top, d->rcActual.Width(),
                                        d->rcActual.Height(), SWP_NOZORDER);
        }
        if (hdwp)
            ::EndDeferWindowPos(hdwp);
    }
    RefreshSize(rel.nFirstID);
    RefreshSize(rel.nSecondID);
    return 0;
}

LRESULT CResizeDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_RESIZE_CONTROLS)
        return OnResizeControls(wParam, lParam);
    return CDialog::WindowProc(message, wParam, lParam);
}

void CResizeDialog::SaveResizePlacements(LPCSTR lpszSection, LPCSTR lpszKeyPrefix)
{
    CWinApp* pApp = AfxGetApp();
    if (!pApp)
        return;
    int counter = 0;
    for (const CRelationData& rel : m_relationData) {
        if (!rel.bSplitter)
            continue;
        ++counter;
        CResizeData* b = FindResizeData(rel.nSecondID);
        int edge = b ? (rel.nFlags == SideBySide ? b->rcLayout.left : b->rcLayout.top) : 0;
        CString key, value;
        key.Format("%s%d", lpszKeyPrefix, counter);
        value.Format("%i %i %i", rel.nFirstID, rel.nSecondID, edge);
        pApp->WriteProfileString(lpszSection, key, value);
    }
}

void CResizeDialog::LoadResizePlacements(LPCSTR lpszSection, LPCSTR lpszKeyPrefix)
{
    CWinApp* pApp = AfxGetApp();
    if (!pApp)
        return;
    for (int n = 1;; ++n) {
        CString key;
        key.Format("%s%d", lpszKeyPrefix, n);
        CString value = pApp->GetProfileString(lpszSection, key);
        if (value.IsEmpty())
            break;
        int first = 0, second = 0, edge = 0;
        if (std::sscanf(value, "%i %i %i", &first, &second, &edge) != 3)
            continue;
        for (size_t i = 0; i < m_relationData.size(); ++i) {
            const CRelationData& rel = m_relationData[i];
            if (static_cast<int>(rel.nFirstID) == first && static_cast<int>(rel.nSecondID) == second) {
                PostMessage(WM_RESIZE_CONTROLS, i, edge);
                break;
            }
        }
    }
}

} // namespace NorvaneCommon
