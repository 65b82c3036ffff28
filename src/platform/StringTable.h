#pragma once
// The user-visible texts keyed by their numeric ids, loaded from res/strings.txt
// (UTF-8 in the source, converted to Shift_JIS by the build and handed out as
// those bytes like every text in the core). Code names ids with the IDS_<id>
// constants of platform/StringIds.h.

#include <filesystem>
#include <string>

namespace platform {

// The text of id as Shift_JIS bytes; empty when the id is unknown.
std::string LoadString(unsigned id);
bool HasString(unsigned id);
// Where the table is read from: the path given here, else LUMETRA_STRINGS, else
// <exe dir>/../share/lumetra/strings.txt, else the build tree's Shift_JIS copy of
// res/strings.txt (the build converts it once; the source file itself is UTF-8).
// Setting a path makes the next look-up read the table again.
void SetStringTablePath(const std::filesystem::path& path);

} // namespace platform
