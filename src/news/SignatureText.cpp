#include "news/Signatures.h"

#include "textcodec/CBase64.h"

namespace news {

using namespace textcodec;

std::string EncodeSignatureText(std::string_view text)
{
    std::string out;
    CBase64 codec;
    if (codec.EncodeString(text, out) != 0)
        out.clear();
    return out;
}

std::optional<std::string> DecodeSignatureText(std::string_view base64)
{
    std::string out;
    CBase64 codec;
    if (base64.empty() || codec.DecodeString(base64, out) != 0)
        return std::nullopt;
    return out;
}

} // namespace news
