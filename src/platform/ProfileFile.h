#pragma once
// Private-profile ("INI") files as the configuration document uses them.
// Sections and keys compare case-insensitively; one pair of enclosing double
// quotes is removed from a value on read; a write keeps every other line of the
// file. Values are bytes (Shift_JIS in practice) and are read whole. Files are
// written with CR LF and replaced atomically; CR LF or LF is accepted on read.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

std::string GetProfileString(const std::filesystem::path& file, std::string_view section,
                             std::string_view key, std::string_view def);
// Leading decimal digits of the value (an optional '-' first); def when the key is missing.
int GetProfileInt(const std::filesystem::path& file, std::string_view section,
                  std::string_view key, int def);
// value == nullopt deletes the key. Returns false when the file could not be written.
bool WriteProfileString(const std::filesystem::path& file, std::string_view section,
                        std::string_view key, std::optional<std::string_view> value);

// Several writes to one section as one replacement of the file: either all of
// them reach the file or none does. Entries apply in order; nullopt deletes.
bool WriteProfileStrings(const std::filesystem::path& file, std::string_view section,
                         const std::vector<std::pair<std::string, std::optional<std::string>>>& entries);

} // namespace platform
