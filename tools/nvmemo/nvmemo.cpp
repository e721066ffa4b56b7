// nvmemo: lists, adds and deletes the memos of a desktop data file through
// the NvComn library, for users and for tests.
#include "Category.h"
#include "Iterator.h"
#include "MemoFile.h"
#include "TessalyTable.h"
#include "TextCodec.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

using namespace NorvaneCommon;
using namespace tessaly;

namespace {

enum Exit { ExitOK = 0, ExitCannotOpen = 1, ExitPassword = 2, ExitDamaged = 3, ExitUsage = 64 };

const char kUsage[] =
    "usage: nvmemo list FILE [--password P] [--order index|alpha] [--json]\n"
    "       nvmemo add FILE [--password P] [--category N]   (memo text on standard input)\n"
    "       nvmemo delete FILE INDEX [--password P]\n"
    "       nvmemo create FILE [--password P] [--hint H] [--category NAME]... [--force]\n"
    "Text is UTF-8 with \\n line breaks; a single trailing line break of the added text is dropped.\n"
    "Exit status: 0 done, 1 file cannot be opened or written, 2 password missing or wrong,\n"
    "3 damaged file, 64 wrong usage.\n";

struct Options {
    std::string command, file, index;
    std::string password, hint;
    bool hasPassword = false, json = false, force = false;
    std::string order = "index";
    int category = 0;
    std::vector<std::string> newCategories;
};

int Usage(const char* message)
{
    if (message)
        std::fprintf(stderr, "nvmemo: %s\n", message);
    std::fputs(kUsage, stderr);
    return ExitUsage;
}

bool ParseInt(const std::string& s, int lo, int hi, int& out)
{
    if (s.empty() || s.size() > 9)
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    out = std::atoi(s.c_str());
    return out >= lo && out <= hi;
}

// Returns 0 when the options are complete, else the usage exit.
int Parse(const std::vector<std::string>& args, Options& o)
{
    if (args.size() < 2)
        return Usage(nullptr);
    o.command = args[1];
    if (o.command == "--help" || o.command == "-h") {
        std::fputs(kUsage, stdout);
        std::exit(ExitOK);
    }
    if (o.command != "list" && o.command != "add" && o.command != "delete" && o.command != "create")
        return Usage(("unknown command '" + o.command + "'").c_str());
    std::vector<std::string> positional;
    for (size_t i = 2; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--password") {
            if (!value(o.password))
                return Usage("--password needs a value");
            o.hasPassword = true;
        } else if (a == "--hint" && o.command == "create") {
            if (!value(o.hint))
                return Usage("--hint needs a value");
        } else if (a == "--json" && o.command == "list") {
            o.json = true;
        } else if (a == "--order" && o.command == "list") {
            if (!value(o.order) || (o.order != "index" && o.order != "alpha"))
                return Usage("--order takes index or alpha");
        } else if (a == "--category" && o.command == "add") {
            if (!value(v) || !ParseInt(v, 0, 15, o.category))
                return Usage("--category takes a category index 0-15");
        } else if (a == "--category" && o.command == "create") {
            if (!value(v))
                return Usage("--category needs a name");
            o.newCategories.push_back(v);
        } else if (a == "--force" && o.command == "create") {
            o.force = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return Usage(("unknown option '" + a + "'").c_str());
        } else {
            positional.push_back(a);
        }
    }
    size_t want = o.command == "delete" ? 2 : 1;
    if (positional.size() != want)
        return Usage(o.command == "delete" ? "delete needs FILE and INDEX" : "one FILE expected");
    o.file = positional[0];
    if (want == 2)
        o.index = positional[1];
    return 0;
}

bool ToSjisOrComplain(const std::string& utf8, std::string& sjis, const char* what)
{
    if (Utf8ToSjis(utf8, sjis))
        return true;
    std::fprintf(stderr, "nvmemo: the %s has characters that Shift-JIS cannot hold\n", what);
    return false;
}

// Opens the table, asking for the password on the terminal when the file
// needs one and none was given. Returns an exit status.
int OpenTable(CTessalyTable& table, Options& o)
{
    std::string sjis;
    if (o.hasPassword && !ToSjisOrComplain(o.password, sjis, "password"))
        return ExitUsage;
    CString path(o.file.c_str());
    LONG r = table.OpenFrom(path, CFile::modeReadWrite, o.hasPassword ? sjis.c_str() : nullptr);
    if (r == TableBadPassword && !o.hasPassword) {
        CString hint;
        table.GetPasswdHint(hint);
        std::string prompt = "Password";
        if (!hint.IsEmpty())
            prompt += " (hint: " + SjisToUtf8(hint.GetString()) + ")";
        prompt += ": ";
        if (PromptPassword(prompt.c_str(), o.password)) {
            o.hasPassword = true;
            if (!ToSjisOrComplain(o.password, sjis, "password"))
                return ExitUsage;
            r = table.OpenFrom(path, CFile::modeReadWrite, sjis.c_str());
        }
    }
    switch (r) {
    case TableOK:
        return ExitOK;
    case TableCannotOpen:
        std::fprintf(stderr, "nvmemo: cannot open %s\n", o.file.c_str());
        return ExitCannotOpen;
    case TableBadPassword: {
        CString hint;
        table.GetPasswdHint(hint);
        std::fprintf(stderr, "nvmemo: %s\n", o.hasPassword ? "wrong password" : "the file needs a password");
        std::fprintf(stderr, "hint: %s\n", SjisToUtf8(hint.GetString()).c_str());
        return ExitPassword;
    }
    default:
        std::fprintf(stderr, "nvmemo: %s is damaged\n", o.file.c_str());
        return ExitDamaged;
    }
}

int SaveTable(CTessalyTable& table, const Options& o)
{
    LONG r = table.Save();
    if (r == TableOK)
        return ExitOK;
    std::fprintf(stderr, "nvmemo: cannot write %s\n", o.file.c_str());
    return r == TableDamaged ? ExitDamaged : ExitCannotOpen;
}

std::string CategoryName(CCategoryMgr* mgr, DWORD index)
{
    CCategory* c = nullptr;
    if (mgr && mgr->FindIndex(static_cast<int>(index), c) == CatErrNone)
        return SjisToUtf8(c->GetName().GetString());
    return std::string();
}

int List(Options& o)
{
    CTessalyTable table;
    if (int e = OpenTable(table, o))
        return e;
    CTessalyIterator it(table);
    if (o.order == "alpha")
        it.SortByAlphabetical();
    else
        it.SortByRecordIndex();
    CCategoryMgr* mgr = table.GetCategoryManager();
    CString hint;
    table.GetPasswdHint(hint);
    std::string out;
    if (o.json) {
        out += "{\"hint\": " + JsonQuote(SjisToUtf8(hint.GetString())) + ", \"categories\": [";
        CCategory* c = nullptr;
        bool first = true;
        for (CatError e = mgr ? mgr->FindFirst(c) : CatErrEmpty; e == CatErrNone; e = mgr->FindNext(c)) {
            out += first ? "" : ", ";
            first = false;
            out += "{\"index\": " + std::to_string(c->GetIndex()) + ", \"id\": " + std::to_string(c->GetID()) +
                   ", \"name\": " + JsonQuote(SjisToUtf8(c->GetName().GetString())) + "}";
        }
        out += "], \"memos\": [";
    } else {
        if (!hint.IsEmpty())
            out += "hint: " + SjisToUtf8(hint.GetString()) + "\n";
    }
    auto flag = [](bool b) { return b ? "true" : "false"; };
    CGenRecord* r = nullptr;
    bool first = true;
    for (LONG e = it.FindFirst(r, 0); e == 0; e = it.FindNext(r, 0)) {
        CTessalyRecord* m = static_cast<CTessalyRecord*>(r);
        std::string text = ToLf(SjisToUtf8(m->GetMemo().GetString()));
        if (o.json) {
            char leading[8];
            std::snprintf(leading, sizeof leading, "%u", m->GetLeadingByte());
            out += first ? "" : ", ";
            out += "{\"index\": " + std::to_string(m->GetIndex()) + ", \"id\": " + std::to_string(m->GetID()) +
                   ", \"category\": " + std::to_string(m->GetCategory()) + ", \"leading\": " + leading +
                   ", \"update\": " + flag(m->IsUpdate()) + ", \"deleted\": " + flag(m->IsDeleted()) +
                   ", \"archived\": " + flag(m->IsArchived()) + ", \"new\": " + flag(m->IsNew()) +
                   ", \"private\": " + flag(m->IsPrivate()) + ", \"text\": " + JsonQuote(text) + "}";
        } else {
            out += "--- memo " + std::to_string(m->GetIndex()) + "  id " + std::to_string(m->GetID()) +
                   "  category " + std::to_string(m->GetCategory());
            std::string name = m->GetCategory() == 0 ? std::string() : CategoryName(mgr, m->GetCategory());
            if (!name.empty())
                out += " (" + name + ")";
            if (m->IsUpdate())
                out += "  updated";
            if (m->IsNew())
                out += "  new";
            if (m->IsDeleted())
                out += "  DELETED";
            if (m->IsArchived())
                out += "  archived";
            if (m->IsPrivate())
                out += "  private";
            out += "\n" + text + "\n";
        }
        first = false;
    }
    if (o.json)
        out += "]}\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return ExitOK;
}

int Add(Options& o)
{
    std::string text = ToLf(ReadAllStdin());
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    if (text.find('\0') != std::string::npos)
        return Usage("the memo text holds a NUL byte");
    std::string sjis;
    if (!ToSjisOrComplain(text, sjis, "memo text"))
        return ExitUsage;
    if (sjis.size() > kMaxMemoText) {
        std::fprintf(stderr, "nvmemo: the memo is %zu bytes in Shift-JIS; at most %u fit in a record\n", sjis.size(),
                     static_cast<unsigned>(kMaxMemoText));
        return ExitUsage;
    }
    CTessalyTable table;
    if (int e = OpenTable(table, o))
        return e;
    CCategoryMgr* mgr = table.GetCategoryManager();
    CCategory* c = nullptr;
    if (o.category != 0 && (!mgr || mgr->FindIndex(o.category, c) != CatErrNone)) {
        std::fprintf(stderr, "nvmemo: there is no category %d\n", o.category);
        return ExitUsage;
    }
    CTessalyRecord* m = new CTessalyRecord;
    m->SetMemo(CString(ToCrLf(sjis).c_str()));
    m->SetCategory(static_cast<DWORD>(o.category));
    m->SetUpdate(1);
    table.AppendRecord(m);
    if (int e = SaveTable(table, o))
        return e;
    std::printf("%u\n", static_cast<unsigned>(m->GetIndex()));
    return ExitOK;
}

int Delete(Options& o)
{
    int index;
    if (!ParseInt(o.index, 0, 0x7FFFFFFF, index))
        return Usage("INDEX must be a record index");
    CTessalyTable table;
    if (int e = OpenTable(table, o))
        return e;
    CGenRecord* r = table.GetRecord(index);
    if (!r) {
        std::fprintf(stderr, "nvmemo: there is no memo with index %d\n", index);
        return ExitUsage;
    }
    r->SetDeleted(1);
    return SaveTable(table, o);
}

// A fresh memo database file, with the categories asked for.
int Create(Options& o)
{
    std::string password, hint;
    if (!ToSjisOrComplain(o.password, password, "password") || !ToSjisOrComplain(o.hint, hint, "hint"))
        return ExitUsage;
    if (!o.force && CFile::Exists(o.file.c_str())) {
        std::fprintf(stderr, "nvmemo: %s exists; --force replaces it\n", o.file.c_str());
        return ExitCannotOpen;
    }
    if (!WriteEmptyMemoFile(o.file, o.hasPassword ? password : std::string(), hint)) {
        std::fprintf(stderr, "nvmemo: cannot create %s\n", o.file.c_str());
        return ExitCannotOpen;
    }
    if (o.newCategories.empty())
        return ExitOK;
    CTessalyTable table;
    if (int e = OpenTable(table, o))
        return e;
    CCategoryMgr* mgr = table.GetCategoryManager();
    for (const std::string& name : o.newCategories) {
        std::string sjis;
        if (!ToSjisOrComplain(name, sjis, "category name"))
            return ExitUsage;
        CCategory c;
        c.SetName(CString(sjis.c_str()));
        if (mgr->Add(&c) != CatErrNone) {
            std::fprintf(stderr, "nvmemo: no room for category '%s'\n", name.c_str());
            return ExitUsage;
        }
    }
    return SaveTable(table, o);
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (int e = Parse(tessaly::Utf8Arguments(argc, argv), o))
        return e;
    try {
        if (o.command == "list")
            return List(o);
        if (o.command == "add")
            return Add(o);
        if (o.command == "delete")
            return Delete(o);
        return Create(o);
    } catch (const CFileException& e) {
        std::fprintf(stderr, "nvmemo: read or write error on %s (cause %d)\n", e.m_strFileName.GetString(), e.m_cause);
        return ExitCannotOpen;
    }
}
