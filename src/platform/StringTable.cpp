#include "platform/StringTable.h"

#include "platform/TextLines.h"

#include "platform/AtomicFile.h"
#include "platform/NameFold.h"
#include "platform/Sjis.h"

#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <unistd.h>

#ifndef LUMETRA_BUILT_STRINGS
#define LUMETRA_BUILT_STRINGS ""
#endif

namespace platform {
namespace {

struct Table {
    std::mutex lock;
    std::optional<std::filesystem::path> explicitPath;
    bool loaded = false;
    std::map<unsigned, std::string> texts;
};

Table& TheTable()
{
    static Table t;
    return t;
}

std::filesystem::path ExecutableDir()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe.parent_path();
}

std::filesystem::path FindTable(const Table& t)
{
    if (t.explicitPath)
        return *t.explicitPath;
    if (const char* env = std::getenv("LUMETRA_STRINGS"); env && *env)
        return env;
    std::error_code ec;
    if (const auto dir = ExecutableDir(); !dir.empty()) {
        const auto installed = dir / ".." / "share" / "lumetra" / "strings.txt";
        if (std::filesystem::is_regular_file(installed, ec))
            return installed;
    }
    return LUMETRA_BUILT_STRINGS;
}

// The file is Shift_JIS already, so escapes are undone without touching the
// second byte of a double-byte character, which may be a backslash (0x5C).
std::string Unescape(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (IsSjisLeadByte(c) && i + 1 < s.size()) {
            out += s[i];
            out += s[++i];
            continue;
        }
        if (c == '\\' && i + 1 < s.size()) {
            switch (s[i + 1]) {
            case 'n': out += '\n'; ++i; continue;
            case 't': out += '\t'; ++i; continue;
            case '\\': out += '\\'; ++i; continue;
            default: break;
            }
        }
        out += s[i];
    }
    return out;
}

void Load(Table& t)
{
    t.texts.clear();
    t.loaded = true;
    const auto text = ReadWholeFile(FindTable(t));
    if (!text)
        return;
    std::size_t pos = 0;
    std::string_view line;
    while (NextLine(*text, pos, line)) {
        if (line.empty() || line.front() == '#')
            continue;
        const auto tab = line.find('\t');
        if (tab == std::string_view::npos || tab == 0)
            continue;
        unsigned id = 0;
        bool digits = true;
        for (char c : line.substr(0, tab)) {
            if (c < '0' || c > '9' || id > 0xFFFFFu) {
                digits = false;
                break;
            }
            id = id * 10 + static_cast<unsigned>(c - '0');
        }
        if (digits)
            t.texts.insert_or_assign(id, Unescape(line.substr(tab + 1)));
    }
}

} // namespace

std::string LoadString(unsigned id)
{
    Table& t = TheTable();
    std::lock_guard<std::mutex> guard(t.lock);
    if (!t.loaded)
        Load(t);
    const auto it = t.texts.find(id);
    return it == t.texts.end() ? std::string() : it->second;
}

bool HasString(unsigned id)
{
    Table& t = TheTable();
    std::lock_guard<std::mutex> guard(t.lock);
    if (!t.loaded)
        Load(t);
    return t.texts.count(id) != 0;
}

void SetStringTablePath(const std::filesystem::path& path)
{
    Table& t = TheTable();
    std::lock_guard<std::mutex> guard(t.lock);
    t.explicitPath = path;
    t.loaded = false;
}

} // namespace platform
