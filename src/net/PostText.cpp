#include "net/PostText.h"

#include "net/Nntp.h"
#include "net/PostCodec.h"
#include "platform/Sjis.h"
#include "textcodec/Base64.h"
#include "textcodec/Charsets.h"
#include "textcodec/HeaderWords.h"
#include "textcodec/QuotedPrintable.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <algorithm>
#include <cctype>
#include <chrono>

namespace net {

using textcodec::KanjiCode;

namespace {

constexpr std::size_t kMaxLine = 998;

std::string Base64(std::string_view bytes)
{
    std::string line = textcodec::Base64EncodeLine(bytes);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    return line;
}

std::string Sha256(std::string_view data)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(data.data(), data.size(), digest, &size, EVP_sha256(), nullptr);
    return std::string(reinterpret_cast<char*>(digest), size);
}

std::string HmacSha256(std::string_view key, std::string_view data)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(data.data()),
         data.size(), digest, &size);
    return std::string(reinterpret_cast<char*>(digest), size);
}

bool IsTrail(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

bool IsAttrChar(unsigned char c)
{
    // RFC 2231 attribute-char: a token character other than '*', '\'' and '%'.
    return c > 0x20 && c < 0x7F && std::string_view("*'%()<>@,;:\\\"/[]?=").find(static_cast<char>(c)) == std::string_view::npos;
}

} // namespace

std::string RecommendedMessageId(std::string_view reply)
{
    const std::size_t open = reply.find('<');
    if (open == std::string_view::npos)
        return {};
    const std::size_t close = reply.find('>', open);
    if (close == std::string_view::npos)
        return {};
    std::string id(reply.substr(open, close + 1 - open));
    // RFC 5536: at most 250 octets, printable, one '@'.
    const bool printable = std::all_of(id.begin(), id.end(), [](char c) { return c > 0x20 && c < 0x7F; });
    if (!printable || id.size() > 250 || id.find('@') == std::string::npos || id.size() < 5)
        return {};
    return id;
}

bool ComposeFieldLines(const CNntpPostMessageParam& param, const PostCodec& codec, std::string& lines,
                       std::string& badField)
{
    for (std::size_t i = 0; i < param.fieldNames.size(); ++i) {
        const std::string name = platform::OneLineValue(param.fieldNames[i]);
        // A value may come from another article; it must not end the header line.
        const std::string value = i < param.fieldValues.size() ? platform::OneLineValue(param.fieldValues[i]) : std::string();
        const std::string line = codec.composeHeaderLine(name, value, param.kanjiCode, true);
        if (line.empty() && !name.empty()) {
            badField = name;
            if (!badField.empty() && badField.back() == ':')
                badField.pop_back();
            return false;
        }
        lines += line;
    }
    return true;
}

std::string ConvertBodyLines(const std::vector<std::string>& pieces, KanjiCode code, const PostCodec& codec)
{
    std::string out;
    for (const std::string& text : pieces) {
        std::string line;
        auto flush = [&] {
            // Converted without its line end, so that a stray lead byte at the
            // end cannot take the CR into a character.
            out += codec.convertFromSjis(line, code);
            out += "\r\n";
            line.clear();
        };
        for (std::size_t i = 0; i < text.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            // A lead byte without a proper second byte stays a single byte, so a
            // line end is never swallowed into a character.
            if (platform::IsSjisLeadByte(c) && i + 1 < text.size() && IsTrail(static_cast<unsigned char>(text[i + 1]))) {
                line.append(text, i, 2);
                ++i;
            } else if (c == '\r') {
            } else if (c == 26) {
                line += "^Z";
            } else if (c == '\n') {
                flush();
            } else {
                line += static_cast<char>(c);
            }
        }
        if (!line.empty())
            flush();
    }
    return out;
}

TextPart MakeTextPart(std::string converted, KanjiCode code)
{
    TextPart part;
    const char* charset = code == KanjiCode::Jis    ? "ISO-2022-JP"
                          : code == KanjiCode::Sjis ? "Shift_JIS"
                          : code == KanjiCode::Euc  ? "EUC-JP"
                                                    : "UTF-8";
    bool longLine = false;
    for (std::size_t from = 0; from < converted.size() && !longLine;) {
        const std::size_t end = std::min(converted.find("\r\n", from), converted.size());
        longLine = end - from > kMaxLine;
        from = end + 2;
    }
    part.headerLines = std::string("Content-Type: text/plain; charset=") + charset + "\r\n";
    if (longLine) {
        part.headerLines += "Content-Transfer-Encoding: quoted-printable\r\n";
        std::string qp = textcodec::EncodeQuotedPrintable(converted);
        part.body.reserve(qp.size() + qp.size() / 32);
        for (std::size_t from = 0; from < qp.size();) {
            const std::size_t end = std::min(qp.find('\n', from), qp.size());
            std::string_view piece(qp.data() + from, end - from);
            if (!piece.empty() && piece.back() == '\r')
                piece.remove_suffix(1);
            part.body.append(piece);
            part.body += "\r\n";
            from = end + 1;
        }
    } else {
        part.headerLines += code == KanjiCode::Jis ? "Content-Transfer-Encoding: 7bit\r\n"
                                                   : "Content-Transfer-Encoding: 8bit\r\n";
        part.body = std::move(converted);
    }
    return part;
}

std::string AttachmentNameUtf8(const CNntpPostMessageParam& param)
{
    std::string name = param.attachName.empty() ? param.attachPath.filename().string()
                                                : textcodec::SjisToUtf8(param.attachName);
    // A name from elsewhere may still carry a Windows folder part.
    const std::size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    if (!textcodec::IsMultibyteUtf8(name) &&
        std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
        name = textcodec::SjisToUtf8(name); // not UTF-8: an old Shift_JIS name
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '_';
    return name.empty() ? std::string("attachment") : name;
}

std::string BeginLineName(std::string_view utf8Name)
{
    std::string out;
    for (char c : utf8Name)
        out += (c > 0x20 && c < 0x7F && c != '/' && c != '\\') ? c : '_';
    return out.empty() ? std::string("attachment") : out;
}

std::string AttachmentTypeLines(std::string_view type, std::string_view utf8Name, KanjiCode code)
{
    const bool plain = utf8Name.size() <= 60 && std::all_of(utf8Name.begin(), utf8Name.end(), [](char c) {
                           return c >= 0x20 && c < 0x7F && c != '"' && c != '\\';
                       });
    std::string typeLine = "Content-Type: " + std::string(type) + ";";
    std::string disposition = "Content-Disposition: attachment;";
    if (plain) {
        typeLine += "\r\n name=\"" + std::string(utf8Name) + "\"\r\n";
        disposition += "\r\n filename=\"" + std::string(utf8Name) + "\"\r\n";
        return typeLine + disposition;
    }
    // RFC 2231: the value percent-encoded, in pieces that each fit a line.
    std::vector<std::string> pieces(1);
    for (char ch : utf8Name) {
        const unsigned char c = static_cast<unsigned char>(ch);
        std::string one;
        if (IsAttrChar(c)) {
            one = static_cast<char>(c);
        } else {
            static const char kHex[] = "0123456789ABCDEF";
            one = {'%', kHex[c >> 4], kHex[c & 15]};
        }
        if (pieces.back().size() + one.size() > 60)
            pieces.emplace_back();
        pieces.back() += one;
    }
    auto params = [&](const char* attr) {
        std::string out;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            out += "\r\n ";
            out += attr;
            if (pieces.size() > 1)
                out += "*" + std::to_string(i);
            out += "*=";
            if (i == 0)
                out += "UTF-8''";
            out += pieces[i];
            out += i + 1 < pieces.size() ? ";" : "";
        }
        return out;
    };
    // Older readers know only an RFC 2047 name in quotes.
    std::string words = textcodec::EncodeHeaderValue(textcodec::Utf8ToSjis(utf8Name), code);
    std::replace(words.begin(), words.end(), '"', '_');
    typeLine += "\r\n name=\"" + words + "\";" + params("name") + "\r\n";
    disposition += params("filename") + "\r\n";
    return typeLine + disposition;
}

std::string CancelKey(std::string_view secret, std::string_view messageId)
{
    return "sha256:" + Base64(HmacSha256(secret, messageId));
}

std::string CancelLock(std::string_view secret, std::string_view messageId)
{
    return "sha256:" + Base64(Sha256(Base64(HmacSha256(secret, messageId))));
}

std::string MakeMessageId(std::string_view address)
{
    std::string domain = "lumetra.invalid";
    const std::size_t at = address.rfind('@');
    if (at != std::string_view::npos) {
        std::string d;
        for (std::size_t i = at + 1; i < address.size(); ++i) {
            const char c = address[i];
            if (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-')
                d += c;
            else
                break;
        }
        if (d.find('.') != std::string::npos && d.size() < 200)
            domain = d;
    }
    unsigned char random[12];
    RAND_bytes(random, sizeof random);
    std::string tag;
    static const char kHex[] = "0123456789abcdef";
    for (unsigned char b : random) {
        tag += kHex[b >> 4];
        tag += kHex[b & 15];
    }
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return "<lumetra." + std::to_string(std::chrono::duration_cast<std::chrono::seconds>(now).count()) + "." + tag +
           "@" + domain + ">";
}

} // namespace net
