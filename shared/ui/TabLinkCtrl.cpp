#include "TabLinkCtrl.h"

#include "NvComnRes.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>

namespace NorvaneCommon {

namespace {

int Clamp(int v)
{
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

// The face name comes from the string table: Japanese text stays out of code.
void MakeFont(CFont& font, UINT nIDFace, int nHeight, int nWeight)
{
    LOGFONTA lf = {};
    lf.lfHeight = nHeight;
    lf.lfWeight = nWeight;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    lf.lfQuality = DRAFT_QUALITY;   // 1: fast rendering
    CString face;
    AfxLoadString(nIDFace, face);
    lstrcpynA(lf.lfFaceName, face, LF_FACESIZE);
    font.CreateFontIndirect(&lf);
}

} // namespace

CTabLinkCtrl::CTabLinkCtrl()
    : m_crBackground(::GetSysColor(COLOR_BTNFACE)), m_nHandCursorID(-1), m_nCurSel(0), m_bFocus(FALSE)
{
    MakeFont(m_fontTab, IDS_TAB_FONT, 12, FW_NORMAL);
    m_brushFace.CreateSolidBrush(::GetSysColor(COLOR_BTNFACE));
    m_penBlack.CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    m_penShadow.CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_BTNSHADOW));
    m_penHighlight.CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_BTNHIGHLIGHT));
}

CTabLinkCtrl::~CTabLinkCtrl() {}

BOOL CTabLinkCtrl::Create(UINT nID, const RECT& rect, CWnd* pParentWnd)
{
    return CWnd::Create(nullptr, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP, rect,
                        pParentWnd, nID);
}

void CTabLinkCtrl::AppendTab(LPCSTR lpszCaption)
{
    CTabData tab;
    tab.strCaption = lpszCaption ? lpszCaption : "";
    m_tabs.push_back(tab);
}

void CTabLinkCtrl::SetURI(LPCSTR lpszLogo, LPCSTR lpszLink)
{
    m_strLogo = lpszLogo ? lpszLogo : "";
    m_strLink = lpszLink ? lpszLink : "";
}

void CTabLinkCtrl::SetBKColor(COLORREF crBackground) { m_crBackground = crBackground; }
void CTabLinkCtrl::SetHandCursorID(int nID) { m_nHandCursorID = nID; }
int CTabLinkCtrl::GetCurSel() const { return m_nCurSel; }

int CTabLinkCtrl::SetCurSel(int nIndex)
{
    const int previous = m_nCurSel;
    if (nIndex != previous) {
        m_nCurSel = nIndex;
        if (m_hWnd) {
            Invalidate();
            if (CWnd* pParent = GetParent())
                pParent->PostMessage(WM_TABCHANGED, static_cast<WPARAM>(nIndex), static_cast<LPARAM>(previous));
        }
    }
    return previous;
}

COLORREF CTabLinkCtrl::ShadeColor(COLORREF crColor, int nDelta)
{
    const int r = GetRValue(crColor), g = GetGValue(crColor), b = GetBValue(crColor);
    const int green = Clamp(g + nDelta);
    // Without green there is nothing to scale by: shift the others alike.
    if (g == 0)
        return RGB(Clamp(r + nDelta), green, Clamp(b + nDelta));
    return RGB(Clamp(r * green / g), green, Clamp(b * green / g));
}

void CTabLinkCtrl::OnPaint()
{
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    HGDIOBJ oldFont = dc.SelectObject(m_fontTab);
    HGDIOBJ oldPen = dc.SelectObject(m_penBlack);
    CBrush background(m_crBackground);
    CPen dark16(PS_SOLID, 1, ShadeColor(m_crBackground, -16));
    CPen dark64(PS_SOLID, 1, ShadeColor(m_crBackground, -64));

    dc.FillRect(&client, background);
    const int L = client.left, T = client.top, R = client.right;
    dc.SelectObject(m_penHighlight);
    dc.MoveTo(L, T);
    dc.LineTo(L + 1, T);
    dc.SelectObject(m_penShadow);
    dc.LineTo(R - 1, T);
    dc.SelectObject(m_penBlack);
    dc.LineTo(R, T);
    dc.MoveTo(L, T + 1);
    dc.LineTo(R, T + 1);
    dc.SelectObject(dark64);
    dc.MoveTo(L, T + 2);
    dc.LineTo(R, T + 2);
    dc.SelectObject(dark16);
    dc.MoveTo(L, T + 3);
    dc.LineTo(R, T + 3);

    int x = 0;
    for (int i = 0; i < static_cast<int>(m_tabs.size()); ++i)
        DrawTab(dc, i, x, client);
    DrawLogo(dc, x, client);
    dc.SelectObject(oldPen);
    dc.SelectObject(oldFont);
}

void CTabLinkCtrl::DrawTab(CDC& dc, int nIndex, int& x, const CRect& client)
{
    CTabData& tab = m_tabs[nIndex];
    const int h = client.Height();
    CSize text = dc.GetTextExtent(tab.strCaption, tab.strCaption.GetLength());
    int w = text.cx + 20;
    if (x + w > client.right)
        w = client.right - x;
    if (w < 0)
        w = 0;
    const bool selected = nIndex == m_nCurSel;
    const int top = selected ? 0 : 2;
    const int bottom = selected ? h - 2 : h - 4;
    const COLORREF face = selected ? ::GetSysColor(COLOR_BTNFACE) : ShadeColor(::GetSysColor(COLOR_BTNFACE), 16);
    tab.rect = CRect(x, top, x + w, bottom);
    if (w == 0)
        return;

    const int b = selected ? h - 1 : h - 3;
    CBrush faceBrush(face);
    dc.FillRect(&tab.rect, faceBrush);
    HGDIOBJ oldPen = dc.SelectObject(m_penHighlight);
    dc.MoveTo(x, top);
    dc.LineTo(x, b - 1);
    dc.SelectObject(m_penShadow);
    dc.MoveTo(x + 1, b - 1);
    dc.LineTo(x + w - 2, b - 1);
    dc.LineTo(x + w - 2, b - 2);
    dc.LineTo(x + w - 1, b - 2);
    dc.LineTo(x + w - 1, selected ? 0 : 1);
    dc.SelectObject(m_penBlack);
    dc.MoveTo(x, b - 1);
    dc.LineTo(x + 1, b);
    dc.LineTo(x + w - 2, b);
    dc.LineTo(x + w, b - 2);
    dc.LineTo(x + w, 1);

    CRect textRect(tab.rect.left + 2, tab.rect.top + 2, tab.rect.right - 2, tab.rect.bottom - 1);
    COLORREF oldBk = dc.SetBkColor(face);
    dc.DrawText(tab.strCaption, tab.strCaption.GetLength(), &textRect,
                DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_END_ELLIPSIS);
    if (!selected) {
        CPen darker(PS_SOLID, 1, ShadeColor(::GetSysColor(COLOR_BTNFACE), -16));
        CPen lighter(PS_SOLID, 1, ShadeColor(::GetSysColor(COLOR_BTNFACE), 16));
        dc.SelectObject(darker);
        dc.MoveTo(x, 2);
        dc.LineTo(x + w - 1, 2);
        dc.SelectObject(lighter);
        dc.MoveTo(x, 3);
        dc.LineTo(x + w - 1, 3);
        dc.SelectObject(m_penBlack);
    } else if (m_bFocus) {
        dc.DrawFocusRect(&textRect);
    }
    dc.SetBkColor(oldBk);
    dc.SelectObject(oldPen);
    x += w + 1;
}

void CTabLinkCtrl::DrawLogo(CDC& dc, int x, const CRect& client)
{
    m_rcLink = CRect(x + 10, client.top, client.right - 10, client.bottom);
    if (m_rcLink.Width() < 0) {
        m_rcLink.SetRectEmpty();
        return;
    }
    CFont logoFont;
    MakeFont(logoFont, IDS_LOGO_FONT, 12, FW_BOLD);
    HGDIOBJ oldFont = dc.SelectObject(logoFont);
    int oldMode = dc.SetBkMode(TRANSPARENT);
    CSize text = dc.GetTextExtent(m_strLogo, m_strLogo.GetLength());
    if (text.cx + 3 < m_rcLink.Width())
        m_rcLink.left = m_rcLink.right - (text.cx + 3);

    const UINT format = DT_SINGLELINE | DT_RIGHT | DT_VCENTER | DT_END_ELLIPSIS;
    COLORREF oldColor = dc.SetTextColor(ShadeColor(m_crBackground, -128));
    for (int dx = 0; dx <= 2; ++dx) {
        for (int dy = 0; dy <= 3; ++dy) {
            CRect r = m_rcLink;
            r.OffsetRect(dx, dy);
            dc.DrawText(m_strLogo, m_strLogo.GetLength(), &r, format);
        }
    }
    dc.SetTextColor(::GetSysColor(COLOR_BTNHIGHLIGHT));
    CRect r = m_rcLink;
    r.OffsetRect(1, 1);
    dc.DrawText(m_strLogo, m_strLogo.GetLength(), &r, format);
    m_rcLink.left += 2;
    m_rcLink.right += 1;
    dc.SetTextColor(oldColor);
    dc.SetBkMode(oldMode);
    dc.SelectObject(oldFont);
}

void CTabLinkCtrl::OnLButtonDown(UINT nFlags, CPoint point)
{
    if (!m_rcLink.IsRectEmpty() && m_rcLink.PtInRect(point)) {
        ::ShellExecuteA(nullptr, "open", m_strLink, nullptr, nullptr, SW_SHOWNORMAL);
        return;
    }
    for (size_t i = 0; i < m_tabs.size(); ++i) {
        if (m_tabs[i].rect.PtInRect(point)) {
            SetCurSel(static_cast<int>(i));
            SetFocus();
            break;
        }
    }
    CWnd::OnLButtonDown(nFlags, point);
}

void CTabLinkCtrl::OnMouseMove(UINT nFlags, CPoint point)
{
    if (m_nHandCursorID != -1 && !m_rcLink.IsRectEmpty() && m_rcLink.PtInRect(point)) {
        LPCSTR name = MAKEINTRESOURCEA(m_nHandCursorID);
        HINSTANCE hInst = AfxFindResourceHandle(name, MAKEINTRESOURCEA(12) /* RT_GROUP_CURSOR */);
        HCURSOR hCursor = ::LoadCursorA(hInst, name);
        if (!hCursor)
            hCursor = ::LoadCursorA(nullptr, name);   // a system cursor by its number
        if (hCursor)
            ::SetCursor(hCursor);
    }
    CWnd::OnMouseMove(nFlags, point);
}

void CTabLinkCtrl::OnSetFocus(CWnd* pOldWnd)
{
    CWnd::OnSetFocus(pOldWnd);
    m_bFocus = TRUE;
    Invalidate();
}

void CTabLinkCtrl::OnKillFocus(CWnd* pNewWnd)
{
    CWnd::OnKillFocus(pNewWnd);
    m_bFocus = FALSE;
    Invalidate();
}

} // namespace NorvaneCommon
