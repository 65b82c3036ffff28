#include "app/NewsLink.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace app {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char p, char t) { return std::tolower(static_cast<unsigned char>(t)) == p; });
}

std::optional<std::string> PercentDecode(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        unsigned value = 0;
        if (i + 2 >= text.size())
            return std::nullopt;
        const auto [end, error] = std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
        if (error != std::errc() || end != text.data() + i + 3)
            return std::nullopt;
        out += static_cast<char>(value);
        i += 2;
    }
    return out;
}

// Printable and no blank: the word goes on a command line as it is.
bool IsWord(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b > ' ' && b != 0x7f;
    });
}

bool IsGroupName(std::string_view name)
{
    // RFC 3977 allows UTF-8; wildcards belong to a list, not to one group.
    return IsWord(name) && name.size() <= 497 && name.find_first_of("*?[]!\\/,<>@") == std::string_view::npos &&
           name.front() != '.' && name.back() != '.';
}

std::optional<std::string> MessageId(std::string_view id)
{
    if (id.size() >= 2 && id.front() == '<' && id.back() == '>')
        id = id.substr(1, id.size() - 2);
    const std::size_t at = id.find('@');
    // RFC 5536: at most 250 octets with the brackets.
    if (!IsWord(id) || id.size() > 248 || at == 0 || at == std::string_view::npos || at + 1 == id.size() ||
        id.find_first_of("<>") != std::string_view::npos)
        return std::nullopt;
    return "<" + std::string(id) + ">";
}

bool ParseAuthority(std::string_view authority, NewsLink& link)
{
    std::string_view host = authority;
    std::string_view port;
    if (host.starts_with('[')) {
        const std::size_t close = host.find(']');
        if (close == std::string_view::npos)
            return false;
        port = host.substr(close + 1);
        host = host.substr(1, close - 1);
        if (!port.empty() && !port.starts_with(':'))
            return false;
        if (!port.empty())
            port.remove_prefix(1);
    } else if (const std::size_t colon = host.rfind(':'); colon != std::string_view::npos) {
        port = host.substr(colon + 1);
        host = host.substr(0, colon);
    }
    if (host.empty() || !IsWord(host) || host.find_first_of("@/?#") != std::string_view::npos)
        return false;
    link.host = std::string(host);
    if (!port.empty()) {
        const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), link.port);
        if (error != std::errc() || end != port.data() + port.size() || link.port < 1 || link.port > 65535)
            return false;
    }
    return true;
}

} // namespace

bool IsNewsLink(std::string_view text) { return StartsWithNoCase(text, "news:") || StartsWithNoCase(text, "nntp:"); }

std::optional<NewsLink> ParseNewsLink(std::string_view text)
{
    if (!IsNewsLink(text))
        return std::nullopt;
    const bool nntp = StartsWithNoCase(text, "nntp:");
    std::string_view rest = text.substr(5);
    NewsLink link;
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        const std::size_t slash = rest.find('/');
        if (!ParseAuthority(rest.substr(0, slash), link))
            return std::nullopt;
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    } else if (nntp) {
        // An nntp: link always names its server.
        return std::nullopt;
    }
    // A query or fragment has no meaning here.
    rest = rest.substr(0, rest.find_first_of("?#"));

    if (nntp) {
        const std::size_t slash = rest.find('/');
        const auto group = PercentDecode(rest.substr(0, slash));
        if (!group || !IsGroupName(*group))
            return std::nullopt;
        link.group = *group;
        if (slash == std::string_view::npos || slash + 1 == rest.size())
            return link;
        // The path may carry ";parameters" after the number; none is used.
        const std::string_view number = rest.substr(slash + 1, rest.find(';', slash) - slash - 1);
        const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), link.number);
        if (error != std::errc() || end != number.data() + number.size() || link.number < 1)
            return std::nullopt;
        link.kind = NewsLink::Kind::Number;
        return link;
    }

    const auto path = PercentDecode(rest);
    if (!path)
        return std::nullopt;
    if (path->find('@') != std::string::npos) {
        const auto id = MessageId(*path);
        if (!id)
            return std::nullopt;
        link.kind = NewsLink::Kind::MessageId;
        link.messageId = *id;
        return link;
    }
    if (!IsGroupName(*path))
        return std::nullopt;
    link.group = *path;
    return link;
}

} // namespace app
