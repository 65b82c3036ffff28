#include "news/Signatures.h"

#if __has_include("textcodec/Base64.h")
#include "textcodec/Base64.h"

std::string EncodeSignatureText(std::string_view text)
{
    std::string out;
    CBase64 codec;
    codec.EncodeString(std::string(text), out);
    return out;
}

std::optional<std::string> DecodeSignatureText(std::string_view base64)
{
    if (base64.empty())
        return std::nullopt;
    std::string out;
    CBase64 codec;
    if (codec.DecodeString(std::string(base64), out) != 0)
        return std::nullopt;
    return out;
}
#else
// Until the codec library lands.
std::string EncodeSignatureText(std::string_view) { return {}; }
std::optional<std::string> DecodeSignatureText(std::string_view) { return std::nullopt; }
#endif
