#include "textcodec/Uuencode.h"

#include <sys/stat.h>

#include <cstdio>

#include "textcodec/FileIo.h"

namespace textcodec {

using namespace detail;

namespace {

char UuChar(unsigned v) { return v == 0 ? '`' : static_cast<char>((v & 63) + 0x20); }

// Next line of text from pos (without its LF and a CR before it); false at the end.
bool NextLine(std::string_view text, size_t& pos, std::string_view& line)
{
    if (pos >= text.size())
        return false;
    size_t lf = text.find('\n', pos);
    size_t end = lf == std::string_view::npos ? text.size() : lf;
    line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    pos = lf == std::string_view::npos ? text.size() : lf + 1;
    return true;
}

bool IsBeginLine(std::string_view line)
{
    if (!line.starts_with("begin "))
        return false;
    size_t w = line.find_first_not_of(" \t", 6);
    return w != std::string_view::npos;
}

} // namespace

std::string Uuencode(std::string_view data, unsigned mode, std::string_view name)
{
    std::string out;
    out.reserve(data.size() / 45 * 62 + 64 + name.size());
    char head[32];
    std::snprintf(head, sizeof head, "begin %o ", mode & 0777);
    out += head;
    out += name;
    out += '\n';
    const auto* p = reinterpret_cast<const unsigned char*>(data.data());
    for (size_t i = 0; i < data.size(); i += 45) {
        size_t n = data.size() - i < 45 ? data.size() - i : 45;
        out += UuChar(static_cast<unsigned>(n));
        for (size_t k = 0; k < n; k += 3) {
            // Bytes past the data are zero, so nothing stray is posted.
            unsigned a = p[i + k];
            unsigned b = k + 1 < n ? p[i + k + 1] : 0;
            unsigned c = k + 2 < n ? p[i + k + 2] : 0;
            out += UuChar(a >> 2);
            out += UuChar((a << 4 | b >> 4) & 63);
            out += UuChar((b << 2 | c >> 6) & 63);
            out += UuChar(c & 63);
        }
        out += '\n';
    }
    out += "`\nend\n";
    return out;
}

namespace {

// Decodes the data lines after a begin line; pos is moved past the end line
// when there is one.
int DecodeBody(std::string_view text, size_t& pos, std::string& data)
{
    std::string_view line;
    bool ended = false;
    while (NextLine(text, pos, line)) {
        if (line.empty()) {
            ended = true;
            break;
        }
        auto val = [&](size_t i) -> unsigned {
            // Characters missing from a short line count as zero.
            if (i >= line.size())
                return 0;
            char c = line[i] == '`' ? ' ' : line[i];
            return (static_cast<unsigned char>(c) - 0x20) & 63;
        };
        unsigned count = val(0);
        if (count < 1) {
            ended = true;
            break;
        }
        for (size_t i = 1; count > 0; i += 4) {
            unsigned a = val(i), b = val(i + 1), c = val(i + 2), d = val(i + 3);
            char bytes[3] = {static_cast<char>(a << 2 | b >> 4), static_cast<char>(b << 4 | c >> 2),
                             static_cast<char>(c << 6 | d)};
            unsigned n = count < 3 ? count : 3;
            data.append(bytes, n);
            count -= n;
        }
    }
    if (!ended)
        return UUD_NO_END;
    if (!NextLine(text, pos, line) || line != "end")
        return UUD_NO_END;
    return UUD_OK;
}

bool FindBegin(std::string_view text, size_t& pos)
{
    std::string_view line;
    while (NextLine(text, pos, line))
        if (IsBeginLine(line))
            return true;
    return false;
}

} // namespace

int Uudecode(std::string_view text, std::string& data)
{
    data.clear();
    size_t pos = 0;
    if (!FindBegin(text, pos))
        return UUD_NO_BEGIN;
    return DecodeBody(text, pos, data);
}

int UuencodeFile(const std::filesystem::path& input, const std::filesystem::path& output)
{
    auto data = ReadFileBytes(input);
    if (!data)
        return UU_INPUT_FAILED;
    struct stat st {};
    unsigned mode = 0644;
    if (::stat(input.c_str(), &st) == 0)
        mode = st.st_mode & 0777;
    std::string text = Uuencode(*data, mode, BaseName(input.string()));
    return WriteFileBytes(output, text) == WriteResult::Ok ? UU_OK : UU_OUTPUT_FAILED;
}

int UudecodeFile(const std::filesystem::path& input, const std::filesystem::path& output)
{
    auto text = ReadFileBytes(input);
    if (!text)
        return UUD_INPUT_FAILED;
    size_t pos = 0;
    if (!FindBegin(*text, pos))
        return UUD_NO_BEGIN;
    std::string data;
    int rc = DecodeBody(*text, pos, data);
    if (WriteFileBytes(output, data) != WriteResult::Ok)
        return UUD_OUTPUT_FAILED;
    return rc;
}

} // namespace textcodec
