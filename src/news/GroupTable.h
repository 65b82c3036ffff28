#pragma once
// The group table of a configuration: groups by name. Iteration follows the
// order in which names were first entered, so the read-marks file keeps the
// order it was read in and new groups go to its end.

#include "news/NewsGroup.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace news {

class CGroupTable {
public:
    CGroupTable() = default;
    CGroupTable(const CGroupTable&) = delete;
    CGroupTable& operator=(const CGroupTable&) = delete;
    CGroupTable(CGroupTable&&) = default;
    CGroupTable& operator=(CGroupTable&&) = default;

    CNewsGroup* Find(std::string_view name);
    const CNewsGroup* Find(std::string_view name) const;
    // Enters a group under its name. An entry of the same name is replaced
    // (and deleted) but keeps its place in the order.
    CNewsGroup* Set(std::unique_ptr<CNewsGroup> group);
    void RemoveAll();
    void Reserve(std::size_t count);

    std::size_t GetCount() const { return groups_.size(); }
    bool IsEmpty() const { return groups_.empty(); }

    // In table order.
    template <class F> void ForEach(F&& f) const
    {
        for (const auto& g : groups_)
            f(*g);
    }
    template <class F> void ForEach(F&& f)
    {
        for (auto& g : groups_)
            f(*g);
    }

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::vector<std::unique_ptr<CNewsGroup>> groups_;
    // Keys view the names held by the groups themselves.
    std::unordered_map<std::string_view, std::size_t, Hash> index_;
};

} // namespace news
