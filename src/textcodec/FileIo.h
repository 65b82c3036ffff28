#pragma once
// Whole-file reading and checked writing for the file codecs (internal).

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace textcodec {

namespace detail {

// The bytes of a file from offset on; nothing when it cannot be opened or read.
std::optional<std::string> ReadFileBytes(const std::filesystem::path& path, uint64_t offset = 0);

// Writes bytes to a new file (replacing any). Checks every write and the
// close; on failure the file is removed and the result is false.
enum class WriteResult { Ok, OpenFailed, WriteFailed };
WriteResult WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);

// Part of a name after its last '/' or '\'.
std::string BaseName(std::string_view name);

} // namespace detail

} // namespace textcodec
