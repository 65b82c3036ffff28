#pragma once
// Where a codec sends the few messages it shows to the user: a handler given
// to the codec object that reports (the application's shows a message box);
// without one the text goes to standard error.

#include <functional>
#include <string_view>

namespace textcodec {

using CodecNoticeHandler = std::function<void(std::string_view text)>;

void ShowCodecNotice(const CodecNoticeHandler& handler, std::string_view text);

} // namespace textcodec
