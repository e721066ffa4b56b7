// Reads a 32-bit PE file's exports and imports from its bytes, so that tests
// can check what a built DLL or program offers and takes.
#pragma once

#include "TestFiles.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string.h>
#include <vector>

namespace testsupport {

class PeFile {
public:
    explicit PeFile(const std::string& path) : m_b(ReadBytes(path))
    {
        if (m_b.size() < 0x40)
            return;
        std::size_t pe = U32(0x3C);
        if (pe + 24 > m_b.size() || U32(pe) != 0x00004550)
            return;
        std::size_t sections = U16(pe + 6);
        std::size_t optSize = U16(pe + 20);
        std::size_t opt = pe + 24;
        if (U16(opt) != 0x10B)   // PE32
            return;
        m_machine = U16(pe + 4);
        m_subsystem = U16(opt + 68);
        m_exportRva = U32(opt + 96);
        m_importRva = U32(opt + 104);
        for (std::size_t i = 0; i < sections; ++i) {
            std::size_t s = opt + optSize + 40 * i;
            m_sections.push_back({U32(s + 12), std::max(U32(s + 8), U32(s + 16)), U32(s + 20)});
        }
        m_ok = true;
    }
    bool Ok() const { return m_ok; }
    unsigned Machine() const { return m_machine; }
    unsigned Subsystem() const { return m_subsystem; }

    // Ordinal -> name ("" for an export without a name).
    std::map<unsigned, std::string> Exports(std::string& dllName) const
    {
        std::map<unsigned, std::string> out;
        std::size_t d = Offset(m_exportRva);
        dllName = Str(U32(d + 12));
        unsigned base = U32(d + 16), functions = U32(d + 20), names = U32(d + 24);
        std::size_t funcs = Offset(U32(d + 28)), nameRvas = Offset(U32(d + 32)), ords = Offset(U32(d + 36));
        for (unsigned i = 0; i < functions; ++i)
            if (U32(funcs + 4 * i) != 0)
                out[base + i] = "";
        for (unsigned i = 0; i < names; ++i)
            out[base + U16(ords + 2 * i)] = Str(U32(nameRvas + 4 * i));
        return out;
    }

    // What a program takes from one DLL: "#n" for ordinals, else names.
    std::set<std::string> Imports(const std::string& dll) const
    {
        std::set<std::string> out;
        for (std::size_t d = Offset(m_importRva); U32(d + 12) != 0; d += 20) {
            if (_stricmp(Str(U32(d + 12)).c_str(), dll.c_str()) != 0)
                continue;
            std::uint32_t thunks = U32(d) ? U32(d) : U32(d + 16);
            for (std::size_t t = Offset(thunks); U32(t) != 0; t += 4) {
                std::uint32_t v = U32(t);
                out.insert(v & 0x80000000u ? "#" + std::to_string(v & 0xFFFF) : Str(v + 2));
            }
        }
        return out;
    }

private:
    struct Section {
        std::uint32_t rva, size, raw;
    };
    std::uint32_t U32(std::size_t at) const
    {
        return at + 4 <= m_b.size() ? m_b[at] | (m_b[at + 1] << 8) | (m_b[at + 2] << 16) | (std::uint32_t(m_b[at + 3]) << 24)
                                    : 0;
    }
    std::uint16_t U16(std::size_t at) const
    {
        return at + 2 <= m_b.size() ? static_cast<std::uint16_t>(m_b[at] | (m_b[at + 1] << 8)) : 0;
    }
    std::size_t Offset(std::uint32_t rva) const
    {
        for (const Section& s : m_sections)
            if (rva >= s.rva && rva < s.rva + s.size)
                return rva - s.rva + s.raw;
        return m_b.size();
    }
    std::string Str(std::uint32_t rva) const
    {
        std::string s;
        for (std::size_t at = Offset(rva); at < m_b.size() && m_b[at]; ++at)
            s += static_cast<char>(m_b[at]);
        return s;
    }

    std::vector<std::uint8_t> m_b;
    std::vector<Section> m_sections;
    std::uint32_t m_exportRva = 0, m_importRva = 0;
    unsigned m_machine = 0, m_subsystem = 0;
    bool m_ok = false;
};

} // namespace testsupport
