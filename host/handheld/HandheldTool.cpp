#include "HandheldTool.h"

#include "MemoDb.h"
#include "TextCodec.h"

#include "afx/afxfile.h"

#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace tessaly {

namespace {

const char kUsage[] =
    "usage: handheld DIR create [--password P] [--hint H]\n"
    "       handheld DIR category add NAME | rename INDEX NAME | delete INDEX\n"
    "       handheld DIR add [--category N] [--private] [--password P]   (memo text on standard input)\n"
    "       handheld DIR edit ID [--password P]                          (new text on standard input)\n"
    "       handheld DIR delete ID | archive ID\n"
    "       handheld DIR list [--password P] --json\n"
    "DIR is the folder that plays the handheld; the memo database is DIR/Tessaly-Vqxa.pdb.\n"
    "Text is UTF-8 with \\n line breaks; a single trailing line break of the text read is dropped.\n"
    "Exit status: 0 done, 1 the database or record cannot be found, opened or written,\n"
    "2 password missing or wrong, 3 damaged file, 64 wrong usage.\n";

struct Options {
    std::string dir, command, sub;
    std::vector<std::string> positional;
    std::string password, hint;
    bool hasPassword = false, hasHint = false, isPrivate = false, json = false;
    int category = 0;
    bool hasCategory = false;
};

struct Context {
    const std::function<std::string()>& readInput;
    std::string& out;
    std::string& err;

    int Fail(int code, const std::string& message)
    {
        err += "handheld: " + message + "\n";
        return code;
    }
    int Usage(const std::string& message)
    {
        if (!message.empty())
            err += "handheld: " + message + "\n";
        err += kUsage;
        return HandheldUsage;
    }
};

bool ParseNumber(const std::string& s, unsigned long max, unsigned long& out)
{
    if (s.empty() || s.size() > 10)
        return false;
    unsigned long long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    if (v > max)
        return false;
    out = static_cast<unsigned long>(v);
    return true;
}

int Parse(const std::vector<std::string>& args, Options& o, Context& c)
{
    if (args.size() >= 2 && (args[1] == "--help" || args[1] == "-h")) {
        c.out += kUsage;
        return -1;
    }
    if (args.size() < 3)
        return c.Usage("DIR and a command expected");
    o.dir = args[1];
    o.command = args[2];
    static const char* const kCommands[] = {"create", "category", "add", "edit", "delete", "archive", "list"};
    bool known = false;
    for (const char* k : kCommands)
        known = known || o.command == k;
    if (!known)
        return c.Usage("unknown command '" + o.command + "'");
    for (std::size_t i = 3; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& v) {
            if (i + 1 >= args.size())
                return false;
            v = args[++i];
            return true;
        };
        const bool takesPassword = o.command == "create" || o.command == "add" || o.command == "edit" ||
                                   o.command == "list";
        if (a == "--password" && takesPassword) {
            if (!value(o.password))
                return c.Usage("--password needs a value");
            o.hasPassword = true;
        } else if (a == "--hint" && o.command == "create") {
            if (!value(o.hint))
                return c.Usage("--hint needs a value");
            o.hasHint = true;
        } else if (a == "--category" && o.command == "add") {
            std::string v;
            unsigned long n;
            if (!value(v) || !ParseNumber(v, 15, n))
                return c.Usage("--category takes a category index 0-15");
            o.category = static_cast<int>(n);
            o.hasCategory = true;
        } else if (a == "--private" && o.command == "add") {
            o.isPrivate = true;
        } else if (a == "--json" && o.command == "list") {
            o.json = true;
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            return c.Usage("unknown option '" + a + "'");
        } else {
            o.positional.push_back(a);
        }
    }
    std::size_t want = 0;
    if (o.command == "category") {
        if (o.positional.empty())
            return c.Usage("category needs add, rename or delete");
        o.sub = o.positional[0];
        o.positional.erase(o.positional.begin());
        if (o.sub == "add" || o.sub == "delete")
            want = 1;
        else if (o.sub == "rename")
            want = 2;
        else
            return c.Usage("category needs add, rename or delete");
    } else if (o.command == "edit" || o.command == "delete" || o.command == "archive") {
        want = 1;
    }
    if (o.positional.size() != want)
        return c.Usage("wrong number of arguments for " + o.command);
    if (o.command == "list" && !o.json)
        return c.Usage("list needs --json");
    return 0;
}

std::string DbPath(const Options& o)
{
    std::string dir = o.dir;
    if (!dir.empty() && dir.back() != '/' && dir.back() != '\\')
        dir += '/';
    return dir + kMemoDbName + ".pdb";
}

bool ToSjis(Context& c, const std::string& utf8, std::string& sjis, const char* what)
{
    if (Utf8ToSjis(utf8, sjis))
        return true;
    c.Fail(HandheldUsage, std::string("the ") + what + " has characters that Shift-JIS cannot hold");
    return false;
}

int Load(Context& c, const Options& o, PdbDatabase& db)
{
    switch (ReadPdbFile(DbPath(o), db)) {
    case PdbResult::OK:
        break;
    case PdbResult::NotFound:
        return c.Fail(HandheldNotFound, "there is no memo database in " + o.dir);
    case PdbResult::Damaged:
        return c.Fail(HandheldDamaged, DbPath(o) + " is damaged");
    default:
        return c.Fail(HandheldNotFound, "cannot open " + DbPath(o));
    }
    if (!db.hasAppInfo || !IsMemoAppInfo(db.appInfo))
        return c.Fail(HandheldDamaged, DbPath(o) + " has no memo application-info block");
    return HandheldOK;
}

// Every change on the handheld counts as one modification of the database.
int Store(Context& c, const Options& o, PdbDatabase& db)
{
    db.modNumber++;
    db.modDate = PalmNow();
    if (WritePdbFile(DbPath(o), db) != PdbResult::OK)
        return c.Fail(HandheldNotFound, "cannot write " + DbPath(o));
    return HandheldOK;
}

// The password in Shift-JIS when the database needs one; an exit status otherwise.
int Password(Context& c, const Options& o, const PdbDatabase& db, bool required, std::string& sjis, bool& use)
{
    use = false;
    if (!HasPassword(db.appInfo))
        return HandheldOK;
    if (!o.hasPassword)
        return required ? c.Fail(HandheldPassword, "the database needs a password") : HandheldOK;
    if (!ToSjis(c, o.password, sjis, "password"))
        return HandheldUsage;
    if (!PasswordMatches(db.appInfo, sjis))
        return c.Fail(HandheldPassword, "wrong password");
    use = true;
    return HandheldOK;
}

// The memo text from standard input, in Shift-JIS with "\n" line breaks.
int InputText(Context& c, std::string& sjis)
{
    std::string text = ToLf(c.readInput());
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    if (text.find('\0') != std::string::npos)
        return c.Usage("the memo text holds a NUL byte");
    if (!ToSjis(c, text, sjis, "memo text"))
        return HandheldUsage;
    if (sjis.size() > kMemoMaxText)
        return c.Fail(HandheldUsage, "the memo is " + std::to_string(sjis.size()) + " bytes in Shift-JIS; at most " +
                                         std::to_string(static_cast<unsigned>(kMemoMaxText)) + " fit in a record");
    return HandheldOK;
}

bool MakeFolder(const std::string& dir)
{
    if (CFile::Exists(dir.c_str()))
        return true;
#if defined(_WIN32)
    return CreateDirectoryA(dir.c_str(), nullptr) != 0;
#else
    return mkdir(dir.c_str(), 0777) == 0;
#endif
}

int Create(Context& c, const Options& o)
{
    std::string password, hint;
    if ((o.hasPassword && !ToSjis(c, o.password, password, "password")) || !ToSjis(c, o.hint, hint, "hint"))
        return HandheldUsage;
    if (hint.size() > 255)
        return c.Fail(HandheldUsage, "the hint is longer than 255 bytes in Shift-JIS");
    if (CFile::Exists(DbPath(o).c_str()))
        return c.Fail(HandheldNotFound, DbPath(o) + " exists already");
    if (!MakeFolder(o.dir))
        return c.Fail(HandheldNotFound, "cannot make the folder " + o.dir);
    PdbDatabase db = NewMemoDatabase(o.hasPassword ? &password : nullptr, hint);
    if (WritePdbFile(DbPath(o), db) != PdbResult::OK)
        return c.Fail(HandheldNotFound, "cannot write " + DbPath(o));
    return HandheldOK;
}

int CategoryIndex(Context& c, const PdbDatabase& db, const std::string& s, unsigned& index)
{
    unsigned long n;
    if (!ParseNumber(s, 15, n))
        return c.Usage("INDEX must be a category index 1-15");
    if (n == 0)
        return c.Usage("'Unfiled' cannot be changed");
    if (CategoryName(db.appInfo, static_cast<unsigned>(n)).empty())
        return c.Fail(HandheldNotFound, "there is no category " + s);
    index = static_cast<unsigned>(n);
    return HandheldOK;
}

int CategoryNameArg(Context& c, const PdbDatabase& db, const std::string& utf8, int except, std::string& sjis)
{
    if (!ToSjis(c, utf8, sjis, "category name"))
        return HandheldUsage;
    if (sjis.empty() || sjis.size() > 15)
        return c.Usage("a category name has 1 to 15 bytes in Shift-JIS");
    int same = FindCategory(db.appInfo, sjis);
    if (same >= 0 && same != except)
        return c.Fail(HandheldUsage, "there is a category with that name already");
    return HandheldOK;
}

int Category(Context& c, const Options& o)
{
    PdbDatabase db;
    if (int e = Load(c, o, db))
        return e;
    if (o.sub == "add") {
        std::string name;
        if (int e = CategoryNameArg(c, db, o.positional[0], -1, name))
            return e;
        int index = AddCategory(db.appInfo, name);
        if (index < 0)
            return c.Fail(HandheldNotFound, "all 15 categories are in use");
        if (int e = Store(c, o, db))
            return e;
        c.out += std::to_string(index) + "\n";
        return HandheldOK;
    }
    unsigned index;
    if (int e = CategoryIndex(c, db, o.positional[0], index))
        return e;
    if (o.sub == "rename") {
        std::string name;
        if (int e = CategoryNameArg(c, db, o.positional[1], static_cast<int>(index), name))
            return e;
        RenameCategory(db.appInfo, index, name);
    } else {
        // The handheld files the category's memos under 'Unfiled'.
        RemoveCategory(db.appInfo, index);
        for (PdbRecord& r : db.records) {
            if (!r.IsDeleted() && r.Category() == index)
                r.attributes = static_cast<std::uint8_t>((r.attributes & ~kPdbRecCategoryMask) | kPdbRecDirty);
        }
    }
    return Store(c, o, db);
}

int Add(Context& c, const Options& o)
{
    std::string text;
    if (int e = InputText(c, text))
        return e;
    PdbDatabase db;
    if (int e = Load(c, o, db))
        return e;
    std::string password;
    bool use;
    if (int e = Password(c, o, db, true, password, use))
        return e;
    if (o.category != 0 && CategoryName(db.appInfo, static_cast<unsigned>(o.category)).empty())
        return c.Fail(HandheldNotFound, "there is no category " + std::to_string(o.category));
    if (db.records.size() >= kPdbMaxRecords)
        return c.Fail(HandheldNotFound, "the database holds as many records as it can");
    PdbRecord r;
    r.uniqueId = NextUniqueId(db);
    if (!r.uniqueId)
        return c.Fail(HandheldNotFound, "no unique ID is left");
    r.attributes = static_cast<std::uint8_t>(kPdbRecDirty | o.category | (o.isPrivate ? kPdbRecSecret : 0));
    r.data = EncodeMemo(0x20, text, use ? &password : nullptr);
    const std::uint32_t id = r.uniqueId;
    db.records.push_back(std::move(r));
    if (int e = Store(c, o, db))
        return e;
    c.out += std::to_string(id) + "\n";
    return HandheldOK;
}

// The live record with that ID; an exit status when there is none.
int FindRecord(Context& c, PdbDatabase& db, const std::string& s, PdbRecord*& rec)
{
    unsigned long id;
    if (!ParseNumber(s, kPdbMaxUniqueId, id))
        return c.Usage("ID must be a record ID");
    for (PdbRecord& r : db.records) {
        if (r.uniqueId == id) {
            if (r.IsDeleted())
                return c.Fail(HandheldNotFound, "record " + s + " is deleted");
            rec = &r;
            return HandheldOK;
        }
    }
    return c.Fail(HandheldNotFound, "there is no record " + s);
}

int Edit(Context& c, const Options& o)
{
    std::string text;
    if (int e = InputText(c, text))
        return e;
    PdbDatabase db;
    if (int e = Load(c, o, db))
        return e;
    std::string password;
    bool use;
    if (int e = Password(c, o, db, true, password, use))
        return e;
    PdbRecord* r = nullptr;
    if (int e = FindRecord(c, db, o.positional[0], r))
        return e;
    std::uint8_t leading = 0x20;
    std::string old;
    if (!DecodeMemo(r->data, use ? &password : nullptr, leading, old))
        leading = 0x20;
    r->data = EncodeMemo(leading, text, use ? &password : nullptr);
    r->attributes |= kPdbRecDirty;
    return Store(c, o, db);
}

int Remove(Context& c, const Options& o, bool archive)
{
    PdbDatabase db;
    if (int e = Load(c, o, db))
        return e;
    PdbRecord* r = nullptr;
    if (int e = FindRecord(c, db, o.positional[0], r))
        return e;
    // Deleting frees the data; archiving keeps it for the desktop's archive.
    r->attributes |= kPdbRecDeleted | kPdbRecDirty;
    if (!archive)
        r->data.clear();
    return Store(c, o, db);
}

const char* Bool(bool b) { return b ? "true" : "false"; }

int List(Context& c, const Options& o)
{
    PdbDatabase db;
    if (int e = Load(c, o, db))
        return e;
    std::string password;
    bool use;
    if (int e = Password(c, o, db, false, password, use))
        return e;
    const bool locked = HasPassword(db.appInfo) && !use;
    std::string s = "{\"database\": " + JsonQuote(SjisToUtf8(db.name)) +
                    ", \"creator\": " + JsonQuote(SjisToUtf8(FourCCText(db.creator))) +
                    ", \"password_set\": " + Bool(HasPassword(db.appInfo)) +
                    ", \"hint\": " + JsonQuote(SjisToUtf8(Hint(db.appInfo))) + ", \"categories\": [";
    bool first = true;
    for (unsigned i = 0; i < 16; ++i) {
        std::string name = CategoryName(db.appInfo, i);
        if (name.empty())
            continue;
        s += first ? "" : ", ";
        first = false;
        s += "{\"index\": " + std::to_string(i) + ", \"id\": " + std::to_string(CategoryId(db.appInfo, i)) +
             ", \"name\": " + JsonQuote(SjisToUtf8(name)) + ", \"renamed\": " + Bool(CategoryRenamed(db.appInfo, i)) +
             "}";
    }
    s += "], \"records\": [";
    for (std::size_t i = 0; i < db.records.size(); ++i) {
        const PdbRecord& r = db.records[i];
        std::string text = "null";
        std::uint8_t leading;
        std::string memo;
        if (!locked && !r.data.empty() && DecodeMemo(r.data, use ? &password : nullptr, leading, memo))
            text = JsonQuote(SjisToUtf8(memo));
        s += i ? ", " : "";
        s += "{\"index\": " + std::to_string(i) + ", \"id\": " + std::to_string(r.uniqueId) +
             ", \"category\": " + std::to_string(r.Category()) + ", \"dirty\": " + Bool(r.IsDirty()) +
             ", \"deleted\": " + Bool(r.IsDeleted()) + ", \"archived\": " + Bool(r.IsArchived()) +
             ", \"private\": " + Bool((r.attributes & kPdbRecSecret) != 0) + ", \"text\": " + text + "}";
    }
    s += "]}\n";
    c.out += s;
    return HandheldOK;
}

} // namespace

int RunHandheld(const std::vector<std::string>& args, const std::function<std::string()>& readInput, std::string& out,
                std::string& err)
{
    Context c{readInput, out, err};
    Options o;
    int e = Parse(args, o, c);
    if (e < 0)
        return HandheldOK;
    if (e)
        return e;
    try {
        if (o.command == "create")
            return Create(c, o);
        if (o.command == "category")
            return Category(c, o);
        if (o.command == "add")
            return Add(c, o);
        if (o.command == "edit")
            return Edit(c, o);
        if (o.command == "delete" || o.command == "archive")
            return Remove(c, o, o.command == "archive");
        return List(c, o);
    } catch (const std::bad_alloc&) {
        return c.Fail(HandheldNotFound, "out of memory");
    }
}

} // namespace tessaly
