#include "TextCodec.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <conio.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#else
#include <fcntl.h>
#include <iconv.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace tessaly {

#if defined(_WIN32)

namespace {
std::wstring Widen(const std::string& s, UINT cp, DWORD flags, bool& ok)
{
    ok = true;
    if (s.empty())
        return std::wstring();
    int n = MultiByteToWideChar(cp, flags, s.data(), static_cast<int>(s.size()), nullptr, 0);
    if (n <= 0) {
        ok = false;
        return std::wstring();
    }
    std::wstring w(n, L'\0');
    MultiByteToWideChar(cp, flags, s.data(), static_cast<int>(s.size()), &w[0], n);
    return w;
}

std::string Narrow(const std::wstring& w, UINT cp, bool* pOk)
{
    if (w.empty())
        return std::string();
    BOOL usedDefault = FALSE;
    BOOL* pUsed = cp == CP_UTF8 ? nullptr : &usedDefault;
    DWORD flags = cp == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    int n = WideCharToMultiByte(cp, flags, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, pUsed);
    std::string s(n > 0 ? n : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(cp, flags, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr, pUsed);
    if (pOk)
        *pOk = n > 0 && !usedDefault;
    return s;
}
} // namespace

bool Utf8ToSjis(const std::string& utf8, std::string& sjis)
{
    bool ok;
    std::wstring w = Widen(utf8, CP_UTF8, MB_ERR_INVALID_CHARS, ok);
    if (!ok)
        return false;
    if (w.empty()) {
        sjis.clear();
        return true;
    }
    sjis = Narrow(w, 932, &ok);
    return ok;
}

std::string SjisToUtf8(const std::string& sjis)
{
    bool ok;
    return Narrow(Widen(sjis, 932, 0, ok), CP_UTF8, nullptr);
}

std::vector<std::string> Utf8Arguments(int argc, char** argv)
{
    std::vector<std::string> args;
    int n = 0;
    LPWSTR* w = CommandLineToArgvW(GetCommandLineW(), &n);
    if (!w) {
        args.assign(argv, argv + argc);
        return args;
    }
    for (int i = 0; i < n; ++i)
        args.push_back(Narrow(w[i], CP_UTF8, nullptr));
    LocalFree(w);
    return args;
}

std::string ReadAllStdin()
{
    _setmode(_fileno(stdin), _O_BINARY);
    return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
}

bool PromptPassword(const char* prompt, std::string& utf8)
{
    HANDLE in = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE)
        return false;
    DWORD mode = 0;
    bool console = GetConsoleMode(in, &mode) != 0;
    if (!console) {
        CloseHandle(in);
        return false;
    }
    SetConsoleMode(in, mode & ~ENABLE_ECHO_INPUT);
    std::fputs(prompt, stderr);
    std::wstring w;
    wchar_t buf[256];
    DWORD got = 0;
    while (ReadConsoleW(in, buf, 256, &got, nullptr) && got > 0) {
        w.append(buf, got);
        if (!w.empty() && w.back() == L'\n')
            break;
    }
    SetConsoleMode(in, mode);
    CloseHandle(in);
    std::fputs("\n", stderr);
    while (!w.empty() && (w.back() == L'\n' || w.back() == L'\r'))
        w.pop_back();
    utf8 = Narrow(w, CP_UTF8, nullptr);
    return true;
}

#else

namespace {
// Converts with iconv; on an invalid or unconvertible sequence either fails
// or, when a replacement is given, puts it out and skips one byte.
bool Convert(const char* to, const char* from, const std::string& in, std::string& out, const char* replacement)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    out.clear();
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    char buf[4096];
    bool ok = true;
    while (left > 0) {
        char* dst = buf;
        size_t room = sizeof buf;
        size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buf, dst - buf);
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            if (!replacement) {
                ok = false;
                break;
            }
            out += replacement;
            ++src;
            --left;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return ok;
}
} // namespace

bool Utf8ToSjis(const std::string& utf8, std::string& sjis) { return Convert("CP932", "UTF-8", utf8, sjis, nullptr); }

std::string SjisToUtf8(const std::string& sjis)
{
    std::string out;
    Convert("UTF-8", "CP932", sjis, out, "\xEF\xBF\xBD");
    return out;
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

std::string ReadAllStdin()
{
    return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
}

bool PromptPassword(const char* prompt, std::string& utf8)
{
    int fd = open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct termios old;
    bool tty = tcgetattr(fd, &old) == 0;
    if (!tty) {
        close(fd);
        return false;
    }
    struct termios quiet = old;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(fd, TCSAFLUSH, &quiet);
    if (write(fd, prompt, std::strlen(prompt)) < 0) {
        // nothing to do: the prompt is a courtesy
    }
    utf8.clear();
    char c;
    while (read(fd, &c, 1) == 1 && c != '\n')
        utf8 += c;
    tcsetattr(fd, TCSAFLUSH, &old);
    if (write(fd, "\n", 1) < 0) {
    }
    close(fd);
    while (!utf8.empty() && utf8.back() == '\r')
        utf8.pop_back();
    return true;
}

#endif

std::string ToLf(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    // Only the pair is a line break: a lone CR is part of the text.
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        out += text[i];
    }
    return out;
}

std::string ToCrLf(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

std::string JsonQuote(const std::string& utf8)
{
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

} // namespace tessaly
