#pragma once
// The user-visible texts keyed by their numeric ids, loaded from res/strings.txt
// (UTF-8 in the file, handed out as Shift_JIS bytes like every text in the core).

#include <filesystem>
#include <string>

namespace platform {

// The text of id as Shift_JIS bytes; empty when the id is unknown.
std::string LoadString(unsigned id);
bool HasString(unsigned id);
// Where the table is read from: LUMETRA_STRINGS, else <exe dir>/../share/lumetra/strings.txt,
// else the source tree's res/strings.txt. Tests may set it explicitly.
void SetStringTablePath(const std::filesystem::path& path);

} // namespace platform
