// Drives the library's modal dialogs in-process as a user would: a thread
// timer, which every modal loop runs, hands the innermost open dialog (or
// message box) of this thread to one scripted step after another.
#pragma once

#include "afx/afxwin.h"

#include <functional>
#include <string>
#include <vector>

namespace uitest {

// Text in the ANSI code page (932 under the tests' Wine) from UTF-8.
std::string Ansi(const char* utf8);

std::string WindowText(HWND hWnd);
std::string ItemText(HWND hDlg, int id);
// The text of a message box.
std::string BoxText(HWND hBox);
bool IsMessageBox(HWND hWnd);
// The enabled, visible dialog of this thread that is on top: the innermost
// modal one.
HWND TopDialog();

// Posted, so that a dialog the click opens runs from the dialog's own loop.
void Click(HWND hDlg, int id);
void SetItemText(HWND hDlg, int id, const char* text);

// A step gets the top dialog (or null) and returns true once it has acted.
using Step = std::function<bool(HWND)>;

// A step that waits for a dialog titled `title` and then acts on it.
Step On(const std::string& title, std::function<void(HWND)> act);
// A step that waits for a message box, records its text and caption, and
// presses the button `id`.
Step AnswerBox(std::string* text, std::string* caption, int id = IDOK);
// The same, adding "text / caption" to `log`.
Step AnswerBox(std::vector<std::string>* log, int id = IDOK);

class Script {
public:
    explicit Script(std::vector<Step> steps);
    ~Script();
    Script(const Script&) = delete;
    Script& operator=(const Script&) = delete;
    // All steps ran, none timed out.
    bool Finished() const { return m_next == m_steps.size() && !m_timedOut; }
    size_t StepsDone() const { return m_next; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    std::vector<Step> m_steps;
    size_t m_next = 0;
    DWORD m_stepStart = 0;
    bool m_timedOut = false;
    bool m_inStep = false;
    UINT_PTR m_timer = 0;
};

// Runs the dialog modally under a script of the steps: its result, or -2
// when a step did not run.
INT_PTR RunModal(CDialog& dlg, std::vector<Step> steps);

} // namespace uitest
