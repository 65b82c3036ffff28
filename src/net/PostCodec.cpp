#include "net/PostCodec.h"

#include "message/HeaderFields.h"
#include "textcodec/ConvertFromSjis.h"

namespace net {

using namespace textcodec;

namespace {

PostCodec LibraryCodec()
{
    PostCodec codec;
    // What goes out holds only what its charset label promises.
    codec.convertFromSjis = [](std::string_view text, KanjiCode code) {
        return ConvertFromSjis(text, code, Uncarried::Replace);
    };
    codec.composeHeaderLine = [](std::string_view name, std::string_view value, KanjiCode code, bool encode) {
        return message::ComposeHeaderLine(name, value, code, encode);
    };
    codec.makeBoundary = [](bool tag) { return message::MakeBoundary(tag); };
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

} // namespace net
