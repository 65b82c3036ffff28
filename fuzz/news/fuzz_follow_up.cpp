// libFuzzer target: a follow-up built from an arbitrary article (header up to
// the first empty line, the rest as the shown body).
#include "news/FollowUp.h"

#include <cstdlib>
#include <string>

namespace {

void OneLine(const std::string& value)
{
    if (value.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::size_t blank = text.find("\r\n\r\n");
    const std::string header = text.substr(0, blank == std::string::npos ? text.size() : blank + 2);
    const std::string body = blank == std::string::npos ? std::string() : text.substr(blank + 4);
    news::FollowUpChoice choice{news::SplitGroupItems(news::FollowUpGroups(header)), {}, {true, true, 0, ">"}};
    choice.selected.assign(choice.groups.size(), true);
    for (int language : {0, 1, 2}) {
        choice.options.CommentLang = language;
        const news::FollowUpFields f = news::MakeFollowUpFields(header, body, choice);
        // Nothing from the article may start a new header line.
        for (const std::string* value : {&f.distribution, &f.subject, &f.newsgroups, &f.followupTo, &f.references})
            OneLine(*value);
    }
    news::DisplayedHeaderEnd(text);
    return 0;
}
