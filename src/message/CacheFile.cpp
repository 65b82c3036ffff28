#include "message/CacheFile.h"

#include <cstring>
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

CacheFile::~CacheFile() { Close(); }

void CacheFile::Close()
{
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
}

bool CacheFile::Seek(std::int64_t position)
{
    if (!file_ || position < 0 || fseeko(file_, static_cast<off_t>(position), SEEK_SET) != 0)
        return false;
    begin_ = end_ = 0;
    bufferStart_ = position;
    return true;
}

std::int64_t CacheFile::Tell() const { return file_ ? bufferStart_ + static_cast<std::int64_t>(begin_) : -1; }

bool CacheFile::ReadRawLine(std::string& line)
{
    line.clear();
    if (!file_)
        return false;
    for (;;) {
        const char* start = buffer_.data() + begin_;
        if (const void* lf = std::memchr(start, '\n', end_ - begin_)) {
            const std::size_t n = static_cast<const char*>(lf) - start + 1;
            line.append(start, n);
            begin_ += n;
            return true;
        }
        line.append(start, end_ - begin_);
        bufferStart_ += static_cast<std::int64_t>(end_);
        begin_ = end_ = 0;
        if (buffer_.size() < 65536)
            buffer_.resize(65536);
        end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
        if (end_ == 0)
            return !line.empty();
    }
}

bool CacheFile::ReadLine(std::string& line)
{
    if (!ReadRawLine(raw_))
        return false;
    NormaliseLine(raw_, line);
    return true;
}

std::size_t LineEnd(std::string_view line)
{
    const char* p = line.data();
    const void* lf = std::memchr(p, '\n', line.size());
    const std::size_t end = lf ? static_cast<const char*>(lf) - p : line.size();
    const void* cr = std::memchr(p, '\r', end);
    return cr ? static_cast<const char*>(cr) - p : end;
}

void NormaliseLine(std::string_view raw, std::string& line)
{
    const std::size_t end = LineEnd(raw);
    line.assign(raw.data(), end);
    for (char& c : line)
        if (c == 26 || c == 0)
            c = '?';
    line += "\r\n";
}

std::string NormaliseLine(std::string_view raw)
{
    std::string line;
    NormaliseLine(raw, line);
    return line;
}

} // namespace message
