#include "textcodec/QuotedPrintable.h"

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
