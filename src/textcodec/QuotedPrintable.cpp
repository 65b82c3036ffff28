#include "textcodec/QuotedPrintable.h"

namespace textcodec {

namespace {
int Hex(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}
} // namespace

size_t DecodeQuotedPrintableLine(std::string_view text, std::string& out)
{
    size_t end = text.find_first_of("\r\n");
    if (end != std::string_view::npos)
        text = text.substr(0, end);
    out.clear();
    out.reserve(text.size() + 2);
    if (!text.empty() && text.back() == '=') {
        text.remove_suffix(1); // soft line break
        end = 0;
    } else {
        end = 1;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        int hi, lo;
        if (text[i] == '=' && i + 2 < text.size() && (hi = Hex(text[i + 1])) >= 0 && (lo = Hex(text[i + 2])) >= 0) {
            out += static_cast<char>(hi << 4 | lo);
            i += 2;
        } else {
            out += text[i];
        }
    }
    if (end)
        out += "\r\n";
    return out.size();
}

std::string EncodeQuotedPrintable(std::string_view data)
{
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(data.size() * 3 / 2 + 16);
    size_t column = 0;
    auto put = [&](std::string_view piece) {
        if (column + piece.size() > 75) { // room for the soft break "="
            out += "=\n";
            column = 0;
        }
        out += piece;
        column += piece.size();
    };
    for (size_t i = 0; i < data.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(data[i]);
        if (c == '\n' || (c == '\r' && i + 1 < data.size() && data[i + 1] == '\n')) {
            if (c == '\r')
                ++i;
            out += '\n';
            column = 0;
            continue;
        }
        bool atLineEnd = i + 1 == data.size() || data[i + 1] == '\n' ||
                         (data[i + 1] == '\r' && i + 2 < data.size() && data[i + 2] == '\n');
        bool plain = (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !atLineEnd);
        if (plain) {
            char ch = static_cast<char>(c);
            put(std::string_view(&ch, 1));
        } else {
            char esc[3] = {'=', hex[c >> 4], hex[c & 15]};
            put(std::string_view(esc, 3));
        }
    }
    return out;
}

} // namespace textcodec
