// Palm Desktop's add-on manager and its add-on entries, kept in the registry
// (AddOnStore.h) so that every process sees the same add-ons. Each call is
// appended to the stand-ins' call log, and a test can make chosen positions
// fail.
#include "AddOnManager.h"

#include "AddOnStore.h"
#include "ComBase.h"
#include "HotSyncCallLog.h"
#include "PalmDesktop.h"

#include <cstdio>
#include <string>

namespace desktop {

LONG g_objects = 0;

namespace {

using namespace PalmDesktop;

std::string Hex(HRESULT hr)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(hr));
    return buf;
}

std::string Text(BSTR b) { return b ? BstrToAnsi(b) : std::string("(null)"); }

HRESULT Logged(const char* who, int position, const std::string& args, HRESULT hr)
{
    hotsync_log::Append(std::string(who) + " " + std::to_string(position) + args + " = " + Hex(hr));
    return hr;
}

// A key name holds no backslash (it would name a key further down) and fits
// the registry's limit.
bool ValidName(BSTR name)
{
    if (!name || SysStringLen(name) == 0 || SysStringLen(name) > 200)
        return false;
    for (UINT i = 0; i < SysStringLen(name); ++i)
        if (name[i] == L'\\' || name[i] == 0)
            return false;
    return true;
}

std::wstring EntryKey(const std::wstring& name) { return std::wstring(kAddOnsKey) + L"\\" + name; }

class AddOnEntry : public DispatchImpl<IAddOn, &IID_IAddOn, &LIBID_AddOnService>, public RefCounted {
public:
    explicit AddOnEntry(const std::wstring& name) : m_name(name) { InterlockedIncrement(&g_objects); }
    ~AddOnEntry() override { InterlockedDecrement(&g_objects); }
    DESKTOP_REFCOUNT
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (QueryDual(riid, ppv))
            return S_OK;
        *ppv = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT STDMETHODCALLTYPE get_Name(BSTR* p) override
    {
        if (!p)
            return E_POINTER;
        *p = SysAllocString(m_name.c_str());
        return *p ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_CreatorID(LONG* p) override { return GetDword(8, L"CreatorID", p); }
    HRESULT STDMETHODCALLTYPE get_MenuCaption(BSTR* p) override { return GetString(9, L"MenuCaption", p); }
    HRESULT STDMETHODCALLTYPE put_MenuCaption(BSTR b) override { return PutString(10, L"MenuCaption", b); }
    HRESULT STDMETHODCALLTYPE get_NameText(BSTR* p) override { return GetString(11, L"NameText", p); }
    HRESULT STDMETHODCALLTYPE put_NameText(BSTR b) override { return PutString(12, L"NameText", b); }
    HRESULT STDMETHODCALLTYPE get_Description(BSTR* p) override { return GetString(13, L"Description", p); }
    HRESULT STDMETHODCALLTYPE put_Description(BSTR b) override { return PutString(14, L"Description", b); }
    HRESULT STDMETHODCALLTYPE get_DataFileName(BSTR* p) override { return GetString(15, L"DataFileName", p); }
    HRESULT STDMETHODCALLTYPE put_DataFileName(BSTR b) override { return PutString(16, L"DataFileName", b); }
    HRESULT STDMETHODCALLTYPE get_DatabaseName(BSTR* p) override { return GetString(17, L"DatabaseName", p); }
    HRESULT STDMETHODCALLTYPE put_DatabaseName(BSTR b) override { return PutString(18, L"DatabaseName", b); }
    HRESULT STDMETHODCALLTYPE get_LargeBitmap(BSTR* p) override { return GetString(19, L"LargeBitmap", p); }
    HRESULT STDMETHODCALLTYPE put_LargeBitmap(BSTR b) override { return PutString(20, L"LargeBitmap", b); }
    HRESULT STDMETHODCALLTYPE Reserved21() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved22() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_SmallBitmap(BSTR* p) override { return GetString(23, L"SmallBitmap", p); }
    HRESULT STDMETHODCALLTYPE put_SmallBitmap(BSTR b) override { return PutString(24, L"SmallBitmap", b); }
    HRESULT STDMETHODCALLTYPE Reserved25() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved26() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved27() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved28() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved29() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved30() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Flag(LONG* p) override { return GetDword(31, L"Flag", p); }
    HRESULT STDMETHODCALLTYPE put_Flag(LONG n) override
    {
        std::string args = " " + BstrToAnsiName() + " " + std::to_string(n);
        if (FailureRequested(L"FailAddOn", 32))
            return Logged("addon", 32, args, E_FAIL);
        return Logged("addon", 32, args, SetValue(L"Flag", REG_DWORD, &n, sizeof n));
    }
    HRESULT STDMETHODCALLTYPE Reserved33() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved34() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved35() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved36() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved37() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Remove() override
    {
        std::string args = " " + BstrToAnsiName();
        if (FailureRequested(L"FailAddOn", 38))
            return Logged("addon", 38, args, E_FAIL);
        LONG rc = RegDeleteKeyW(HKEY_CURRENT_USER, EntryKey(m_name).c_str());
        return Logged("addon", 38, args, rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(rc));
    }

private:
    std::string BstrToAnsiName() const
    {
        BSTR b = SysAllocString(m_name.c_str());
        std::string s = BstrToAnsi(b);
        SysFreeString(b);
        return s;
    }

    // Writes only into an entry that still exists: a removed entry stays gone.
    HRESULT SetValue(const wchar_t* value, DWORD type, const void* data, DWORD size)
    {
        HKEY key;
        LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, EntryKey(m_name).c_str(), 0, KEY_SET_VALUE, &key);
        if (rc != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(rc);
        rc = RegSetValueExW(key, value, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
        return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(rc);
    }

    HRESULT PutString(int position, const wchar_t* value, BSTR text)
    {
        std::string args = " " + BstrToAnsiName() + " " + Text(text);
        if (FailureRequested(L"FailAddOn", position))
            return Logged("addon", position, args, E_FAIL);
        if (!text)
            return Logged("addon", position, args, E_INVALIDARG);
        UINT len = SysStringLen(text);
        std::wstring s(text, len);
        return Logged("addon", position, args,
                      SetValue(value, REG_SZ, s.c_str(), static_cast<DWORD>((s.size() + 1) * sizeof(wchar_t))));
    }

    HRESULT GetString(int position, const wchar_t* value, BSTR* out)
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (FailureRequested(L"FailAddOn", position))
            return E_FAIL;
        HKEY key;
        LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, EntryKey(m_name).c_str(), 0, KEY_READ, &key);
        if (rc != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(rc);
        DWORD type = 0, size = 0;
        rc = RegQueryValueExW(key, value, nullptr, &type, nullptr, &size);
        std::wstring s;
        if (rc == ERROR_SUCCESS && type == REG_SZ && size >= sizeof(wchar_t)) {
            s.resize(size / sizeof(wchar_t) + 1);
            DWORD got = size;
            if (RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(&s[0]), &got) != ERROR_SUCCESS)
                got = 0;
            s.resize(got / sizeof(wchar_t));
            while (!s.empty() && s.back() == L'\0')
                s.pop_back();
        }
        RegCloseKey(key);
        // A value never set reads as the empty text.
        *out = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT GetDword(int position, const wchar_t* value, LONG* out)
    {
        if (!out)
            return E_POINTER;
        *out = 0;
        if (FailureRequested(L"FailAddOn", position))
            return E_FAIL;
        HKEY key;
        LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, EntryKey(m_name).c_str(), 0, KEY_READ, &key);
        if (rc != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(rc);
        DWORD type = 0, v = 0, size = sizeof v;
        if (RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(&v), &size) == ERROR_SUCCESS &&
            type == REG_DWORD)
            *out = static_cast<LONG>(v);
        RegCloseKey(key);
        return S_OK;
    }

    std::wstring m_name;
};

bool EntryExists(const std::wstring& name)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, EntryKey(name).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

class AddOnManager : public DispatchImpl<IAddOnManager, &IID_IAddOnManager, &LIBID_AddOnService>,
                     public RefCounted {
public:
    AddOnManager() { InterlockedIncrement(&g_objects); }
    ~AddOnManager() override { InterlockedDecrement(&g_objects); }
    DESKTOP_REFCOUNT
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (QueryDual(riid, ppv))
            return S_OK;
        *ppv = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT STDMETHODCALLTYPE get_Count(LONG* p) override
    {
        if (!p)
            return E_POINTER;
        *p = 0;
        if (FailureRequested(L"FailManager", 7))
            return E_FAIL;
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kAddOnsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return S_OK;
        DWORD n = 0;
        RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &n, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr);
        RegCloseKey(key);
        *p = static_cast<LONG>(n);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Item(LONG index, IAddOn** pp) override
    {
        if (!pp)
            return E_POINTER;
        *pp = nullptr;
        if (FailureRequested(L"FailManager", 8))
            return E_FAIL;
        if (index < 0)
            return E_INVALIDARG;
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kAddOnsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return E_INVALIDARG;
        wchar_t name[256];
        DWORD len = 256;
        LONG rc = RegEnumKeyExW(key, static_cast<DWORD>(index), name, &len, nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS)
            return E_INVALIDARG;
        *pp = new AddOnEntry(std::wstring(name, len));
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE CreateAddOn(BSTR name, LONG creator, BSTR description, BSTR largeBitmap,
                                          IAddOn** pp) override
    {
        std::string args = " " + Text(name) + " " + std::to_string(creator) + " " + Text(description) + " " +
                           Text(largeBitmap);
        if (!pp)
            return Logged("manager", 9, args, E_POINTER);
        *pp = nullptr;
        if (FailureRequested(L"FailManager", 9))
            return Logged("manager", 9, args, E_FAIL);
        if (!ValidName(name) || !description || !largeBitmap)
            return Logged("manager", 9, args, E_INVALIDARG);
        std::wstring n(name, SysStringLen(name));
        // An existing entry is not overwritten: the caller removes it first.
        if (EntryExists(n))
            return Logged("manager", 9, args, HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS));
        HKEY key;
        LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, EntryKey(n).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                  nullptr);
        if (rc != ERROR_SUCCESS)
            return Logged("manager", 9, args, HRESULT_FROM_WIN32(rc));
        auto put = [&](const wchar_t* value, BSTR b) {
            std::wstring s(b, SysStringLen(b));
            RegSetValueExW(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(s.c_str()),
                           static_cast<DWORD>((s.size() + 1) * sizeof(wchar_t)));
        };
        RegSetValueExW(key, L"CreatorID", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&creator), sizeof creator);
        put(L"Description", description);
        put(L"LargeBitmap", largeBitmap);
        RegCloseKey(key);
        *pp = new AddOnEntry(n);
        return Logged("manager", 9, args, S_OK);
    }

    HRESULT STDMETHODCALLTYPE Reserved10() override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE FindAddOn(BSTR name, IAddOn** pp) override
    {
        std::string args = " " + Text(name);
        if (!pp)
            return Logged("manager", 11, args, E_POINTER);
        *pp = nullptr;
        if (FailureRequested(L"FailManager", 11))
            return Logged("manager", 11, args, E_FAIL);
        if (!ValidName(name))
            return Logged("manager", 11, args, E_INVALIDARG);
        std::wstring n(name, SysStringLen(name));
        if (EntryExists(n))
            *pp = new AddOnEntry(n);
        return Logged("manager", 11, args + (*pp ? " found" : " none"), S_OK);
    }
};

} // namespace

HRESULT CreateAddOnManager(REFIID riid, void** ppv)
{
    AddOnManager* m = new AddOnManager;
    HRESULT hr = m->QueryInterface(riid, ppv);
    m->Release();
    return hr;
}

} // namespace desktop
