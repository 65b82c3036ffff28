#pragma once
// Lines of the server's group list (the data of LIST: "name last first flag")
// and their merge into the group table.

#include "news/GroupTable.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace news {

struct GroupListLine {
    std::string_view name;
    std::int32_t last = 0;
    std::int32_t first = 0;
    bool postAllowed = true;
};

// Splits one line (its line end may still be on it). Missing numbers read as
// 0, numbers outside 0..2^31-1 are held to that range, and a missing flag
// means posting allowed. False when the name is empty or could not be stored
// in the read-marks file (a ':', '!', blank, control character).
bool ParseGroupListLine(std::string_view line, GroupListLine& out);

// Enters one line into the table: a known group takes the server's range and
// is no longer new; an unknown one arrives subscribed and new. Its read marks
// are then cut to the server's range. Returns the group, or null for a line
// that names no usable group.
CNewsGroup* MergeGroupListLine(CGroupTable& table, std::string_view line);

// Drops the marks wholly below the group's first article and clips the one
// that straddles it; the text stays otherwise as it was (not normalised).
void TrimReadMarks(CNewsGroup& group);

} // namespace news
