#pragma once
// Where the codecs send the few messages they show to the user. The
// application installs a handler that shows a message box; by default the
// text goes to standard error.

#include <functional>
#include <string_view>

namespace textcodec {

using CodecNoticeHandler = std::function<void(std::string_view text)>;

// Installs handler (an empty one restores the default); returns the old one.
CodecNoticeHandler SetCodecNoticeHandler(CodecNoticeHandler handler);
void CodecNotice(std::string_view text);

} // namespace textcodec
