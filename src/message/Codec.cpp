#include "message/Codec.h"

#include "textcodec/Base64.h"
#include <algorithm>
#include "textcodec/BinHex.h"
#include "textcodec/ConvertFromSjis.h"
#include "textcodec/ConvertToSjis.h"
#include "textcodec/HeaderWords.h"
#include "textcodec/JapaneseCodes.h"
#include "textcodec/Uuencode.h"

using namespace textcodec;

namespace message::codec {

std::string ToSjis(std::string_view text, InputCode code)
{
    std::string out;
    // Shift_JIS never needs more bytes than the input; a little room for odd input.
    if (!ConvertToSjis(out, text, text.size() + 16, code == Auto ? TC_AUTO : TC_AUTO_SJIS))
        return std::string(text);
    return out;
}

std::string DecodeHeaderValue(std::string_view text)
{
    if (text.find("=?") == std::string_view::npos && std::none_of(text.begin(), text.end(), [](char c) {
            return c == 0x1B || (static_cast<unsigned char>(c) & 0x80);
        }))
        return std::string(text); // plain ASCII: nothing to decode or convert
    return DecodeHeaderToSjis(text);
}

std::string FromSjis(std::string_view text, KanjiCode code) { return ConvertFromSjis(text, code); }

std::string EncodeHeaderWords(std::string_view jisText)
{
    std::string out;
    textcodec::EncodeHeaderWords(out, jisText);
    return out;
}

std::string Base64DecodeLine(std::string_view text)
{
    std::string out;
    textcodec::Base64DecodeLine(out, text);
    return out;
}

int UudecodeFile(const std::filesystem::path& in, const std::filesystem::path& out)
{
    return textcodec::UudecodeFile(in, out);
}

std::optional<std::string> BinHexDecodeFile(const std::filesystem::path& in, const std::filesystem::path& intermediate,
                                            const std::filesystem::path& out)
{
    auto header = textcodec::BinHexDecodeFile(in, 0, intermediate, out);
    if (!header)
        return std::nullopt;
    return header->name;
}

std::optional<std::string> BinHexReadHeader(const std::filesystem::path& in, const std::filesystem::path& intermediate)
{
    auto header = textcodec::BinHexReadHeader(in, 0, intermediate);
    if (!header)
        return std::nullopt;
    return header->name;
}

} // namespace message::codec
