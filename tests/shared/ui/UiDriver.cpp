#include "UiDriver.h"

#include <cstdio>
#include <cstdlib>

namespace uitest {

namespace {
Script* g_pScript = nullptr;
const DWORD kStepTimeoutMs = 8000;

BOOL CALLBACK CollectTop(HWND hWnd, LPARAM lParam)
{
    char cls[16] = {};
    ::GetClassNameA(hWnd, cls, sizeof cls);
    if (std::string(cls) == "#32770" && ::IsWindowVisible(hWnd) && ::IsWindowEnabled(hWnd)) {
        *reinterpret_cast<HWND*>(lParam) = hWnd;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CloseAll(HWND hWnd, LPARAM)
{
    char cls[16] = {};
    ::GetClassNameA(hWnd, cls, sizeof cls);
    if (std::string(cls) == "#32770")
        ::PostMessageA(hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return TRUE;
}
} // namespace

std::string Ansi(const char* utf8)
{
    int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &w[0], n);
    int m = ::WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(m), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, &s[0], m, nullptr, nullptr);
    s.resize(s.empty() ? 0 : s.size() - 1);
    return s;
}

std::string WindowText(HWND hWnd)
{
    int n = ::GetWindowTextLengthA(hWnd);
    std::string s(static_cast<size_t>(n) + 1, '\0');
    n = ::GetWindowTextA(hWnd, &s[0], n + 1);
    s.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return s;
}

std::string ItemText(HWND hDlg, int id)
{
    HWND h = ::GetDlgItem(hDlg, id);
    return h ? WindowText(h) : std::string("<missing>");
}

std::string BoxText(HWND hBox)
{
    std::string text = ::GetDlgItem(hBox, 0xFFFF) ? ItemText(hBox, 0xFFFF) : std::string();
    if (text.empty() && ::GetDlgItem(hBox, 100))
        text = ItemText(hBox, 100);   // Wine numbers the text 100
    return text;
}

bool IsMessageBox(HWND hWnd)
{
    return hWnd && (::GetDlgItem(hWnd, 0xFFFF) || ::GetDlgItem(hWnd, 100)) && !::GetDlgItem(hWnd, 6002)
        && !::GetDlgItem(hWnd, 6007) && !::GetDlgItem(hWnd, 6010) && !::GetDlgItem(hWnd, 6015);
}

HWND TopDialog()
{
    HWND top = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), CollectTop, reinterpret_cast<LPARAM>(&top));
    return top;
}

void Click(HWND hDlg, int id)
{
    ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, id)));
}

void SetItemText(HWND hDlg, int id, const char* text)
{
    ::SetDlgItemTextA(hDlg, id, text);
}

Step On(const std::string& title, std::function<void(HWND)> act)
{
    return [title, act](HWND top) {
        if (!top || IsMessageBox(top) || WindowText(top) != title)
            return false;
        act(top);
        return true;
    };
}

Step AnswerBox(std::string* text, std::string* caption, int id)
{
    return [text, caption, id](HWND top) {
        if (!top || !IsMessageBox(top))
            return false;
        if (text)
            *text = BoxText(top);
        if (caption)
            *caption = WindowText(top);
        Click(top, id);
        return true;
    };
}

Step AnswerBox(std::vector<std::string>* log, int id)
{
    return [log, id](HWND top) {
        if (!top || !IsMessageBox(top))
            return false;
        log->push_back(BoxText(top) + " / " + WindowText(top));
        Click(top, id);
        return true;
    };
}

Script::Script(std::vector<Step> steps) : m_steps(std::move(steps))
{
    g_pScript = this;
    m_stepStart = ::GetTickCount();
    m_timer = ::SetTimer(nullptr, 0, 30, &Script::Tick);
}

Script::~Script()
{
    ::KillTimer(nullptr, m_timer);
    g_pScript = nullptr;
}

INT_PTR RunModal(CDialog& dlg, std::vector<Step> steps)
{
    Script script(std::move(steps));
    INT_PTR result = dlg.DoModal();
    return script.Finished() ? result : -2;
}

void CALLBACK Script::Tick(HWND, UINT, UINT_PTR, DWORD)
{
    Script* s = g_pScript;
    if (!s || s->m_inStep)
        return;
    // A step that waits too long, or anything still open after the script,
    // is closed, so that a failing test ends instead of waiting.
    if (::GetTickCount() - s->m_stepStart > kStepTimeoutMs) {
        s->m_timedOut = s->m_timedOut || s->m_next < s->m_steps.size();
        ::EnumThreadWindows(::GetCurrentThreadId(), CloseAll, 0);
        return;
    }
    if (s->m_next >= s->m_steps.size() || s->m_timedOut)
        return;
    s->m_inStep = true;
    HWND top = TopDialog();
    // UITEST_TRACE=1 shows what each step waits for, when a script stalls.
    if (std::getenv("UITEST_TRACE"))
        std::fprintf(stderr, "step %u: top %p \"%s\"\n", static_cast<unsigned>(s->m_next), static_cast<void*>(top),
                     top ? WindowText(top).c_str() : "");
    bool done = s->m_steps[s->m_next](top);
    s->m_inStep = false;
    if (done) {
        ++s->m_next;
        s->m_stepStart = ::GetTickCount();
    }
}

} // namespace uitest
