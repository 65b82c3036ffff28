#include "textcodec/FileIo.h"

#include <cstdio>
#include <system_error>

namespace textcodec {

namespace detail {

std::optional<std::string> ReadFileBytes(const std::filesystem::path& path, uint64_t offset)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return std::nullopt;
    std::string data;
    if (offset && fseeko(f, static_cast<off_t>(offset), SEEK_SET) != 0) {
        std::fclose(f);
        return std::nullopt;
    }
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        data.append(chunk, n);
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed)
        return std::nullopt;
    return data;
}

WriteResult WriteFileBytes(const std::filesystem::path& path, std::string_view bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return WriteResult::OpenFailed;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fflush(f) == 0) && ok;
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) {
        // Only a partial regular file is ours to take away: the target may be a
        // device or something else the caller named.
        std::error_code ec;
        if (std::filesystem::is_regular_file(std::filesystem::symlink_status(path, ec)))
            std::filesystem::remove(path, ec);
        return WriteResult::WriteFailed;
    }
    return WriteResult::Ok;
}

std::string BaseName(std::string_view name)
{
    size_t cut = name.find_last_of("/\\");
    return std::string(cut == std::string_view::npos ? name : name.substr(cut + 1));
}

} // namespace detail

} // namespace textcodec
