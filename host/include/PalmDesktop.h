// Palm Desktop's add-on interfaces as an add-on meets them: the add-on
// manager and its entries (used at registration), the add-on service, the
// application, frame and status bar objects, and the events they fire.
//
// Palm Desktop publishes these only by their IDs and the positions of the
// operations in each function table (QueryInterface is 0). Every interface
// here derives from IDispatch (positions 3-6), and each operation stands at
// its published position; the slots in between are held by operations that
// add-ons do not call, declared so that the positions come out right. The
// desktop stand-in implements exactly these tables, and a test calls every
// used position through them.
#pragma once

#include <oaidl.h>
#include <objbase.h>

namespace PalmDesktop {

// {BE44897A-EB38-11D5-823F-00C04FA03755}
inline const CLSID CLSID_AddOnManager = {0xBE44897A, 0xEB38, 0x11D5, {0x82, 0x3F, 0x00, 0xC0, 0x4F, 0xA0, 0x37, 0x55}};
// {BE448979-EB38-11D5-823F-00C04FA03755}
inline const IID IID_IAddOnManager = {0xBE448979, 0xEB38, 0x11D5, {0x82, 0x3F, 0x00, 0xC0, 0x4F, 0xA0, 0x37, 0x55}};
// {F2FAEC00-ED8D-11D5-8240-00C04FA03755}
inline const IID IID_IAddOn = {0xF2FAEC00, 0xED8D, 0x11D5, {0x82, 0x40, 0x00, 0xC0, 0x4F, 0xA0, 0x37, 0x55}};
// {54193A73-FC5B-11D4-8193-00C04FA03755}: service ID and interface ID alike.
inline const IID IID_IAddOnService = {0x54193A73, 0xFC5B, 0x11D4, {0x81, 0x93, 0x00, 0xC0, 0x4F, 0xA0, 0x37, 0x55}};
// {5C42CA62-42E9-11D4-80F2-00C04FA03755}
inline const IID IID_IApplication = {0x5C42CA62, 0x42E9, 0x11D4, {0x80, 0xF2, 0x00, 0xC0, 0x4F, 0xA0, 0x37, 0x55}};
// {FCAB25CA-666B-11D5-81EA-00C04FA03755}
inline const IID IID_IFrame = {0xFCAB25CA, 0x666B, 0x11D5, {0x81, 0xEA, 0x00, 0xC0, 0x4F, 0xA0, 0x37, 0x55}};
// {DD9DBF68-C8A3-11D5-821C-00C04FA03755}
inline const IID IID_IStatusBar = {0xDD9DBF68, 0xC8A3, 0x11D5, {0x82, 0x1C, 0x00, 0xC0, 0x4F, 0xA0, 0x37, 0x55}};

// Event interfaces (dispinterfaces, reached through connection points).
// {54193A75-FC5B-11D4-8193-00C04FA03755}
inline const IID DIID_ServiceEvents = {0x54193A75, 0xFC5B, 0x11D4, {0x81, 0x93, 0x00, 0xC0, 0x4F, 0xA0, 0x37, 0x55}};
// {E1998732-7C8B-11D5-81FC-00C04FA03755}
inline const IID DIID_ApplicationEvents = {0xE1998732, 0x7C8B, 0x11D5, {0x81, 0xFC, 0x00, 0xC0, 0x4F, 0xA0, 0x37, 0x55}};
// {397003FA-6684-11D5-81EA-00C04FA03755}
inline const IID DIID_FrameEvents = {0x397003FA, 0x6684, 0x11D5, {0x81, 0xEA, 0x00, 0xC0, 0x4F, 0xA0, 0x37, 0x55}};

// Type libraries that describe them: the add-on service with its events, and
// the application, frame and status bar objects with theirs (both 1.0).
// {85C0BBA2-ECA7-11D4-8187-00C04FA03755}
inline const GUID LIBID_AddOnService = {0x85C0BBA2, 0xECA7, 0x11D4, {0x81, 0x87, 0x00, 0xC0, 0x4F, 0xA0, 0x37, 0x55}};
// {A197D5E6-43B4-11D4-80F3-00C04FA03755}
inline const GUID LIBID_Application = {0xA197D5E6, 0x43B4, 0x11D4, {0x80, 0xF3, 0x00, 0xC0, 0x4F, 0xA0, 0x37, 0x55}};

struct IAddOn;

// The add-on manager (positions 9 and 11 are the add-ons' own).
struct IAddOnManager : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* pnCount) = 0;                               // 7
    virtual HRESULT STDMETHODCALLTYPE Item(LONG nIndex, IAddOn** ppAddOn) = 0;                    // 8
    virtual HRESULT STDMETHODCALLTYPE CreateAddOn(BSTR bstrName, LONG nCreatorID, BSTR bstrDescription,
                                                  BSTR bstrLargeBitmap, IAddOn** ppAddOn) = 0;    // 9
    virtual HRESULT STDMETHODCALLTYPE Reserved10() = 0;                                           // 10
    virtual HRESULT STDMETHODCALLTYPE FindAddOn(BSTR bstrName, IAddOn** ppAddOn) = 0;             // 11
};

// One add-on entry: a property each (read at the odd position, written at
// the even one after it), and its removal.
struct IAddOn : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* pbstr) = 0;                  // 7
    virtual HRESULT STDMETHODCALLTYPE get_CreatorID(LONG* pnCreatorID) = 0;       // 8
    virtual HRESULT STDMETHODCALLTYPE get_MenuCaption(BSTR* pbstr) = 0;           // 9
    virtual HRESULT STDMETHODCALLTYPE put_MenuCaption(BSTR bstr) = 0;             // 10
    virtual HRESULT STDMETHODCALLTYPE get_NameText(BSTR* pbstr) = 0;              // 11
    virtual HRESULT STDMETHODCALLTYPE put_NameText(BSTR bstr) = 0;                // 12
    virtual HRESULT STDMETHODCALLTYPE get_Description(BSTR* pbstr) = 0;           // 13
    virtual HRESULT STDMETHODCALLTYPE put_Description(BSTR bstr) = 0;             // 14
    virtual HRESULT STDMETHODCALLTYPE get_DataFileName(BSTR* pbstr) = 0;          // 15
    virtual HRESULT STDMETHODCALLTYPE put_DataFileName(BSTR bstr) = 0;            // 16
    virtual HRESULT STDMETHODCALLTYPE get_DatabaseName(BSTR* pbstr) = 0;          // 17
    virtual HRESULT STDMETHODCALLTYPE put_DatabaseName(BSTR bstr) = 0;            // 18
    virtual HRESULT STDMETHODCALLTYPE get_LargeBitmap(BSTR* pbstr) = 0;           // 19
    virtual HRESULT STDMETHODCALLTYPE put_LargeBitmap(BSTR bstr) = 0;             // 20
    virtual HRESULT STDMETHODCALLTYPE Reserved21() = 0;                           // 21
    virtual HRESULT STDMETHODCALLTYPE Reserved22() = 0;                           // 22
    virtual HRESULT STDMETHODCALLTYPE get_SmallBitmap(BSTR* pbstr) = 0;           // 23
    virtual HRESULT STDMETHODCALLTYPE put_SmallBitmap(BSTR bstr) = 0;             // 24
    virtual HRESULT STDMETHODCALLTYPE Reserved25() = 0;                           // 25
    virtual HRESULT STDMETHODCALLTYPE Reserved26() = 0;                           // 26
    virtual HRESULT STDMETHODCALLTYPE Reserved27() = 0;                           // 27
    virtual HRESULT STDMETHODCALLTYPE Reserved28() = 0;                           // 28
    virtual HRESULT STDMETHODCALLTYPE Reserved29() = 0;                           // 29
    virtual HRESULT STDMETHODCALLTYPE Reserved30() = 0;                           // 30
    virtual HRESULT STDMETHODCALLTYPE get_Flag(LONG* pnFlag) = 0;                 // 31
    virtual HRESULT STDMETHODCALLTYPE put_Flag(LONG nFlag) = 0;                   // 32
    virtual HRESULT STDMETHODCALLTYPE Reserved33() = 0;                           // 33
    virtual HRESULT STDMETHODCALLTYPE Reserved34() = 0;                           // 34
    virtual HRESULT STDMETHODCALLTYPE Reserved35() = 0;                           // 35
    virtual HRESULT STDMETHODCALLTYPE Reserved36() = 0;                           // 36
    virtual HRESULT STDMETHODCALLTYPE Reserved37() = 0;                           // 37
    virtual HRESULT STDMETHODCALLTYPE Remove() = 0;                               // 38
};

// The add-on service that a hosted add-on reaches through its client site.
struct IAddOnService : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE GetApplication(IDispatch** ppApplication) = 0;       // 7
    virtual HRESULT STDMETHODCALLTYPE Reserved8() = 0;                                     // 8
    virtual HRESULT STDMETHODCALLTYPE Reserved9() = 0;                                     // 9
    virtual HRESULT STDMETHODCALLTYPE Reserved10() = 0;                                    // 10
    virtual HRESULT STDMETHODCALLTYPE Reserved11() = 0;                                    // 11
    virtual HRESULT STDMETHODCALLTYPE GetCommandIDBase(LONG* pnBase) = 0;                  // 12
    virtual HRESULT STDMETHODCALLTYPE Reserved13() = 0;                                    // 13
    virtual HRESULT STDMETHODCALLTYPE Reserved14() = 0;                                    // 14
    virtual HRESULT STDMETHODCALLTYPE Reserved15() = 0;                                    // 15
    virtual HRESULT STDMETHODCALLTYPE GetCurrentUser(BSTR* pbstrUser, BSTR* pbstrDataFile) = 0;   // 16
    virtual HRESULT STDMETHODCALLTYPE IsActive(LONG* pbActive) = 0;                        // 17
    virtual HRESULT STDMETHODCALLTYPE Reserved18() = 0;                                    // 18
    virtual HRESULT STDMETHODCALLTYPE SetReady(LONG bReady) = 0;                           // 19
};

struct IApplication : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved8() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved9() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved10() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved11() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved12() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved13() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved14() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved15() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFrame(IDispatch** ppFrame) = 0;                   // 16
};

struct IFrame : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved8() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved9() = 0;
    // The menu bar's handle, as a 32-bit integer.
    virtual HRESULT STDMETHODCALLTYPE GetMenuBar(LONG* phMenu) = 0;                        // 10
    virtual HRESULT STDMETHODCALLTYPE Reserved11() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved12() = 0;
    // With nItemID 0 the menu's position in the menu bar, otherwise the
    // item's position within that menu.
    virtual HRESULT STDMETHODCALLTYPE GetMenuPosition(LONG nMenuID, LONG nItemID, LONG* pnPosition) = 0;   // 13
    virtual HRESULT STDMETHODCALLTYPE GetStatusBar(IDispatch** ppStatusBar) = 0;           // 14
};

struct IStatusBar : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved8() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPaneText(LONG nPane, BSTR bstrText) = 0;          // 9
};

// DISPIDs of the service events. Out parameters arrive as VT_BYREF
// arguments (VT_I4 | VT_BYREF, VT_BSTR | VT_BYREF).
enum ServiceEvent : DISPID {
    evActivate = 1,        // LONG flag
    evUserChanged = 2,     // BSTR user, BSTR data file path
    evSave = 3,            // BSTR user, BSTR data file path
    evCommand = 4,         // LONG command, out LONG handled
    evCommandState = 5,    // LONG command, out LONG handled, enabled, checked, reserved
    evCommandHelp = 6,     // LONG command, out LONG handled, out BSTR text
    evReserved7 = 7,
    evQuery8 = 8,          // out LONG (answered 0)
    evQuery9 = 9,          // out LONG (answered 0)
    evPreTranslate = 10,   // LONG hwnd, message, wParam, lParam, time, x, y; out LONG handled
    evReserved11 = 11,
    evReserved12 = 12,
    evFindStart = 13,      // BSTR text, LONG match case, LONG whole word
    evFindNext = 14,       // out BSTR first line, out BSTR second line, out LONG record index, out LONG found
    evFindGoTo = 15,       // LONG record index, LONG show
    evReserved16 = 16,
};

enum ApplicationEvent : DISPID {
    evHotSyncQuery = 5,    // BSTR text, out LONG allowed, out BSTR message
};

// Menus of Palm Desktop's menu bar and the items an add-on maps.
enum : UINT {
    MenuFile = 18001, MenuEdit = 18002, MenuView = 18003, MenuTools = 18004,
    CmdFileNew = 19010, CmdFileSave = 19011, CmdFileImport = 19012, CmdFileExport = 19014, CmdFilePrint = 19015,
    CmdEditUndo = 19020, CmdEditCut = 19022, CmdEditCopy = 19023, CmdEditPaste = 19024, CmdEditDelete = 19025,
    CmdEditSelectAll = 19027,
    CmdViewList = 19051, CmdViewLarge = 19052, CmdViewSmall = 19053,
    CmdToolsCategories = 19060,
};

} // namespace PalmDesktop
