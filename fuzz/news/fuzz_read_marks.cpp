// The read-marks file loaded, saved and loaded again: nothing that can be
// written back may change on the way.
#include "FuzzInput.h"
#include "news/ReadMarksFile.h"
#include "news/ReadListChecks.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace news;

namespace {

std::string_view Marks(const CNewsGroup& g)
{
    std::string_view m = g.m_strReadList;
    while (!m.empty() && (m.front() == ' ' || m.front() == '\t'))
        m.remove_prefix(1);
    return m;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto& path = fuzz::WriteInput(data, size);
    CGroupTable table;
    const ReadMarksLoad loaded = LoadReadMarksFile(path, table, nullptr);
    if ((loaded != ReadMarksLoad::Loaded && loaded != ReadMarksLoad::NoGroups) ||
        (loaded == ReadMarksLoad::Loaded) == table.IsEmpty())
        std::abort();
    if (!SaveReadMarksFile(path, table, nullptr))
        std::abort();

    CGroupTable again;
    LoadReadMarksFile(path, again, nullptr);
    std::size_t storable = 0;
    table.ForEach([&](const CNewsGroup& g) {
        fuzz::CheckReadList(g.m_strReadList, 1, 300);
        if (!IsStorableGroupName(g.m_strName))
            return;
        ++storable;
        const CNewsGroup* back = again.Find(g.m_strName);
        if (!back || back->m_bSubscribed != g.m_bSubscribed || Marks(*back) != Marks(g))
            std::abort();
    });
    if (again.GetCount() != storable)
        std::abort();
    return 0;
}
