#include "message/CacheFile.h"

#include "message/Codec.h"

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

std::string CacheLine(std::string_view received)
{
    // The line end stays out of the conversion: a lead byte at the end of a
    // binary line would take the CR as its second byte.
    const std::size_t end = LineEnd(received);
    std::string line = codec::ToSjis(received.substr(0, end), codec::AutoSjis);
    line += received.substr(end);
    return line;
}

std::string MakeCacheText(std::string_view message)
{
    std::string out, line;
    out.reserve(message.size() + message.size() / 20 + 8);
    std::size_t pos = 0;
    while (pos < message.size()) {
        const std::size_t lf = message.find('\n', pos);
        const std::size_t end = lf == std::string_view::npos ? message.size() : lf;
        std::string_view text = message.substr(pos, end - pos);
        if (!text.empty() && text.back() == '\r')
            text.remove_suffix(1);
        line.assign(!text.empty() && text[0] == '.' ? "." : "");
        line += text;
        line += "\r\n";
        out += CacheLine(line);
        pos = lf == std::string_view::npos ? message.size() : lf + 1;
    }
    out += kCacheEnd;
    return out;
}

std::string ReadCacheHeader(const std::filesystem::path& file)
{
    std::string header;
    auto cache = CacheFile::Open(file);
    std::string line;
    while (cache && cache->ReadRawLine(line) && LineEnd(line) > 0 && line != kCacheEnd)
        header += line;
    return header;
}

} // namespace message
