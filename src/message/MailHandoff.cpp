#include "message/MailHandoff.h"

#include "message/HeaderFields.h"
#include "platform/Sjis.h"
#include "textcodec/Charsets.h"

namespace message {

namespace {

// The quoted body stays well inside what one program argument may hold,
// even once the composer's mailto URL has escaped every byte.
constexpr std::size_t kMaxQuoted = 32000;

// A value that reads as an option to the composer (or to the echo inside it)
// gets a blank in front.
std::string Argument(std::string_view sjis)
{
    std::string utf8 = textcodec::SjisToUtf8(sjis);
    if (!utf8.empty() && utf8.front() == '-')
        utf8.insert(0, 1, ' ');
    return utf8;
}

} // namespace

std::string ReplyAddress(std::string_view header)
{
    std::string address = GetHeaderField(header, "Reply-To", true);
    if (address.empty())
        address = GetHeaderField(header, "From", true);
    return platform::OneLineValue(address);
}

std::string MailArticleText(std::string_view header, std::string_view body)
{
    std::string text(header);
    text += "\r\n";
    text.append(body);
    return text;
}

std::string MakeMailHandoff(std::string_view address, std::string_view articleText)
{
    std::string text = "To:" + platform::OneLineValue(address) + "\r\n";
    text.append(articleText);
    return text;
}

std::optional<MailDraft> ReadMailHandoff(std::string_view text)
{
    if (!text.starts_with("To:"))
        return std::nullopt;
    const std::size_t lineEnd = std::min(text.find('\n'), text.size());
    MailDraft draft;
    std::string_view to = text.substr(3, lineEnd - 3);
    if (to.ends_with('\r'))
        to.remove_suffix(1);
    draft.to = platform::OneLineValue(to);
    while (!draft.to.empty() && draft.to.front() == ' ')
        draft.to.erase(0, 1);
    const std::string_view article = lineEnd < text.size() ? text.substr(lineEnd + 1) : std::string_view();
    draft.subject = platform::OneLineValue(MakeReplySubject(article));

    // The header ends at the first empty line; without one all is body.
    std::size_t bodyStart = 0;
    if (const std::size_t blank = article.find("\r\n\r\n"); blank != std::string_view::npos)
        bodyStart = blank + 4;
    else if (const std::size_t lf = article.find("\n\n"); lf != std::string_view::npos)
        bodyStart = lf + 2;
    std::string_view body = article.substr(bodyStart);
    while (!body.empty()) {
        const std::size_t end = std::min(body.find('\n'), body.size());
        std::string_view line = body.substr(0, end);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        std::string quoted = "> " + platform::OneLineValue(line);
        if (draft.body.size() + quoted.size() + 2 > kMaxQuoted)
            break;
        draft.body += quoted + "\r\n";
        body.remove_prefix(std::min(end + 1, body.size()));
    }
    return draft;
}

std::vector<std::string> MailComposerArguments(const MailDraft* draft)
{
    std::vector<std::string> args;
    if (!draft)
        return args;
    args.push_back("--utf8");
    auto add = [&args](const char* option, std::string_view value) {
        if (value.empty())
            return;
        args.push_back(option);
        args.push_back(Argument(value));
    };
    add("--to", draft->to);
    add("--subject", draft->subject);
    add("--body", draft->body);
    return args;
}

} // namespace message
