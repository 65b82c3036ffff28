// The server's group list merged into a table whose groups already carry read
// marks: the input's first line is those marks, the rest is LIST data.
#include "news/GroupListParser.h"
#include "news/ReadMarksFile.h"
#include "news/ReadListChecks.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

using namespace news;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::size_t nl = text.find('\n');
    const std::string_view marks = text.substr(0, nl);
    text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);

    CGroupTable table;
    for (const char* name : {"fj.test", "fj.comp.lang.c++", "japan.misc"}) {
        auto g = std::make_unique<CNewsGroup>();
        g->m_strName = name;
        g->m_bNew = false;
        g->m_strReadList = marks;
        table.Set(std::move(g));
    }
    while (!text.empty()) {
        // Lines as the data reader hands them over: with their line end.
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end == std::string_view::npos ? end : end + 1);
        text.remove_prefix(line.size());

        GroupListLine parsed;
        const bool ok = ParseGroupListLine(line, parsed);
        const std::string name(parsed.name);
        if (ok && (name.empty() || !IsStorableGroupName(name) || parsed.first < 0 || parsed.last < 0))
            std::abort();
        const CNewsGroup* group = MergeGroupListLine(table, line);
        if (ok != (group != nullptr))
            std::abort();
        if (!group)
            continue;
        if (table.Find(name) != group || group->m_nFirst != parsed.first || group->m_nLast != parsed.last)
            std::abort();
        // Trimmed marks start no lower than the server's first article (an
        // empty range, last below first, leaves them as they were).
        CReadList kept;
        kept.Parse(group->m_strReadList);
        for (const CReadSet& r : kept.Sets())
            if (r.m_nStart < group->m_nFirst && group->m_nFirst <= group->m_nLast)
                std::abort();
        fuzz::CheckReadList(group->m_strReadList, group->m_nFirst, group->m_nLast);
    }
    return 0;
}
