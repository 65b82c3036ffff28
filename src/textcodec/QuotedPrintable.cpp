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

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
} // namespace

size_t DecodeQuotedPrintableLine(std::string_view text, std::string& out, bool dropTrailingBlanks)
{
    size_t end = text.find_first_of("\r\n");
    if (end != std::string_view::npos)
        text = text.substr(0, end);
    while (dropTrailingBlanks && !text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
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

void QuotedPrintableDecoder::EndLine(std::string& out)
{
    if (!line_.empty() && line_.back() == '\r')
        line_.pop_back();
    if (!line_.empty() && line_.back() == '=') {
        line_.pop_back();
        joined_ += line_;
        line_.clear();
        return;
    }
    joined_ += line_;
    line_.clear();
    DecodeQuotedPrintableLine(joined_, decoded_, dropBlanks_);
    out += decoded_;
    joined_.clear();
}

void QuotedPrintableDecoder::Put(std::string_view in, std::string& out)
{
    while (!in.empty()) {
        const size_t lf = in.find('\n');
        if (lf == std::string_view::npos) {
            line_.append(in);
            return;
        }
        line_.append(in.substr(0, lf));
        in.remove_prefix(lf + 1);
        EndLine(out);
    }
}

void QuotedPrintableDecoder::Finish(std::string& out)
{
    if (!line_.empty())
        EndLine(out);
    if (!joined_.empty()) {
        joined_ += '=';
        DecodeQuotedPrintableLine(joined_, decoded_, dropBlanks_);
        out += decoded_;
        joined_.clear();
    }
}

void QuotedPrintableEncoder::Encode(std::string& out, bool atEnd)
{
    static const char* hex = "0123456789ABCDEF";
    const std::string_view data = carry_;
    auto put = [&](std::string_view piece) {
        if (column_ + piece.size() > 75) { // room for the soft break "="
            out += "=\n";
            column_ = 0;
        }
        out += piece;
        column_ += piece.size();
    };
    // A byte is settled once the two after it are known (a blank before CR LF).
    const size_t settled = atEnd ? data.size() : (data.size() > 2 ? data.size() - 2 : 0);
    size_t i = 0;
    for (; i < settled; ++i) {
        unsigned char c = static_cast<unsigned char>(data[i]);
        if (c == '\n' || (c == '\r' && i + 1 < data.size() && data[i + 1] == '\n')) {
            if (c == '\r')
                ++i;
            out += '\n';
            column_ = 0;
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
    carry_.erase(0, i);
}

void QuotedPrintableEncoder::Put(std::string_view in, std::string& out)
{
    carry_.append(in);
    Encode(out, false);
}

void QuotedPrintableEncoder::Finish(std::string& out)
{
    Encode(out, true);
}

std::string EncodeQuotedPrintable(std::string_view data)
{
    std::string out;
    out.reserve(data.size() * 3 / 2 + 16);
    QuotedPrintableEncoder encoder;
    encoder.Put(data, out);
    encoder.Finish(out);
    return out;
}

} // namespace textcodec
