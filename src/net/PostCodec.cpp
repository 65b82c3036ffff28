#include "net/PostCodec.h"

#include <cstdint>
#include <ctime>

#include "platform/Clock.h"

#if __has_include("message/HeaderFields.h") && __has_include("textcodec/ConvertFromSjis.h")
#include "message/HeaderFields.h"
#include "textcodec/ConvertFromSjis.h"
#define LUMETRA_NET_HAVE_MESSAGE 1
#endif

namespace net {
namespace {

PostCodec LibraryCodec()
{
    PostCodec codec;
#ifdef LUMETRA_NET_HAVE_MESSAGE
    codec.convertFromSjis = [](std::string_view text, int code) { return ConvertFromSjis(text, code); };
    codec.composeHeaderLine = [](std::string_view name, std::string_view value, int code, bool encode) {
        return message::ComposeHeaderLine(name, value, code, encode);
    };
    codec.makeBoundary = [](bool tag) { return message::MakeBoundary(tag); };
#else
    // Until the codec libraries are linked in: Shift_JIS passes unchanged.
    codec.convertFromSjis = [](std::string_view text, int) { return std::string(text); };
    codec.composeHeaderLine = [](std::string_view name, std::string_view value, int, bool) {
        if (name.empty())
            return std::string();
        std::string line(name);
        if (name.find(':') == std::string_view::npos)
            line += ": ";
        else if (name.back() == ':')
            line += ' ';
        line += value;
        line += "\r\n";
        return line;
    };
    codec.makeBoundary = [](bool tag) {
        std::string b = "---------";
        if (tag)
            b += "XK";
        b += std::to_string(static_cast<long long>(std::time(nullptr)));
        b += '-';
        b += std::to_string(static_cast<std::int32_t>(static_cast<std::uint32_t>(platform::GetTickCount())));
        return b;
    };
#endif
    return codec;
}

PostCodec& Current()
{
    static PostCodec codec = LibraryCodec();
    return codec;
}

} // namespace

const PostCodec& GetPostCodec() { return Current(); }

void SetPostCodec(PostCodec codec)
{
    PostCodec base = LibraryCodec();
    Current().convertFromSjis = codec.convertFromSjis ? std::move(codec.convertFromSjis) : std::move(base.convertFromSjis);
    Current().composeHeaderLine = codec.composeHeaderLine ? std::move(codec.composeHeaderLine) : std::move(base.composeHeaderLine);
    Current().makeBoundary = codec.makeBoundary ? std::move(codec.makeBoundary) : std::move(base.makeBoundary);
}

void ResetPostCodec() { Current() = LibraryCodec(); }

bool HaveLibraryCodec()
{
#ifdef LUMETRA_NET_HAVE_MESSAGE
    return true;
#else
    return false;
#endif
}

} // namespace net
