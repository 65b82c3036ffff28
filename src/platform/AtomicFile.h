#pragma once
// Whole-file replacement that a crash or a kill cannot leave half written:
// the new content goes to a temporary file in the same folder, is flushed to
// disk, renamed over the old file, and the folder entry is flushed too.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Replaces file with data. A new file gets mode (before umask) `mode`; an
// existing file keeps its mode. A symbolic link is followed and its target
// replaced. On failure the old file is untouched and error (when given) says why.
bool WriteFileAtomically(const std::filesystem::path& file, std::string_view data,
                         unsigned mode = 0666, std::string* error = nullptr);

// Writes all of data to fd, resuming after short writes and interruptions;
// false on the first error (errno tells which).
bool WriteAll(int fd, std::string_view data);

// Removes temporary files that WriteFileAtomically left beside file when its
// process was killed mid-write (only ones older than a few minutes, so that
// another process's write in progress is not disturbed).
void RemoveStaleTemporaries(const std::filesystem::path& file);

// The whole content of file; nullopt when it is missing (errorCode == ENOENT)
// or cannot be read (errorCode set to the errno).
std::optional<std::string> ReadWholeFile(const std::filesystem::path& file, int* errorCode = nullptr);
// Appends everything left to read from fd; false on a read error (errno tells).
bool ReadAll(int fd, std::string& out);
// The file can be opened for reading and is a regular file.
bool IsReadableRegularFile(const std::filesystem::path& file);

} // namespace platform
