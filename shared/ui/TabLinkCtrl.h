// A strip of flat tabs hanging from its top edge, with an embossed logo on
// the right that opens a link. Everything is drawn by the control itself.
#pragma once

#include "NvComnApi.h"
#include "afx/afxwin.h"

#include <vector>

namespace NorvaneCommon {

class NVCOMN_API CTabLinkCtrl : public CWnd {
public:
    // Posted to the parent when the selection changes: wParam the new tab,
    // lParam the previous one.
    static const UINT WM_TABCHANGED = WM_USER + 0x444;   // 2116

    CTabLinkCtrl();
    ~CTabLinkCtrl() override;

    virtual BOOL Create(UINT nID, const RECT& rect, CWnd* pParentWnd);
    void AppendTab(LPCSTR lpszCaption);
    void SetURI(LPCSTR lpszLogo, LPCSTR lpszLink);
    void SetBKColor(COLORREF crBackground);
    void SetHandCursorID(int nID);
    int GetCurSel() const;
    int SetCurSel(int nIndex);
    // Lighter (delta > 0) or darker in proportion to the green component.
    COLORREF ShadeColor(COLORREF crColor, int nDelta);

protected:
    using CWnd::Create;
    void OnPaint() override;
    void OnSetFocus(CWnd* pOldWnd) override;
    void OnKillFocus(CWnd* pNewWnd) override;
    void OnLButtonDown(UINT nFlags, CPoint point) override;
    void OnMouseMove(UINT nFlags, CPoint point) override;

private:
    struct CTabData {
        CString strCaption;
        CRect rect;
    };

    void DrawTab(CDC& dc, int nIndex, int& x, const CRect& client);
    void DrawLogo(CDC& dc, int x, const CRect& client);

    CFont m_fontTab;
    CBrush m_brushFace;
    CPen m_penBlack;
    CPen m_penShadow;
    CPen m_penHighlight;
    CString m_strLink;
    CString m_strLogo;
    CRect m_rcLink;
    std::vector<CTabData> m_tabs;
    COLORREF m_crBackground;
    int m_nHandCursorID;
    int m_nCurSel;
    BOOL m_bFocus;
};

} // namespace NorvaneCommon
