// Small helpers for the stand-in's hand-written COM objects: reference
// counting, BSTR and text conversion, and IDispatch answered from the
// registered type library that describes an interface.
#pragma once

#include <oaidl.h>
#include <objbase.h>

#include <string>

namespace desktop {

// Reference count of an object; it deletes itself at zero.
class RefCounted {
public:
    virtual ~RefCounted() = default;
    ULONG AddRefImpl() { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    ULONG ReleaseImpl()
    {
        LONG n = InterlockedDecrement(&m_refs);
        if (n == 0)
            delete this;
        return static_cast<ULONG>(n);
    }

private:
    LONG m_refs = 1;
};

#define DESKTOP_REFCOUNT                                                         \
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }           \
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

// Owns one reference.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(T* p) : m_p(p) {}   // takes the reference
    ComPtr(const ComPtr& o) : m_p(o.m_p)
    {
        if (m_p)
            m_p->AddRef();
    }
    ~ComPtr() { Reset(); }
    ComPtr& operator=(const ComPtr& o)
    {
        if (o.m_p)
            o.m_p->AddRef();
        Reset();
        m_p = o.m_p;
        return *this;
    }
    void Reset()
    {
        if (m_p)
            m_p->Release();
        m_p = nullptr;
    }
    T** operator&()
    {
        Reset();
        return &m_p;
    }
    T* operator->() const { return m_p; }
    T* Get() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    // A new reference for an out parameter.
    T* Detach()
    {
        T* p = m_p;
        m_p = nullptr;
        return p;
    }

private:
    T* m_p = nullptr;
};

// ANSI text (the program's code page) to a new BSTR and back.
BSTR AnsiToBstr(const std::string& text);
std::string BstrToAnsi(BSTR bstr);

// The type description of an interface from a registered type library, or
// null when the library is not registered.
ITypeInfo* LoadInterfaceTypeInfo(REFGUID libid, REFIID iid);

// IDispatch of a dual interface I through its type description in the type
// library `Lib`; without a registered library it offers no names.
template <class I, const IID* Iid, const GUID* Lib>
class DispatchImpl : public I {
public:
    ~DispatchImpl()
    {
        if (m_typeInfo)
            m_typeInfo->Release();
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override
    {
        if (!pctinfo)
            return E_POINTER;
        *pctinfo = TypeInfo() ? 1 : 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) override
    {
        if (!ppTInfo)
            return E_POINTER;
        *ppTInfo = nullptr;
        if (iTInfo != 0)
            return DISP_E_BADINDEX;
        if (!TypeInfo())
            return TYPE_E_ELEMENTNOTFOUND;
        m_typeInfo->AddRef();
        *ppTInfo = m_typeInfo;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        if (!TypeInfo())
            return DISP_E_UNKNOWNNAME;
        return DispGetIDsOfNames(m_typeInfo, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excep, UINT* argErr) override
    {
        if (!TypeInfo())
            return DISP_E_MEMBERNOTFOUND;
        return DispInvoke(static_cast<I*>(this), m_typeInfo, id, flags, params, result, excep, argErr);
    }

protected:
    // QueryInterface of an object whose only interface is the dual one;
    // false (and *ppv untouched) for any other, which the caller may answer.
    bool QueryDual(REFIID riid, void** ppv)
    {
        if (riid != IID_IUnknown && riid != IID_IDispatch && riid != *Iid)
            return false;
        *ppv = static_cast<I*>(this);
        static_cast<I*>(this)->AddRef();
        return true;
    }

private:
    ITypeInfo* TypeInfo()
    {
        if (!m_typeInfo && !m_tried) {
            m_tried = true;
            m_typeInfo = LoadInterfaceTypeInfo(*Lib, *Iid);
        }
        return m_typeInfo;
    }
    ITypeInfo* m_typeInfo = nullptr;
    bool m_tried = false;
};

} // namespace desktop
