#include "news/FollowUp.h"

#include "message/HeaderFields.h"
#include "platform/Registry.h"
#include "platform/Sjis.h"

namespace news {

namespace {

constexpr const char* kSection = "FollowUp";
// Longest header line a server takes, without its CR LF.
constexpr std::size_t kMaxLine = 998;

// A value of the followed article: decoded, and never more than one line.
std::string Value(std::string_view header, std::string_view name)
{
    return platform::OneLineValue(message::GetHeaderField(header, name, true));
}

// Every "<...>" of text, in order.
std::vector<std::string> MessageIds(std::string_view text)
{
    std::vector<std::string> ids;
    std::size_t pos = 0;
    while ((pos = text.find('<', pos)) != std::string_view::npos) {
        // A blank, a line end or a NUL ends what could be an identifier.
        const std::size_t end = text.find_first_of(std::string_view("<> \t\r\n\0", 7), pos + 1);
        if (end == std::string_view::npos)
            break;
        if (text[end] == '>' && end > pos + 1)
            ids.emplace_back(text.substr(pos, end - pos + 1));
        pos = end;
    }
    return ids;
}

} // namespace

FollowUpOptions FollowUpOptions::Load(const platform::Registry& registry)
{
    FollowUpOptions o;
    o.bIncludeBody = registry.GetInt(kSection, "bIncludeBody", 1) != 0;
    o.bNameQuote = registry.GetInt(kSection, "bNameQuote", 0) != 0;
    o.CommentLang = registry.GetInt(kSection, "CommentLang", 0);
    o.strQuoteString = registry.GetString(kSection, "strQuoteString", ">");
    return o;
}

void FollowUpOptions::Save(platform::Registry& registry) const
{
    registry.WriteInt(kSection, "bIncludeBody", bIncludeBody ? 1 : 0);
    registry.WriteInt(kSection, "bNameQuote", bNameQuote ? 1 : 0);
    registry.WriteInt(kSection, "CommentLang", CommentLang);
    registry.WriteString(kSection, "strQuoteString", strQuoteString);
}

std::size_t DisplayedHeaderEnd(std::string_view displayed)
{
    return displayed.starts_with("\r\n") ? std::string_view::npos : displayed.find("\r\n\r\n");
}

std::string FollowUpGroups(std::string_view header)
{
    std::string groups = Value(header, "Followup-To");
    return groups.empty() ? Value(header, "Newsgroups") : groups;
}

std::vector<std::string> SplitGroupItems(std::string_view text)
{
    std::vector<std::string> items;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = std::min(text.find_first_of(", \t\r\n", pos), text.size());
        if (end > pos)
            items.emplace_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return items;
}

std::string FollowUpReferences(std::string_view header)
{
    std::vector<std::string> ids = MessageIds(message::GetHeaderField(header, "References", false));
    const std::string parent = message::GetHeaderField(header, "Message-ID", false);
    std::vector<std::string> own = MessageIds(parent);
    if (!own.empty())
        ids.push_back(own.back());
    else if (const std::string bare = platform::OneLineValue(parent); !bare.empty())
        ids.push_back(bare);

    std::size_t length = std::string_view("References: ").size();
    for (const std::string& id : ids)
        length += id.size() + 1;
    // The root and the parent stay; the oldest replies in between go first.
    std::size_t drop = 0;
    while (length - 1 > kMaxLine && ids.size() - drop > 2) {
        length -= ids[1 + drop].size() + 1;
        ++drop;
    }
    if (drop > 0)
        ids.erase(ids.begin() + 1, ids.begin() + 1 + static_cast<std::ptrdiff_t>(drop));
    std::string out;
    for (const std::string& id : ids)
        out += (out.empty() ? "" : " ") + id;
    return out;
}

std::string BuildQuotePrefix(std::string_view header, std::string_view quoteString, bool nameQuote)
{
    if (nameQuote) {
        const std::string from = Value(header, "From");
        std::vector<std::string> addresses;
        if (!from.empty())
            message::SplitAddressList(from, addresses);
        if (!addresses.empty()) {
            const std::string& address = addresses.front();
            std::size_t at = 0;
            while (at < address.size() && address[at] != '@')
                at += platform::SjisCharLength(address, at);
            return address.substr(0, at) + std::string(quoteString);
        }
    }
    return std::string(quoteString);
}

std::string BuildQuoteIntro(std::string_view header, int language)
{
    if (language != 0 && language != 1)
        return {};
    const std::string id = Value(header, "Message-Id");
    const std::string subject = Value(header, "Subject");
    const std::string from = Value(header, "From");
    std::string out;
    if (language == 0) {
        if (!id.empty())
            out += "In message " + id + "\r\n";
        if (!subject.empty())
            out += "   \"" + subject + "\"\r\n";
        if (!from.empty())
            out += "   \"" + from + "\" wrote.\r\n\r\n";
        return out;
    }
    // "の、", "において、", "さんは書きました。" in Shift_JIS.
    if (!id.empty())
        out += id + " \x82\xcc\x81\x41\r\n";
    if (!subject.empty())
        out += " \"" + subject + " \" \x82\xc9\x82\xa8\x82\xa2\x82\xc4\x81\x41\r\n";
    if (!from.empty())
        out += " " + from + " \x82\xb3\x82\xf1\x82\xcd\x8f\x91\x82\xab\x82\xdc\x82\xb5\x82\xbd\x81\x42\r\n\r\n";
    return out;
}

std::string QuoteBody(std::string_view body, std::string_view prefix)
{
    std::string out;
    std::size_t pos = 0;
    while (pos < body.size()) {
        if (body[pos] == '\n') {
            ++pos;
            continue;
        }
        const std::size_t end = std::min(body.find('\n', pos), body.size());
        const std::string_view piece = body.substr(pos, end - pos);
        out.append(prefix);
        out.append(piece.substr(0, piece.find('\r')));
        out += "\r\n";
        pos = end;
    }
    return out;
}

FollowUpFields MakeFollowUpFields(std::string_view header, std::string_view body, const FollowUpChoice& choice)
{
    FollowUpFields f;
    for (std::size_t i = 0; i < choice.groups.size(); ++i) {
        if (i < choice.selected.size() && choice.selected[i])
            f.newsgroups += (f.newsgroups.empty() ? "" : ",") + platform::OneLineValue(choice.groups[i]);
    }
    f.distribution = Value(header, "Distribution");
    f.followupTo = Value(header, "Followup-To");
    f.references = FollowUpReferences(header);
    f.subject = platform::OneLineValue(message::MakeReplySubject(header));
    const FollowUpOptions& o = choice.options;
    if (!body.empty() && o.bIncludeBody) {
        f.body = BuildQuoteIntro(header, o.CommentLang);
        f.body += QuoteBody(body, BuildQuotePrefix(header, o.strQuoteString, o.bNameQuote));
    }
    return f;
}

std::optional<FollowUpFields> BuildFollowUp(std::string_view header, std::string_view body,
                                            platform::Registry& registry, const FollowUpAsk& ask)
{
    FollowUpChoice choice;
    choice.groups = SplitGroupItems(FollowUpGroups(header));
    choice.selected.assign(choice.groups.size(), true);
    choice.options = FollowUpOptions::Load(registry);
    if (!ask || !ask(choice))
        return std::nullopt;
    choice.options.Save(registry);
    return MakeFollowUpFields(header, body, choice);
}

} // namespace news
