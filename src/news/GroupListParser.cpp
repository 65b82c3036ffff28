#include "news/GroupListParser.h"

#include "news/ReadList.h"

#include <memory>

namespace news {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view NextField(std::string_view& rest)
{
    std::size_t p = 0;
    while (p < rest.size() && IsBlank(rest[p]))
        ++p;
    std::size_t e = p;
    while (e < rest.size() && !IsBlank(rest[e]))
        ++e;
    std::string_view field = rest.substr(p, e - p);
    rest.remove_prefix(e);
    return field;
}

// Leading decimal digits, held to 0..2^31-1; anything else reads as 0.
std::int32_t ClampedNumber(std::string_view text)
{
    std::int64_t v = 0;
    std::size_t p = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative || (!text.empty() && text[0] == '+'))
        p = 1;
    for (; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p) {
        v = v * 10 + (text[p] - '0');
        if (v > INT32_MAX)
            v = INT32_MAX;
    }
    return negative ? 0 : static_cast<std::int32_t>(v);
}

// A name the table can hold and the read-marks file can write back as itself.
bool IsUsableName(std::string_view name)
{
    if (name.empty())
        return false;
    for (unsigned char c : name)
        if (c < 0x21 || c == 0x7f || c == ':' || c == '!')
            return false;
    return true;
}

} // namespace

bool ParseGroupListLine(std::string_view line, GroupListLine& out)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    out = GroupListLine{};
    out.name = NextField(line);
    // A line end or NUL inside the line would split the read-marks file.
    if (!IsUsableName(out.name))
        return false;
    for (unsigned char c : line)
        if (c < 0x20 && c != '\t')
            return false;
    const std::string_view last = NextField(line);
    const std::string_view first = NextField(line);
    const std::string_view flag = NextField(line);
    out.last = ClampedNumber(last);
    out.first = ClampedNumber(first);
    if (!flag.empty()) {
        const char f = flag[0];
        out.postAllowed = !(f == 'n' || f == 'N' || f == '=');
    }
    return true;
}

void TrimReadMarks(CNewsGroup& group)
{
    if (group.m_strReadList.empty())
        return;
    CReadList marks;
    marks.Parse(group.m_strReadList);
    marks.CountUnread(group.m_nFirst, group.m_nLast);
    marks.Format(group.m_strReadList, false);
}

CNewsGroup* MergeGroupListLine(CGroupTable& table, std::string_view line)
{
    GroupListLine parsed;
    if (!ParseGroupListLine(line, parsed))
        return nullptr;
    CNewsGroup* group = table.Find(parsed.name);
    if (group) {
        group->m_bNew = false;
    } else {
        auto made = std::make_unique<CNewsGroup>();
        made->m_strName = std::string(parsed.name);
        made->m_bNew = true;
        made->m_bSubscribed = true;
        group = table.Set(std::move(made));
    }
    group->m_nLast = parsed.last;
    group->m_nFirst = parsed.first;
    group->m_bPostAllowed = parsed.postAllowed;
    TrimReadMarks(*group);
    return group;
}

} // namespace news
