// The registrar: runs a module's registry scripts in registering and
// removing mode.
#include "afx/afxctl.h"

#include <cstdlib>

namespace {

struct RegNode {
    bool isValue = false;      // `val name = ...`: a named value, not a key
    bool noRemove = false;
    bool forceRemove = false;
    CString name;
    bool hasData = false;
    char type = 's';           // 's' text, 'd' 32-bit number
    CString data;
    std::vector<RegNode> children;
};

struct Token {
    CString text;
    bool quoted;
};

class Parser {
public:
    Parser(const CString& script, const std::vector<std::pair<CString, CString>>& replacements)
        : m_replacements(replacements)
    {
        Tokenize(script);
    }

    // The script's roots with their keys; false on any fault.
    bool Parse(std::vector<std::pair<HKEY, std::vector<RegNode>>>& roots)
    {
        while (m_ok && m_pos < m_tokens.size()) {
            HKEY hRoot = RootKey(Next().text);
            std::vector<RegNode> keys;
            if (!hRoot || !ParseBlock(keys))
                return false;
            roots.emplace_back(hRoot, std::move(keys));
        }
        return m_ok;
    }

private:
    void Tokenize(const CString& s)
    {
        const char* p = s;
        if (static_cast<unsigned char>(p[0]) == 0xEF && static_cast<unsigned char>(p[1]) == 0xBB
            && static_cast<unsigned char>(p[2]) == 0xBF)
            p += 3;   // a UTF-8 byte order mark
        while (*p) {
            if (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') {
                ++p;
            } else if (*p == '\'') {
                // '' inside quotes stands for one quote.
                CString text;
                for (++p;; ++p) {
                    if (!*p) {
                        m_ok = false;
                        return;
                    }
                    if (*p == '\'') {
                        if (p[1] != '\'')
                            break;
                        ++p;
                    }
                    text += *p;
                }
                ++p;
                m_tokens.push_back({Substitute(text), true});
            } else {
                const char* start = p;
                while (*p && *p != ' ' && *p != '\t' && *p != '\r' && *p != '\n')
                    ++p;
                m_tokens.push_back({Substitute(CString(start, static_cast<int>(p - start))), false});
            }
        }
    }

    CString Substitute(const CString& text)
    {
        CString out;
        for (int i = 0; i < text.GetLength(); ++i) {
            if (text[i] != '%') {
                out += text[i];
                continue;
            }
            int end = text.Find('%', i + 1);
            if (end < 0) {
                m_ok = false;
                return out;
            }
            CString key = text.Mid(i + 1, end - i - 1);
            if (key.IsEmpty()) {
                out += '%';
            } else {
                bool found = false;
                for (const auto& r : m_replacements)
                    if (lstrcmpiA(r.first, key) == 0) {
                        out += r.second;
                        found = true;
                        break;
                    }
                m_ok = m_ok && found;   // an unknown name is a fault in the script
            }
            i = end;
        }
        return out;
    }

    static HKEY RootKey(const CString& name)
    {
        if (name == "HKCR" || name == "HKEY_CLASSES_ROOT")
            return HKEY_CLASSES_ROOT;
        if (name == "HKCU" || name == "HKEY_CURRENT_USER")
            return HKEY_CURRENT_USER;
        if (name == "HKLM" || name == "HKEY_LOCAL_MACHINE")
            return HKEY_LOCAL_MACHINE;
        return nullptr;
    }

    const Token& Next()
    {
        static const Token end = {CString(), true};
        if (m_pos >= m_tokens.size()) {
            m_ok = false;
            return end;
        }
        return m_tokens[m_pos++];
    }

    bool Peek(LPCSTR text) const
    {
        return m_pos < m_tokens.size() && !m_tokens[m_pos].quoted && m_tokens[m_pos].text == text;
    }

    bool Expect(LPCSTR text)
    {
        const Token& t = Next();
        m_ok = m_ok && !t.quoted && t.text == text;
        return m_ok;
    }

    // `{ item* }`
    bool ParseBlock(std::vector<RegNode>& items)
    {
        if (!Expect("{"))
            return false;
        while (m_ok && !Peek("}")) {
            RegNode node;
            if (!ParseItem(node))
                return false;
            items.push_back(std::move(node));
        }
        return Expect("}");
    }

    bool ParseItem(RegNode& node)
    {
        if (Peek("val")) {
            Next();
            node.isValue = true;
        } else if (Peek("NoRemove")) {
            Next();
            node.noRemove = true;
        } else if (Peek("ForceRemove")) {
            Next();
            node.forceRemove = true;
        }
        const Token& name = Next();
        node.name = name.text;
        if (!m_ok || (!name.quoted && (name.text == "{" || name.text == "}" || name.text == "=")))
            return m_ok = false;
        if (Peek("=") || node.isValue) {
            if (!Expect("="))
                return false;
            const Token& type = Next();
            if (type.quoted || (type.text != "s" && type.text != "d"))
                return m_ok = false;
            node.type = type.text[0];
            node.data = Next().text;
            node.hasData = true;
        }
        if (!node.isValue && Peek("{"))
            return ParseBlock(node.children);
        return m_ok;
    }

    const std::vector<std::pair<CString, CString>>& m_replacements;
    std::vector<Token> m_tokens;
    size_t m_pos = 0;
    bool m_ok = true;
};

LONG SetData(HKEY hKey, LPCSTR pszName, const RegNode& node)
{
    if (node.type == 'd') {
        DWORD value = static_cast<DWORD>(std::strtoul(node.data, nullptr, 0));
        return ::RegSetValueExA(hKey, pszName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
    return ::RegSetValueExA(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(static_cast<LPCSTR>(node.data)),
                            static_cast<DWORD>(node.data.GetLength() + 1));
}

LONG Register(HKEY hParent, const std::vector<RegNode>& nodes)
{
    for (const RegNode& node : nodes) {
        LONG rc;
        if (node.isValue) {
            rc = SetData(hParent, node.name, node);
        } else {
            if (node.forceRemove)
                AfxRegDeleteTree(hParent, node.name);
            HKEY hKey = nullptr;
            rc = ::RegCreateKeyExA(hParent, node.name, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &hKey, nullptr);
            if (rc == ERROR_SUCCESS) {
                if (node.hasData)
                    rc = SetData(hKey, nullptr, node);
                if (rc == ERROR_SUCCESS)
                    rc = Register(hKey, node.children);
                ::RegCloseKey(hKey);
            }
        }
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    return ERROR_SUCCESS;
}

// Removes what the script names: values, and keys whole unless they are
// marked NoRemove, in which case only what the script names below them goes.
LONG Unregister(HKEY hParent, const std::vector<RegNode>& nodes)
{
    for (const RegNode& node : nodes) {
        LONG rc;
        if (node.isValue) {
            rc = ::RegDeleteValueA(hParent, node.name);
        } else if (node.noRemove) {
            HKEY hKey = nullptr;
            rc = ::RegOpenKeyExA(hParent, node.name, 0, KEY_READ | KEY_WRITE, &hKey);
            if (rc == ERROR_SUCCESS) {
                rc = Unregister(hKey, node.children);
                ::RegCloseKey(hKey);
            }
        } else {
            rc = AfxRegDeleteTree(hParent, node.name);
        }
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
            return rc;
    }
    return ERROR_SUCCESS;
}

} // namespace

void CRegistrar::AddReplacement(LPCSTR pszKey, LPCSTR pszItem)
{
    m_replacements.emplace_back(pszKey, pszItem);
}

HRESULT CRegistrar::ResourceRegister(HINSTANCE hInstance, UINT nID, BOOL bRegister)
{
    HRSRC hRes = ::FindResourceA(hInstance, MAKEINTRESOURCEA(nID), "REGISTRY");
    HGLOBAL hGlobal = hRes ? ::LoadResource(hInstance, hRes) : nullptr;
    const char* text = hGlobal ? static_cast<const char*>(::LockResource(hGlobal)) : nullptr;
    if (!text)
        return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
    // A resource is not terminated; the copy is.
    return StringRegister(CString(text, static_cast<int>(::SizeofResource(hInstance, hRes))), bRegister);
}

HRESULT CRegistrar::StringRegister(LPCSTR pszScript, BOOL bRegister)
{
    std::vector<std::pair<HKEY, std::vector<RegNode>>> roots;
    Parser parser(pszScript, m_replacements);
    if (!parser.Parse(roots))
        return E_FAIL;
    for (const auto& root : roots) {
        LONG rc = bRegister ? Register(root.first, root.second) : Unregister(root.first, root.second);
        if (rc != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(rc);
    }
    return S_OK;
}
