#include "message/CacheFile.h"

#include "message/HeaderFields.h"
#include "textcodec/Charsets.h"
#include "textcodec/HeaderWords.h"
#include "platform/Sjis.h"

#include "message/Codec.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <istream>
#include <ostream>
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

bool CacheFile::ReadRawLine(std::string& line, std::size_t limit)
{
    line.clear();
    cut_ = 0;
    if (!file_)
        return false;
    // Keeps what fits and counts the rest, so a huge line costs no memory.
    auto take = [&](const char* start, std::size_t n) {
        const std::size_t room = limit - std::min(limit, line.size());
        line.append(start, std::min(n, room));
        cut_ += n - std::min(n, room);
    };
    for (;;) {
        const char* start = buffer_.data() + begin_;
        if (const void* lf = std::memchr(start, '\n', end_ - begin_)) {
            const std::size_t n = static_cast<const char*>(lf) - start;
            take(start, n);
            // The line end is no part of what was left out.
            if (cut_ > 0 && n > 0 && start[n - 1] == '\r')
                --cut_;
            line += '\n';
            begin_ += n + 1;
            return true;
        }
        take(start, end_ - begin_);
        bufferStart_ += static_cast<std::int64_t>(end_);
        begin_ = end_ = 0;
        if (buffer_.size() < 65536)
            buffer_.resize(65536);
        end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
        if (end_ == 0)
            return !line.empty() || cut_ > 0;
    }
}

bool CacheFile::ReadLine(std::string& line, std::size_t limit)
{
    if (!ReadRawLine(raw_, limit))
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

namespace {
constexpr std::size_t kMaxPartHeader = 64 * 1024;
constexpr std::size_t kMaxDepth = 32;

// A converted line stays one line of text whatever the conversion made of
// it: a line end, NUL, "." line or delimiter it produced would be read back
// as the article's structure. content is the line as received, un-stuffed.
std::string KeepShape(std::string line, std::string_view content, std::string_view lineEnd)
{
    const bool hadNul = content.find('\0') != std::string_view::npos;
    for (char& c : line)
        if (c == '\r' || c == '\n')
            c = ' ';
        else if (c == '\0' && !hadNul)
            c = '?';
    // Nor may it end a header early or pass for a delimiter it was not.
    if ((line.empty() && !content.empty()) || (line.starts_with("--") && line != content))
        line.insert(0, 1, ' ');
    if (line.starts_with('.'))
        line.insert(0, 1, '.');
    line += lineEnd;
    return line;
}

// The server's dot-stuffing is no text in any charset.
std::string_view Unstuffed(std::string_view content)
{
    return content.starts_with('.') ? content.substr(1) : content;
}
} // namespace

std::string CacheLine(std::string_view received)
{
    // The line end stays out of the conversion: a lead byte at the end of a
    // binary line would take the CR as its second byte.
    const std::size_t end = LineEnd(received);
    const std::string_view content = Unstuffed(received.substr(0, end));
    return KeepShape(codec::ToSjis(content, codec::AutoSjis), content, received.substr(end));
}

std::string CacheWriter::Line(std::string_view received)
{
    const std::size_t end = LineEnd(received);
    const std::string_view content = received.substr(0, end);
    if (inHeader_) {
        if (content.empty())
            EndOfHeader();
        else if (header_.size() < kMaxPartHeader)
            (header_ += content) += "\r\n";
        if (!forced_.empty()) {
            const std::string_view text = Unstuffed(content);
            return KeepShape(textcodec::CharsetToSjis(text, forced_).value_or(std::string(text)), text,
                             received.substr(end));
        }
        return textcodec::LineToSjis(content, textcodec::DetectTextCode(content)) + std::string(received.substr(end));
    }
    if (!boundaries_.empty() && content.starts_with("--")) {
        const std::string_view rest = content.substr(2);
        for (std::size_t k = boundaries_.size(); k-- > 0;) {
            const std::string& b = boundaries_[k];
            if (!rest.starts_with(b))
                continue;
            if (rest.size() == b.size()) {
                boundaries_.resize(k + 1);
                inHeader_ = true;
            } else if (rest.substr(b.size()) == "--") {
                boundaries_.resize(k);
            } else {
                continue;
            }
            charset_.reset();
            raw_ = false;
            yenc_ = false;
            return EndHeld() + CacheLine(received);
        }
    }
    if (yenc_ || (!raw_ && content.starts_with("=ybegin "))) {
        // Text held for its code goes out first, so the lines keep their order.
        std::string out = yenc_ ? std::string() : Release();
        yenc_ = !content.starts_with("=yend");
        return out + std::string(received);
    }
    if (raw_)
        return std::string(received);
    if (undeclared_)
        return HoldLine(received, end);
    if (!charset_)
        return CacheLine(received);
    const std::string_view text = Unstuffed(content);
    return KeepShape(charset_->ToSjis(text), text, received.substr(end));
}

namespace {
// Past this much held text the code is decided from what came so far.
constexpr std::size_t kMaxHeld = 4 * 1024 * 1024;
} // namespace

std::string CacheWriter::HoldLine(std::string_view received, std::size_t end)
{
    if (decided_)
        return textcodec::LineToSjis(received.substr(0, end), code_) + std::string(received.substr(end));
    scan_.Add(received.substr(0, end));
    heldBytes_ += received.size();
    held_.emplace_back(received);
    if (heldBytes_ < kMaxHeld)
        return {};
    // Plain ASCII so far decides nothing yet; it goes out as it is.
    if (const textcodec::TextCode code = scan_.Code(); code != textcodec::TextCode::Ascii) {
        decided_ = true;
        code_ = code;
    }
    return Release();
}

std::string CacheWriter::Release()
{
    std::string out;
    const textcodec::TextCode code = decided_ ? code_ : scan_.Code();
    for (const std::string& line : held_) {
        const std::size_t end = LineEnd(line);
        out += textcodec::LineToSjis(std::string_view(line).substr(0, end), code);
        out += std::string_view(line).substr(end);
    }
    held_.clear();
    heldBytes_ = 0;
    return out;
}

std::string CacheWriter::EndHeld()
{
    std::string out = Release();
    scan_ = {};
    undeclared_ = decided_ = false;
    return out;
}

std::string CacheWriter::Finish() { return EndHeld(); }

void CacheWriter::EndOfHeader()
{
    inHeader_ = false;
    const bool isPart = !boundaries_.empty();
    const std::string contentType = GetHeaderField(header_, "Content-Type", false);
    const std::string encoding = MimeToken(GetHeaderField(header_, "Content-Transfer-Encoding", false));
    std::string boundary;
    const bool multipart = IsMultipart(header_, boundary);
    header_.clear();
    if (multipart) {
        if (!boundary.empty() && boundary != "-" && boundaries_.size() < kMaxDepth)
            boundaries_.push_back(boundary);
        return;
    }
    std::string type, subtype;
    std::vector<std::string> names, values;
    ParseContentType(contentType, type, subtype, names, values);
    type = MimeToken(type);
    subtype = MimeToken(subtype);
    const bool unencoded = encoding.empty() || encoding == "7bit" || encoding == "8bit" || encoding == "binary";
    if (!unencoded)
        return;
    if (type == "message" && subtype == "rfc822") {
        inHeader_ = boundaries_.size() < kMaxDepth; // the enclosed message has a header of its own
        return;
    }
    if (type.empty() || type == "text") {
        if (!forced_.empty()) {
            charset_ = std::make_unique<textcodec::CharsetReader>(forced_);
            return;
        }
        const std::string charset = DeclaredCharset(contentType);
        if (!IsLegacyCharset(charset))
            charset_ = std::make_unique<textcodec::CharsetReader>(charset);
        else
            undeclared_ = GetParameter(contentType, "charset").empty();
        return;
    }
    raw_ = isPart && (encoding == "8bit" || encoding == "binary");
}

namespace {

// One line of a kept message (its LF gone) as the server would have sent it.
std::string SentLine(std::string_view text)
{
    if (!text.empty() && text.back() == '\r')
        text.remove_suffix(1);
    std::string line(!text.empty() && text[0] == '.' ? "." : "");
    line += text;
    line += "\r\n";
    return line;
}

} // namespace

std::string MakeCacheText(std::string_view message)
{
    CacheWriter writer;
    std::string out;
    out.reserve(message.size() + message.size() / 20 + 8);
    std::size_t pos = 0;
    while (pos < message.size()) {
        const std::size_t lf = message.find('\n', pos);
        const std::size_t end = lf == std::string_view::npos ? message.size() : lf;
        out += writer.Line(SentLine(message.substr(pos, end - pos)));
        pos = lf == std::string_view::npos ? message.size() : lf + 1;
    }
    out += writer.Finish();
    out += kCacheEnd;
    return out;
}

bool WriteCacheText(std::istream& message, std::ostream& out)
{
    CacheWriter writer;
    for (std::string text; std::getline(message, text);)
        out << writer.Line(SentLine(text));
    out << writer.Finish() << kCacheEnd;
    return !message.bad() && out.flush().good();
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

std::filesystem::path ReceivedPath(const std::filesystem::path& cache)
{
    std::filesystem::path received = cache;
    received += ".received";
    return received;
}

bool RecodeCache(const std::filesystem::path& cache, std::string_view charset)
{
    auto received = CacheFile::Open(ReceivedPath(cache));
    if (!received)
        return false;
    // Written beside it and renamed over it: attachments still open on the
    // old file keep reading what they were made from.
    std::filesystem::path fresh = cache;
    fresh += ".new";
    std::ofstream out(fresh, std::ios::binary | std::ios::trunc);
    CacheWriter writer(charset);
    for (std::string line; received->ReadRawLine(line);)
        out << writer.Line(line);
    out << writer.Finish() << kCacheEnd;
    out.close();
    std::error_code ec;
    if (out)
        std::filesystem::rename(fresh, cache, ec);
    if (!out || ec) {
        std::filesystem::remove(fresh, ec);
        return false;
    }
    return true;
}

std::string CachedFieldAs(std::string_view header, std::string_view name, std::string_view charset)
{
    if (charset.empty())
        return GetHeaderField(header, name, true);
    std::string value = textcodec::DecodeHeaderWordsAs(GetHeaderField(header, name, false), charset);
    std::replace(value.begin(), value.end(), '\t', ' ');
    return value;
}

std::string CachedHeaderAs(std::string_view header, std::string_view charset)
{
    std::string out;
    ForEachHeaderLine(header, [&](std::string_view, std::string_view name, std::string& value) {
        if (name.empty())
            return;
        value = platform::OneLineValue(textcodec::DecodeHeaderWordsAs(value, charset));
        const bool plain = value.find("=?") == std::string::npos &&
                           std::none_of(value.begin(), value.end(), [](char c) { return c & 0x80; });
        ((out += name) += ' ') += plain ? value : textcodec::EncodeHeaderValue(value, textcodec::KanjiCode::Utf8);
        out += "\r\n";
    });
    return out + "\r\n";
}

bool ForEachHeaderLine(std::string_view header,
                       const std::function<void(std::string_view line, std::string_view name, std::string& value)>& each)
{
    std::string value;
    for (std::size_t pos = 0; pos < header.size();) {
        const std::string_view line = header.substr(pos, LineEnd(header.substr(pos)));
        const std::size_t lf = header.find('\n', pos);
        const std::size_t next = lf == std::string_view::npos ? header.size() : lf + 1;
        if (line.empty())
            return true;
        if (line[0] != ' ' && line[0] != '\t') {
            const std::size_t colon = line.find(':');
            if (colon != std::string_view::npos && ScanHeaderField(header, line.substr(0, colon + 1), pos, false, value))
                each(line, line.substr(0, colon + 1), value);
            else
                each(line, {}, value = {});
        }
        pos = next;
    }
    return false;
}

} // namespace message
