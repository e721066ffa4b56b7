#include "ComBase.h"

#include <vector>

namespace desktop {

BSTR AnsiToBstr(const std::string& text)
{
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    BSTR b = SysAllocStringLen(nullptr, static_cast<UINT>(n));
    if (b && n > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), b, n);
    return b;
}

std::string BstrToAnsi(BSTR bstr)
{
    if (!bstr)
        return std::string();
    int len = static_cast<int>(SysStringLen(bstr));
    int n = WideCharToMultiByte(CP_ACP, 0, bstr, len, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, bstr, len, &out[0], n, nullptr, nullptr);
    return out;
}

ITypeInfo* LoadInterfaceTypeInfo(REFGUID libid, REFIID iid)
{
    ITypeLib* lib = nullptr;
    if (FAILED(LoadRegTypeLib(libid, 1, 0, LOCALE_NEUTRAL, &lib)) || !lib)
        return nullptr;
    ITypeInfo* info = nullptr;
    HRESULT hr = lib->GetTypeInfoOfGuid(iid, &info);
    lib->Release();
    if (FAILED(hr) || !info)
        return nullptr;
    // A dual interface is found as its dispatch description; DispInvoke
    // needs the function table's.
    TYPEATTR* attr = nullptr;
    if (SUCCEEDED(info->GetTypeAttr(&attr))) {
        bool dispatch = attr->typekind == TKIND_DISPATCH;
        info->ReleaseTypeAttr(attr);
        HREFTYPE ref;
        ITypeInfo* vtbl = nullptr;
        if (dispatch && SUCCEEDED(info->GetRefTypeOfImplType(-1, &ref)) &&
            SUCCEEDED(info->GetRefTypeInfo(ref, &vtbl)) && vtbl) {
            info->Release();
            info = vtbl;
        }
    }
    return info;
}

} // namespace desktop
