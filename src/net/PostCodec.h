#pragma once
// The text conversions posting needs, reached through one seam so that the
// wire form can be checked with any codec and the codec libraries stay the
// only implementation.

#include <functional>
#include <string>
#include <string_view>

#include "textcodec/JapaneseCodes.h"

namespace net {

struct PostCodec {
    // Shift_JIS text -> the posting code (Shift_JIS stays unchanged).
    std::function<std::string(std::string_view text, textcodec::KanjiCode code)> convertFromSjis;
    // One outgoing header line ending in CR LF.
    std::function<std::string(std::string_view name, std::string_view value, textcodec::KanjiCode code, bool encode)> composeHeaderLine;
    // A fresh multipart boundary.
    std::function<std::string(bool tag)> makeBoundary;
};

const PostCodec& GetPostCodec();
// Replaces the codec (tests); an empty member keeps the library's.
void SetPostCodec(PostCodec codec);
// Back to the library's codec.
void ResetPostCodec();

} // namespace net
