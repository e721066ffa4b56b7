// A dialog base whose controls follow the window's size by anchoring rules,
// keep minimum sizes, a margin and the gaps between related controls, and
// whose splitters (gaps between related controls) the user can drag.
#pragma once

#include "NvComnApi.h"
#include "afx/afxwin.h"

#include <vector>

namespace NorvaneCommon {

class NVCOMN_API CResizeDialog : public CDialog {
public:
    static const DWORD NON_DRAGGING = 0xFFFFFFFF;

    // Anchor flags of AddResizeControl; direction flags of AddControlRelation
    // are 2 (side by side) and 8 (one above the other).
    enum : UINT {
        MoveH = 1, StretchH = 2, MoveV = 4, StretchV = 8, MarginRight = 16, MarginBottom = 32
    };

    struct CResizeData {
        UINT nID;
        UINT nFlags;
        CSize sizeMin;
        CRect rcLayout;
        CRect rcActual;
        UINT nPosFlags;
        int nRightDistance;
        int nBottomDistance;
    };

    struct CRelationData {
        UINT nFirstID;
        UINT nSecondID;
        UINT nFlags;
        int nGap;
        int bSplitter;
    };

    explicit CResizeDialog(UINT nIDTemplate, CWnd* pParent = nullptr);
    ~CResizeDialog() override;

    void OnSize(UINT nType, int cx, int cy) override;
    void OnMouseMove(UINT nFlags, CPoint point) override;
    void OnLButtonDown(UINT nFlags, CPoint point) override;
    void OnLButtonUp(UINT nFlags, CPoint point) override;

protected:
    void AddResizeControl(UINT nID, UINT nFlags);
    void SetControlMinSize(UINT nID, CSize size);
    void AddControlRelation(UINT nFirstID, UINT nSecondID, UINT nFlags, int bSplitter);
    void RefreshSize(UINT nID);
    void SaveResizePlacements(LPCSTR lpszSection, LPCSTR lpszKeyPrefix);
    void LoadResizePlacements(LPCSTR lpszSection, LPCSTR lpszKeyPrefix);
    // Message 1092: wParam the relation, lParam the second control's new
    // left (side by side) or top edge.
    LRESULT OnResizeControls(WPARAM wParam, LPARAM lParam);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    std::vector<CResizeData> m_resizeData;
    std::vector<CRelationData> m_relationData;
    CPoint m_ptDragStart;
    DWORD m_nDragging;
    CRect m_rcSplitStart;
    CRect m_rcSplitCurrent;
    CSize m_sizeMargin;
    int m_nHSplitCursorID;
    int m_nVSplitCursorID;

private:
    void SetControlData(CResizeData& data);
    CResizeData* FindResizeData(UINT nID);
    // The splitter of a draggable relation whose cursor id is set.
    bool GetSplitterRect(size_t nRelation, CRect& rect);
    void SetSplitCursor(UINT nFlags);
    void InvertSplitter(const CRect& rect);
};

} // namespace NorvaneCommon
