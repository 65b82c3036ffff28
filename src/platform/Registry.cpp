#include "platform/Registry.h"

#include "platform/TextLines.h"

#include "platform/AtomicFile.h"
#include "platform/NameFold.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <unistd.h>

// The store file:
//   LUMETRA-SETTINGS 1
//   [Section]
//   name=int:-12
//   name=str:text
//   name=bin:0a0b0c
//   END
// Names and text keep printable ASCII as is; every other byte and the
// characters \ = [ ] are written as \xHH, so any bytes survive and a line is
// always one entry. The closing END line shows that the file is complete.

namespace platform {
namespace {

constexpr std::string_view kHeader = "LUMETRA-SETTINGS 1";
constexpr std::string_view kTrailer = "END";

const char kHex[] = "0123456789abcdef";

std::string Escape(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7F && c != '\\' && c != '=' && c != '[' && c != ']') {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool Unescape(std::string_view s, std::string& out)
{
    out.clear();
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (i + 3 >= s.size() || s[i + 1] != 'x')
            return false;
        const int hi = HexDigit(s[i + 2]), lo = HexDigit(s[i + 3]);
        if (hi < 0 || lo < 0)
            return false;
        out += static_cast<char>(hi * 16 + lo);
        i += 3;
    }
    return true;
}

bool ParseHex(std::string_view s, std::vector<std::uint8_t>& out)
{
    if (s.size() % 2 != 0)
        return false;
    out.clear();
    out.reserve(s.size() / 2);
    for (std::size_t i = 0; i < s.size(); i += 2) {
        const int hi = HexDigit(s[i]), lo = HexDigit(s[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    return true;
}

std::string HomeDirectory()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

} // namespace

Registry::Registry(std::filesystem::path path) : path_(std::move(path))
{
    RemoveStaleTemporaries(path_);
    Load();
}

std::filesystem::path Registry::UserStorePath()
{
    std::filesystem::path base;
    // Relative values are to be ignored, as for every XDG variable.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        base = xdg;
    else
        base = std::filesystem::path(HomeDirectory()) / ".config";
    return base / "Quorvane" / "Lumetra" / "registry";
}

std::filesystem::path UserCacheFolder()
{
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && xdg[0] == '/')
        base = xdg;
    else
        base = std::filesystem::path(HomeDirectory()) / ".cache";
    return base / "Quorvane" / "Lumetra";
}

std::filesystem::path UserStateFolder()
{
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && xdg[0] == '/')
        base = xdg;
    else
        base = std::filesystem::path(HomeDirectory()) / ".local" / "state";
    return base / "Quorvane" / "Lumetra";
}

Registry& Registry::User()
{
    static Registry store(UserStorePath());
    return store;
}

bool Registry::Load()
{
    sections_.clear();
    displayNames_.clear();
    loadError_.clear();
    saveBlocked_ = false;

    int err = 0;
    const auto text = ReadWholeFile(path_, &err);
    if (!text) {
        if (err == ENOENT || err == ENOTDIR)
            return true;
        loadError_ = "The settings file " + path_.string() + " cannot be read (" + std::strerror(err) +
                     "); settings will not be saved.";
        saveBlocked_ = true;
        return false;
    }

    std::string problem;
    std::size_t lineNo = 0;
    std::string currentSection; // folded
    bool sawTrailer = false;
    std::size_t pos = 0;
    while (problem.empty() && pos < text->size()) {
        std::size_t end = text->find('\n', pos);
        if (end == std::string::npos) {
            problem = "the last line is incomplete";
            break;
        }
        std::string_view line(text->data() + pos, end - pos);
        pos = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (sawTrailer) {
            problem = "text follows the end mark";
        } else if (lineNo == 1) {
            if (line != kHeader)
                problem = "the first line is not the settings header";
        } else if (line == kTrailer) {
            sawTrailer = true;
        } else if (!line.empty() && line.front() == '[') {
            std::string name;
            if (line.back() != ']' || !Unescape(line.substr(1, line.size() - 2), name)) {
                problem = "a section line is malformed";
            } else {
                currentSection = FoldName(name);
                displayNames_.try_emplace(currentSection, name);
                sections_[currentSection];
            }
        } else {
            const auto eq = line.find('=');
            const auto colon = eq == std::string_view::npos ? eq : line.find(':', eq);
            std::string name;
            if (displayNames_.empty()) {
                problem = "a value comes before any section";
            } else if (colon == std::string_view::npos || !Unescape(line.substr(0, eq), name)) {
                problem = "a value line is malformed";
            } else {
                const std::string_view type = line.substr(eq + 1, colon - eq - 1);
                const std::string_view data = line.substr(colon + 1);
                Value v;
                v.name = name;
                if (type == "int") {
                    v.type = Type::Integer;
                    const auto r = std::from_chars(data.data(), data.data() + data.size(), v.number);
                    if (r.ec != std::errc() || r.ptr != data.data() + data.size() || data.empty())
                        problem = "an integer value is malformed";
                } else if (type == "str") {
                    v.type = Type::String;
                    if (!Unescape(data, v.text))
                        problem = "a text value is malformed";
                } else if (type == "bin") {
                    v.type = Type::Binary;
                    if (!ParseHex(data, v.bytes))
                        problem = "a binary value is malformed";
                } else {
                    problem = "a value has an unknown type";
                }
                if (problem.empty())
                    sections_[currentSection].insert_or_assign(FoldName(name), std::move(v));
            }
        }
    }
    if (problem.empty() && !sawTrailer)
        problem = text->empty() ? "the file is empty" : "the end mark is missing (the file is cut short)";
    if (problem.empty())
        return true;

    sections_.clear();
    displayNames_.clear();
    // Keep the damaged file for the user to inspect or repair; never overwrite it.
    std::filesystem::path aside;
    for (int n = 1; n < 10000; ++n) {
        std::filesystem::path candidate = path_;
        candidate += ".damaged-" + std::to_string(n);
        std::error_code ec;
        if (!std::filesystem::exists(candidate, ec) && !ec) {
            aside = candidate;
            break;
        }
    }
    const std::string where = lineNo ? " (line " + std::to_string(lineNo) + ")" : std::string();
    if (!aside.empty() && ::rename(path_.c_str(), aside.c_str()) == 0) {
        loadError_ = "The settings file " + path_.string() + " is damaged: " + problem + where +
                     ". It was kept as " + aside.string() + " and the settings start empty.";
        return false;
    }
    loadError_ = "The settings file " + path_.string() + " is damaged: " + problem + where +
                 ", and it could not be moved aside (" + std::strerror(errno) + "); settings will not be saved.";
    saveBlocked_ = true;
    return false;
}

bool Registry::Save() const
{
    if (saveBlocked_)
        return false;
    std::string out;
    out += kHeader;
    out += '\n';
    for (const auto& [folded, values] : sections_) {
        if (values.empty())
            continue;
        const auto dn = displayNames_.find(folded);
        out += '[';
        out += Escape(dn != displayNames_.end() ? dn->second : folded);
        out += "]\n";
        for (const auto& [key, v] : values) {
            out += Escape(v.name);
            switch (v.type) {
            case Type::Integer:
                out += "=int:";
                out += std::to_string(v.number);
                break;
            case Type::String:
                out += "=str:";
                out += Escape(v.text);
                break;
            case Type::Binary:
                out += "=bin:";
                for (std::uint8_t b : v.bytes) {
                    out += kHex[b >> 4];
                    out += kHex[b & 15];
                }
                break;
            }
            out += '\n';
        }
    }
    out += kTrailer;
    out += '\n';

    std::error_code ec;
    const auto dir = path_.parent_path();
    if (!dir.empty() && !std::filesystem::exists(dir, ec)) {
        std::filesystem::create_directories(dir, ec);
        if (ec)
            return false;
    }
    return WriteFileAtomically(path_, out, 0600);
}

const Registry::Value* Registry::Find(std::string_view section, std::string_view key) const
{
    const auto s = sections_.find(FoldName(section));
    if (s == sections_.end())
        return nullptr;
    const auto v = s->second.find(FoldName(key));
    return v == s->second.end() ? nullptr : &v->second;
}

std::string Registry::GetString(std::string_view section, std::string_view key, std::string_view def) const
{
    const Value* v = Find(section, key);
    return v && v->type == Type::String ? v->text : std::string(def);
}

int Registry::GetInt(std::string_view section, std::string_view key, int def) const
{
    const Value* v = Find(section, key);
    return v && v->type == Type::Integer ? v->number : def;
}

std::size_t Registry::GetBinary(std::string_view section, std::string_view key,
                                std::vector<std::uint8_t>& out) const
{
    const Value* v = Find(section, key);
    if (!v || v->type != Type::Binary) {
        out.clear();
        return 0;
    }
    out = v->bytes;
    return out.size();
}

bool Registry::GetBinaryExact(std::string_view section, std::string_view key, void* out, std::size_t size) const
{
    const Value* v = Find(section, key);
    if (!v || v->type != Type::Binary || v->bytes.size() != size)
        return false;
    if (size > 0)
        std::memcpy(out, v->bytes.data(), size);
    return true;
}

std::optional<Registry::Type> Registry::TypeOf(std::string_view section, std::string_view key) const
{
    const Value* v = Find(section, key);
    return v ? std::optional<Type>(v->type) : std::nullopt;
}

namespace {

// Runs change on the store and persists it; a failed save restores the old state,
// so memory never claims what the file does not hold.
template <class Sections, class Names, class Change, class SaveFn>
bool ChangeAndSave(Sections& sections, Names& names, Change change, SaveFn save)
{
    Sections oldSections = sections;
    Names oldNames = names;
    change();
    if (save())
        return true;
    sections = std::move(oldSections);
    names = std::move(oldNames);
    return false;
}

} // namespace

bool Registry::WriteScalar(std::string_view section, std::string_view key, Value v)
{
    v.name = key;
    return ChangeAndSave(sections_, displayNames_, [&] {
        const std::string fs = FoldName(section);
        displayNames_.try_emplace(fs, section);
        auto& values = sections_[fs];
        const std::string fk = FoldName(key);
        if (auto it = values.find(fk); it != values.end())
            v.name = it->second.name;
        values.insert_or_assign(fk, std::move(v));
    }, [this] { return Save(); });
}

bool Registry::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    Value v;
    v.type = Type::String;
    v.text = value;
    return WriteScalar(section, key, std::move(v));
}

bool Registry::WriteInt(std::string_view section, std::string_view key, int value)
{
    Value v;
    v.type = Type::Integer;
    v.number = value;
    return WriteScalar(section, key, std::move(v));
}

bool Registry::WriteBinary(std::string_view section, std::string_view key, const void* data, std::size_t size)
{
    Value v;
    v.type = Type::Binary;
    if (size > 0) {
        const auto* p = static_cast<const std::uint8_t*>(data);
        v.bytes.assign(p, p + size);
    }
    v.name = key;
    return ChangeAndSave(sections_, displayNames_, [&] {
        const std::string fs = FoldName(section);
        displayNames_.try_emplace(fs, section);
        auto& values = sections_[fs];
        // The old entry goes whatever its type; the new one takes the caller's spelling.
        values.erase(FoldName(key));
        values.emplace(FoldName(key), std::move(v));
    }, [this] { return Save(); });
}

bool Registry::DeleteValue(std::string_view section, std::string_view key)
{
    const auto s = sections_.find(FoldName(section));
    if (s == sections_.end() || s->second.find(FoldName(key)) == s->second.end())
        return true;
    return ChangeAndSave(sections_, displayNames_, [&] {
        auto& values = sections_[FoldName(section)];
        values.erase(FoldName(key));
        if (values.empty()) {
            sections_.erase(FoldName(section));
            displayNames_.erase(FoldName(section));
        }
    }, [this] { return Save(); });
}

std::string AppPathLookup(std::string_view executableName)
{
    std::filesystem::path file = "/etc/xdg/Quorvane/Lumetra/apppaths";
    if (const char* env = std::getenv("LUMETRA_APP_PATHS"); env && *env)
        file = env;
    const auto text = ReadWholeFile(file);
    if (!text)
        return {};
    const std::string wanted = FoldName(executableName);
    std::size_t pos = 0;
    std::string_view line;
    while (NextLine(*text, pos, line)) {
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (line.empty() || line.front() == '#')
            continue;
        const auto eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        std::string_view name = line.substr(0, eq);
        while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
            name.remove_suffix(1);
        if (FoldName(name) != wanted)
            continue;
        std::string_view value = line.substr(eq + 1);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
            value.remove_prefix(1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        return std::string(value);
    }
    return {};
}

} // namespace platform
