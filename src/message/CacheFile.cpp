#include "message/CacheFile.h"

#include <cstdlib>
#include <sys/types.h>

namespace message {

std::shared_ptr<CacheFile> CacheFile::Open(const std::filesystem::path& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return nullptr;
    return std::shared_ptr<CacheFile>(new CacheFile(path, f));
}

CacheFile::CacheFile(std::filesystem::path path, std::FILE* file) : path_(std::move(path)), file_(file) {}

CacheFile::~CacheFile()
{
    Close();
    std::free(buffer_);
}

void CacheFile::Close()
{
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
}

bool CacheFile::Seek(std::int64_t position)
{
    return file_ && position >= 0 && fseeko(file_, static_cast<off_t>(position), SEEK_SET) == 0;
}

std::int64_t CacheFile::Tell() const
{
    return file_ ? static_cast<std::int64_t>(ftello(file_)) : -1;
}

bool CacheFile::ReadRawLine(std::string& line)
{
    line.clear();
    if (!file_)
        return false;
    ssize_t n = getline(&buffer_, &capacity_, file_);
    if (n <= 0)
        return false;
    line.assign(buffer_, static_cast<std::size_t>(n));
    return true;
}

bool CacheFile::ReadLine(std::string& line)
{
    if (!ReadRawLine(line))
        return false;
    line = NormaliseLine(line);
    return true;
}

std::size_t LineEnd(std::string_view line)
{
    const char* p = line.data();
    const std::size_t n = line.size();
    for (std::size_t i = 0; i < n; ++i)
        if (p[i] == '\r' || p[i] == '\n')
            return i;
    return n;
}

std::string NormaliseLine(std::string_view raw)
{
    const std::size_t end = LineEnd(raw);
    std::string line;
    line.reserve(end + 2);
    line.assign(raw.data(), end);
    for (char& c : line)
        if (c == 26 || c == 0)
            c = '?';
    line += "\r\n";
    return line;
}

} // namespace message
