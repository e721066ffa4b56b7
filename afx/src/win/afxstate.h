// The framework's state, one per process. Each module (the program, each
// library) links its own copy of this library, but a window bound in one
// module is handled by code of another (a library's dialog run by the
// program, say), so the window map, the messages being handled, the
// application object and the resource chain must be the same object for all.
#pragma once

#include "afx/afxwin.h"

#include <map>
#include <memory>
#include <vector>

struct AfxProcessState {
    std::map<HWND, CWnd*> permanentMap;
    std::map<HWND, std::unique_ptr<CWnd>> tempMap;
    std::vector<MSG> messageStack;   // innermost last, for Default()
    CWinApp* pApp = nullptr;
    HINSTANCE hInstance = nullptr;
    HINSTANCE hResource = nullptr;
    std::vector<HINSTANCE> resourceChain;
};

// The first module to ask creates the state; the others find it.
AfxProcessState& AfxGetProcessState();
