// libFuzzer target: the mail program reading an arbitrary clipboard text.
#include "message/MailHandoff.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto draft = message::ReadMailHandoff(text);
    if (!draft)
        return 0;
    const std::vector<std::string> args = message::MailComposerArguments(&*draft);
    // Options and values alternate after "--utf8"; no value reads as an
    // option, none holds a NUL, and the body stays bounded.
    if (args.empty() || args[0] != "--utf8" || args.size() % 2 != 1)
        std::abort();
    for (std::size_t i = 2; i < args.size(); i += 2) {
        if (args[i].empty() || args[i][0] == '-' || args[i].find('\0') != std::string::npos || args[i].size() > 200000)
            std::abort();
        if (args[i - 1] != "--body" && args[i].find_first_of("\r\n") != std::string::npos)
            std::abort();
    }
    message::ReplyAddress(text);
    return 0;
}
