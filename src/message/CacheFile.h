#pragma once
// The article cache file as rendering and the attachment objects read it: a
// file of Shift_JIS lines shared by the body pane and the attachments made
// from it. Once closed (a new article, a failed or cancelled fetch) every
// holder sees it closed and reads nothing more from it.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "textcodec/Charsets.h"
#include "textcodec/TextCode.h"

namespace message {

class CacheFile {
public:
    static std::shared_ptr<CacheFile> Open(const std::filesystem::path& path);
    ~CacheFile();
    CacheFile(const CacheFile&) = delete;
    CacheFile& operator=(const CacheFile&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    void Close();
    const std::filesystem::path& Path() const { return path_; }

    bool Seek(std::int64_t position);
    std::int64_t Tell() const;
    // One whole line as stored, with its line end; false at the end of the
    // file. Past limit bytes the rest of the line is passed over (its LF
    // kept) and counted in LastLineCut().
    bool ReadRawLine(std::string& line, std::size_t limit = std::string::npos);
    // One line cut at its first CR or LF, Ctrl-Z and NUL as "?", CR LF appended.
    bool ReadLine(std::string& line, std::size_t limit = std::string::npos);
    // Bytes the last read passed over.
    std::size_t LastLineCut() const { return cut_; }

private:
    explicit CacheFile(std::filesystem::path path, std::FILE* file);
    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
    std::string buffer_;          // read ahead from the file
    std::size_t begin_ = 0;       // next unread byte in buffer_
    std::size_t end_ = 0;         // bytes held in buffer_
    std::int64_t bufferStart_ = 0; // file position of buffer_[0]
    std::string raw_;
    std::size_t cut_ = 0;
};

// The display form of a raw line (see ReadLine).
std::string NormaliseLine(std::string_view raw);
void NormaliseLine(std::string_view raw, std::string& line);
// Where the line ends: its first CR or LF, or its size.
std::size_t LineEnd(std::string_view line);

// The form an article is cached in: the lines as the server sent them
// (dot-stuffed, line ends kept), each converted to Shift_JIS, then kCacheEnd.
inline constexpr std::string_view kCacheEnd = ".\r\n";
// One received line in that form, its line end kept as sent; the text
// unchanged when it cannot be converted.
std::string CacheLine(std::string_view received);
// The cache form of one article's received lines, given in order. A part
// (or an article) that declares a charset other than ISO-2022-JP or US-ASCII
// and is sent unencoded is read in that charset; an unencoded part that is
// not text is kept byte for byte; unencoded text that declares no charset is
// held until its end and read in the code all of its bytes point to
// (textcodec::DetectTextCode), a mixed text by the per-line rule; all else
// follows CacheLine. Line may give back nothing, or several lines at once;
// Finish gives what is still held at the end of the article.
//
// Made with a charset, it reads every header line and every unencoded text
// part in that charset instead, whatever they declare or look like: the
// reader's way out when the labels or the detection are wrong.
class CacheWriter {
public:
    CacheWriter() = default;
    explicit CacheWriter(std::string_view charset) : forced_(charset) {}
    std::string Line(std::string_view received);
    std::string Finish();

private:
    void EndOfHeader();
    std::string Release();
    std::string EndHeld();
    std::string HoldLine(std::string_view received, std::size_t end);
    bool undeclared_ = false;
    bool decided_ = false;
    textcodec::TextCode code_ = textcodec::TextCode::Undecided;
    textcodec::TextCodeScan scan_;
    std::vector<std::string> held_;
    std::size_t heldBytes_ = 0;
    std::string header_;
    std::vector<std::string> boundaries_;
    std::unique_ptr<textcodec::CharsetReader> charset_; // the part's declared charset, opened once
    bool inHeader_ = true;
    bool raw_ = false;
    bool yenc_ = false; // inside a yEnc block: its bytes are data, not text
    std::string forced_;
};
// A message as kept in a file (LF or CR LF lines, not dot-stuffed) in that form.
std::string MakeCacheText(std::string_view message);
// The same a line at a time, so that only the longest line is held.
bool WriteCacheText(std::istream& message, std::ostream& out);
// The header lines of a cached article (up to the empty line), as stored.
std::string ReadCacheHeader(const std::filesystem::path& file);

// The received lines a cache file was made from (as the server sent them,
// dot-stuffed, line ends kept), kept beside it so that the article can be
// read again in another charset.
std::filesystem::path ReceivedPath(const std::filesystem::path& cache);
// Makes the cache file anew from the received lines beside it, read in
// charset (empty: as they declare and look); the old file stays when that
// fails.
bool RecodeCache(const std::filesystem::path& cache, std::string_view charset);
// A field of a cached header with its encoded words read in charset (empty:
// in their own), unfolded: the row of an article read again.
std::string CachedFieldAs(std::string_view header, std::string_view name, std::string_view charset);
// The cached header with each field as read in charset, written so that a
// later reading of it (a follow-up, a mail reply) gets what was shown: one
// line per field, text beyond ASCII as UTF-8 encoded words.
std::string CachedHeaderAs(std::string_view header, std::string_view charset);
// The lines of a header up to the empty one, each with the field it starts:
// its name with the colon and its value unfolded, not decoded; a line that
// starts no field comes with an empty name, continuations are passed over.
// True when the header ended at an empty line.
bool ForEachHeaderLine(std::string_view header,
                       const std::function<void(std::string_view line, std::string_view name, std::string& value)>& each);

} // namespace message
