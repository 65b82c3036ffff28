#pragma once
// Temporary files in a private folder (mode 0700) made once per process and
// removed with everything in it at exit.

#include <filesystem>
#include <string_view>

namespace platform {

std::filesystem::path TempDirectory();
// What exit does, for a process that must end without running its exit
// handlers; a later TempDirectory() makes the folder again.
void RemoveTempDirectory();
// Name from the first three characters of prefix and a number, like
// GetTempFileName: number 0 picks a new unique number and creates the empty
// file; another number is used as given and no file is created.
// Empty path when the folder or file cannot be made.
std::filesystem::path MakeTempFileName(std::string_view prefix, unsigned number);

} // namespace platform
