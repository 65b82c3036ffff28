#include "news/Article.h"

#include <array>

#include <algorithm>
#include <charconv>

namespace news {

std::string CArticle::FromLastAngle(std::string_view value)
{
    const std::size_t at = value.rfind('<');
    if (at == std::string_view::npos)
        return {};
    return std::string(value.substr(at));
}

std::string CArticle::ReferenceChain(std::string_view value)
{
    std::string chain;
    chain.reserve(value.size());
    // The bytes that end an identifier, looked up instead of compared one by one.
    static constexpr auto kStops = [] {
        std::array<bool, 256> stops{};
        for (unsigned char c : std::string_view(">< \t\r\n"))
            stops[c] = true;
        return stops;
    }();
    for (std::size_t at = value.find('<'); at != std::string_view::npos; at = value.find('<', at + 1)) {
        std::size_t end = at + 1;
        while (end < value.size() && !kStops[static_cast<unsigned char>(value[end])])
            ++end;
        if (end == value.size() || value[end] != '>')
            continue;
        if (!chain.empty())
            chain += ' ';
        chain.append(value.substr(at, end + 1 - at));
    }
    return chain;
}

std::string CArticle::LastOfChain(std::string_view chain)
{
    const std::size_t blank = chain.rfind(' ');
    return std::string(blank == std::string_view::npos ? chain : chain.substr(blank + 1));
}

std::string CArticle::ThreadChain(std::string_view references, std::string_view inReplyTo)
{
    std::string chain = ReferenceChain(references);
    if (chain.empty()) {
        // In-Reply-To may name several messages or add words; the first
        // identifier is the one replied to.
        chain = ReferenceChain(inReplyTo);
        chain.resize(std::min(chain.size(), chain.find(' ')));
    }
    return chain;
}

std::vector<std::pair<std::string, std::int32_t>> ParseXref(std::string_view xref)
{
    std::vector<std::pair<std::string, std::int32_t>> entries;
    std::size_t pos = 0;
    while (pos < xref.size()) {
        const std::size_t start = xref.find_first_not_of(" \t\r\n", pos);
        if (start == std::string_view::npos)
            break;
        const std::size_t end = std::min(xref.find_first_of(" \t\r\n", start), xref.size());
        const std::string_view token = xref.substr(start, end - start);
        pos = end;
        const std::size_t colon = token.rfind(':');
        if (colon == 0 || colon == std::string_view::npos)
            continue;
        std::int32_t number = 0;
        const char* first = token.data() + colon + 1;
        const char* last = token.data() + token.size();
        const auto [ptr, ec] = std::from_chars(first, last, number);
        if (ec == std::errc() && ptr == last && first != last && number > 0)
            entries.emplace_back(std::string(token.substr(0, colon)), number);
    }
    return entries;
}

} // namespace news
