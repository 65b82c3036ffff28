#include "message/Attachment.h"

#include "message/Codec.h"
#include "message/HeaderFields.h"
#include "message/MimeRender.h"
#include "platform/Sjis.h"
#include "platform/TempFiles.h"
#include "textcodec/Charsets.h"
#include "textcodec/QuotedPrintable.h"
#include "textcodec/StreamPump.h"
#include "textcodec/Uuencode.h"
#include "textcodec/BinHex.h"
#include "textcodec/Yenc.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <cstdio>
#include <sys/stat.h>
#include <system_error>

using namespace textcodec;

namespace message {

namespace {


// Writes an output file byte for byte; every failure raises a file error.
class OutFile {
public:
    using Spend = std::function<void(std::size_t)>;
    OutFile(const std::filesystem::path& path, Spend spend) : path_(path), spend_(std::move(spend))
    {
        file_ = std::fopen(path.c_str(), "wb");
        if (!file_)
            throw AttachmentError(AttachmentError::Kind::File, "cannot create " + path.string());
    }
    ~OutFile()
    {
        if (file_)
            std::fclose(file_);
    }
    void Write(std::string_view bytes)
    {
        spend_(bytes.size());
        if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
            throw AttachmentError(AttachmentError::Kind::File, "cannot write " + path_.string());
    }
    void Close()
    {
        std::FILE* f = file_;
        file_ = nullptr;
        if (std::fclose(f) != 0)
            throw AttachmentError(AttachmentError::Kind::File, "cannot write " + path_.string());
    }

private:
    std::filesystem::path path_;
    Spend spend_;
    std::FILE* file_ = nullptr;
};

bool IsDelimiterOf(std::string_view line, const std::string& boundary)
{
    const std::size_t n = boundary.size();
    if (n == 0 || line.size() < n + 4 || line.substr(0, 2) != "--" || line.substr(2, n) != boundary)
        return false;
    const std::string_view rest = line.substr(n + 2);
    return rest == "\r\n" || rest == "--\r\n";
}

AttachmentError LimitError(const OutputBudget& budget)
{
    return AttachmentError(AttachmentError::Kind::Limit,
                           "the article may write " + std::to_string(budget.Limit()) +
                               " bytes in all, and that is spent");
}

// The line without its line end (LF or CR LF) and without one stuffing dot.
std::string_view Content(std::string_view raw)
{
    if (!raw.empty() && raw.back() == '\n')
        raw.remove_suffix(1);
    if (!raw.empty() && raw.back() == '\r')
        raw.remove_suffix(1);
    if (!raw.empty() && raw.front() == '.')
        raw.remove_prefix(1);
    return raw;
}

std::string Unstuffed(const std::string& normalised)
{
    return !normalised.empty() && normalised[0] == '.' ? normalised.substr(1) : normalised;
}

void RemoveQuietly(const std::filesystem::path& p)
{
    std::error_code ec;
    if (!p.empty())
        std::filesystem::remove(p, ec);
}

// Runs a block copied out of the article through its decoder into out, every
// byte counted against the budget; the copy goes either way.
void DecodeBlock(const std::filesystem::path& copy, textcodec::StreamCodec& decoder, textcodec::AtomicOutput& out,
                 OutputBudget& budget, const std::filesystem::path& path)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(copy.c_str(), "rb"), std::fclose);
    RemoveQuietly(copy);
    if (!in)
        throw AttachmentError(AttachmentError::Kind::File, "cannot read a temporary file");
    bool spent = false;
    // BinHex runs unfold up to 127 times: small blocks keep each step's output
    // (held whole before the budget sees it) to a few MB.
    constexpr std::size_t kBlock = 32 * 1024;
    const textcodec::PumpStatus status = textcodec::PumpStream(
        in.get(), decoder,
        [&](std::string_view bytes) {
            if (!budget.Take(bytes.size()))
                return !(spent = true);
            return out.Write(bytes);
        },
        false, kBlock);
    if (spent)
        throw LimitError(budget);
    if (status == textcodec::PumpStatus::ReadFailed)
        throw AttachmentError(AttachmentError::Kind::File, "cannot read a temporary file");
    if (status != textcodec::PumpStatus::Ok)
        throw AttachmentError(AttachmentError::Kind::File, "cannot write " + path.string());
}

} // namespace

std::string SafeFileName(std::string_view name)
{
    // Only a valid second byte pairs with a lead byte: a lead byte before "/"
    // must not hide the separator.
    auto charLength = [](std::string_view s, std::size_t i) -> std::size_t {
        if (!platform::IsSjisLeadByte(static_cast<unsigned char>(s[i])) || i + 1 >= s.size())
            return 1;
        const unsigned char t = static_cast<unsigned char>(s[i + 1]);
        return (t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC) ? 2 : 1;
    };
    // The base name: after the last separator, stepping over double-byte characters
    // whose second byte happens to be a backslash.
    std::size_t start = 0;
    for (std::size_t i = 0; i < name.size(); i += charLength(name, i))
        if (charLength(name, i) == 1 && (name[i] == '/' || name[i] == '\\' || name[i] == ':'))
            start = i + 1;
    name.remove_prefix(start);
    std::string safe;
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t step = charLength(name, i);
        const unsigned char c = static_cast<unsigned char>(name[i]);
        const bool loneLead = step == 1 && platform::IsSjisLeadByte(c);
        if (step == 2 || (c >= 0x20 && c != 0x7F && !loneLead))
            safe.append(name.substr(i, step));
        i += step;
    }
    // Leading and trailing blanks and dots only make trouble (hidden files, "..").
    while (!safe.empty() && (safe.front() == ' ' || safe.front() == '.'))
        safe.erase(0, 1);
    while (!safe.empty() && safe.back() == ' ')
        safe.pop_back();
    constexpr std::size_t kMax = 200;
    if (safe.size() > kMax) {
        std::size_t dot = safe.rfind('.');
        std::string ext = (dot != std::string::npos && safe.size() - dot <= 16) ? safe.substr(dot) : "";
        safe = std::string(platform::CutSjis(safe, kMax - ext.size())) + ext;
    }
    if (safe.empty())
        return "attachment";
    return safe;
}

std::filesystem::path SafeFilePath(std::string_view name)
{
    // A character CP932 lacks (kept as an escape) gets its own code point;
    // a byte that is no character becomes '_'.
    std::string utf8 = textcodec::SjisToUtf8(SafeFileName(name), U'_');
    // C1 controls (C2 80 to C2 9F) would reach terminals and file dialogs.
    for (std::size_t i = 0; i + 1 < utf8.size(); ++i)
        if (utf8[i] == '\xC2' && (static_cast<unsigned char>(utf8[i + 1]) & 0xE0) == 0x80)
            utf8.replace(i, 2, "_");
    // Kanji take three bytes in UTF-8: cut on whole characters, keeping the
    // extension, so the name fits the file system's 255 bytes.
    constexpr std::size_t kMaxName = 255;
    if (utf8.size() > kMaxName) {
        const std::size_t dot = utf8.rfind('.');
        const std::string ext = dot != std::string::npos && utf8.size() - dot <= 16 ? utf8.substr(dot) : "";
        std::size_t keep = kMaxName - ext.size();
        while (keep > 0 && (static_cast<unsigned char>(utf8[keep]) & 0xC0) == 0x80)
            --keep;
        utf8 = utf8.substr(0, keep) + ext;
    }
    return utf8;
}

CAttachment::CAttachment(std::string name, std::int64_t position, std::shared_ptr<CacheFile> file,
                         std::string boundary)
    : name_(std::move(name)), position_(position), file_(std::move(file)), boundary_(std::move(boundary))
{
}

CacheFile& CAttachment::Begin()
{
    if (!file_ || !file_->IsOpen() || !file_->Seek(position_))
        throw AttachmentError(AttachmentError::Kind::File, "the article is no longer available");
    if (!budget_) {
        std::error_code ec;
        const auto size = std::filesystem::file_size(file_->Path(), ec);
        ownBudget_ = OutputBudget::ForArticle(ec ? 0 : size);
    }
    return *file_;
}

void CAttachment::Spend(std::size_t bytes)
{
    OutputBudget& budget = budget_ ? *budget_ : ownBudget_;
    if (!budget.Take(bytes))
        throw LimitError(budget);
}

bool CAttachment::IsDelimiter(std::string_view line) const
{
    if (line.size() < 4 || line[0] != '-')
        return false;
    return IsDelimiterOf(line, boundary_) ||
           std::any_of(enclosing_.begin(), enclosing_.end(), [&](const std::string& b) { return IsDelimiterOf(line, b); });
}

bool CAttachment::RawIsPartEnd(std::string_view raw) const
{
    // Only lines starting with "-" or "." can end a part.
    if (raw.empty() || (raw[0] != '-' && raw[0] != '.'))
        return false;
    return IsPartEnd(NormaliseLine(raw));
}

bool CAttachment::IsPartEnd(std::string_view line) const
{
    return line == ".\r\n" || IsDelimiter(line);
}

std::filesystem::path CAttachment::CopyBlockToTemp()
{
    std::filesystem::path temp = platform::MakeTempFileName("hir", 0);
    if (temp.empty())
        throw AttachmentError(AttachmentError::Kind::File, "no temporary file");
    try {
        // The copy is only read back by a decoder: what that writes is what counts.
        OutFile out(temp, [](std::size_t) {});
        CacheFile& f = Begin();
        std::string line;
        while (f.ReadLine(line)) {
            if (IsDelimiter(line) || line == ".\r\n") {
                out.Write(".\r\n");
                break;
            }
            out.Write(Unstuffed(line));
        }
        out.Close();
    } catch (...) {
        RemoveQuietly(temp);
        throw;
    }
    return temp;
}

void CAttachment::SaveInto(const std::filesystem::path& dir, const std::filesystem::path& name)
{
    const std::filesystem::path target = dir / name;
    if (name.empty() || !name.has_filename() || target.parent_path() != dir)
        throw AttachmentError(AttachmentError::Kind::File, "not a plain file name: " + name.string());
    // A fresh file made exclusively, then renamed over the name: a link planted
    // at the name is replaced, never written through.
    static std::atomic<unsigned> serial{0};
    std::filesystem::path work;
    for (int attempt = 0; attempt < 100 && work.empty(); ++attempt) {
        std::filesystem::path p = dir / (".lumetra-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
        const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            work = p;
        } else if (errno != EEXIST) {
            break;
        }
    }
    if (work.empty())
        throw AttachmentError(AttachmentError::Kind::File, "cannot create a file in " + dir.string());
    try {
        SaveTo(work);
    } catch (const AttachmentError& e) {
        RemoveQuietly(work);
        if (e.ErrorKind() != AttachmentError::Kind::Damaged)
            throw;
        // Kept beside the work file; it takes the damaged form of the name.
        const std::filesystem::path damaged = dir / textcodec::DamagedFileName(name.string());
        std::error_code ec;
        std::filesystem::rename(textcodec::DamagedFileName(work.string()), damaged, ec);
        if (ec) {
            RemoveQuietly(textcodec::DamagedFileName(work.string()));
            throw AttachmentError(AttachmentError::Kind::File, "cannot write " + damaged.string());
        }
        throw AttachmentError(AttachmentError::Kind::Damaged, e.Detail() + "; saved as " + damaged.string());
    } catch (...) {
        RemoveQuietly(work);
        throw;
    }
    std::error_code ec;
    std::filesystem::rename(work, target, ec);
    if (ec) {
        RemoveQuietly(work);
        throw AttachmentError(AttachmentError::Kind::File, "cannot write " + target.string());
    }
}

std::filesystem::path CAttachment::Open(bool print, Desktop& desktop)
{
    const std::filesystem::path dir = platform::TempDirectory();
    if (dir.empty())
        return {};
    try {
        SaveInto(dir, SafePath());
    } catch (const std::exception&) {
        return {};
    }
    const std::filesystem::path target = dir / SafePath();
    ::chmod(target.c_str(), 0600);
    if (!desktop.OpenFile(target, print, dir)) {
        RemoveQuietly(target);
        return {};
    }
    return target;
}

CMimeAttachment::CMimeAttachment(std::string name, std::int64_t position, std::shared_ptr<CacheFile> file,
                                 std::string boundary, std::string contentType, std::string transferEncoding)
    : CAttachment(std::move(name), position, std::move(file), std::move(boundary)),
      contentType_(std::move(contentType)), transferEncoding_(std::move(transferEncoding))
{
}

std::string CMimeAttachment::GetContentType() const
{
    std::string type, subtype;
    std::vector<std::string> names, values;
    if (!ParseContentType(contentType_, type, subtype, names, values))
        return {};
    return subtype.empty() ? type : type + "/" + subtype;
}

bool CMimeAttachment::IsMessage() const
{
    std::string type, subtype;
    std::vector<std::string> names, values;
    ParseContentType(contentType_, type, subtype, names, values);
    return EqualsNoCase(type, "message") && EqualsNoCase(subtype, "rfc822");
}

bool CMimeAttachment::SkipHeader(CacheFile& f)
{
    std::string line;
    while (f.ReadLine(line)) {
        if (IsPartEnd(line))
            return false;
        if (line.size() < 3)
            return true;
    }
    return false;
}

void CMimeAttachment::SaveTo(const std::filesystem::path& path)
{
    const std::string te = MimeToken(transferEncoding_);
    if (te == "7bit")
        return SaveCopy(path);
    if (te == "8bit" || te == "binary")
        return SaveCopy(path, false);
    if (te == "base64")
        return SaveBase64(path);
    if (IsUuencodeName(te))
        return As<CUuencodeAttachment>().SaveTo(path);
    if (te == "quoted-printable")
        return SaveQuotedPrintable(path);
    const std::string type = MimeToken(GetContentType());
    if (type == "application/mac-binhex40")
        return As<CBinHexAttachment>().SaveTo(path);
    if (type == "application/x-uuencode")
        return As<CUuencodeAttachment>().SaveTo(path);
    SaveCopy(path);
}

void CMimeAttachment::SaveCopy(const std::filesystem::path& path, bool lineEndAfterLast)
{
    CacheFile& f = Begin();
    OutFile out(path, [this](std::size_t n) { Spend(n); });
    if (SkipHeader(f)) {
        // Binary data keeps its bytes: the line end before a delimiter is
        // the delimiter's own.
        std::string raw;
        bool first = true;
        while (f.ReadRawLine(raw)) {
            if (RawIsPartEnd(raw))
                break;
            if (!first && !lineEndAfterLast)
                out.Write("\r\n");
            first = false;
            std::string_view content = Content(raw);
            out.Write(content);
            if (lineEndAfterLast)
                out.Write("\r\n");
        }
    }
    out.Close();
}

void CMimeAttachment::SaveBase64(const std::filesystem::path& path)
{
    CacheFile& f = Begin();
    OutFile out(path, [this](std::size_t n) { Spend(n); });
    if (SkipHeader(f)) {
        // Whole groups of four are decoded in large pieces; a group holding "="
        // (padding, also in the middle of concatenated data) ends a piece.
        std::string raw, pending;
        auto decode = [&] {
            const std::size_t whole = pending.size() - pending.size() % 4;
            if (whole == 0)
                return;
            out.Write(codec::Base64DecodeLine(std::string_view(pending).substr(0, whole)));
            pending.erase(0, whole);
        };
        while (f.ReadRawLine(raw)) {
            const bool last = RawIsPartEnd(raw);
            const std::size_t before = pending.size();
            bool padded = false;
            if (!last) {
                const std::string_view data = std::string_view(raw).substr(0, LineEnd(raw));
                padded = data.find('=') != std::string_view::npos;
                if (std::none_of(data.begin(), data.end(), [](char c) { return c == ' ' || c == '\t'; }))
                    pending += data;
                else
                    for (char c : data)
                        if (c != ' ' && c != '\t')
                            pending += c;
            }
            // Blank lines between groups do not end the data; the part's end does.
            if (last)
                break;
            if (pending.size() == before)
                continue;
            if (padded || pending.size() >= 65536)
                decode();
        }
        decode();
        // Unpadded data: the last characters still make bytes.
        if (pending.size() >= 2)
            out.Write(codec::Base64DecodeLine(pending));
    }
    out.Close();
}

void CMimeAttachment::SaveQuotedPrintable(const std::filesystem::path& path)
{
    CacheFile& f = Begin();
    OutFile out(path, [this](std::size_t n) { Spend(n); });
    if (SkipHeader(f)) {
        std::string raw, decoded;
        while (f.ReadRawLine(raw)) {
            if (RawIsPartEnd(raw))
                break;
            textcodec::DecodeQuotedPrintableLine(Content(raw), decoded, true);
            out.Write(decoded);
        }
    }
    out.Close();
}

bool CMimeAttachment::GetSource(std::string& out)
{
    out.clear();
    if (!file_ || !file_->IsOpen() || !file_->Seek(position_))
        return false;
    std::string line;
    bool inHeader = true;
    while (file_->ReadLine(line)) {
        if (IsPartEnd(line))
            break;
        if (inHeader) {
            out += line;
            if (line.size() < 3)
                inHeader = false;
            continue;
        }
        out += Unstuffed(line);
    }
    return true;
}

void CUuencodeAttachment::SaveTo(const std::filesystem::path& path)
{
    textcodec::UudecodeDecoder decoder;
    textcodec::AtomicOutput out(path);
    DecodeBlock(CopyBlockToTemp(), decoder, out, Budget(), path);
    // Data before a missing end stays, though the save failed.
    const int rc = decoder.Result();
    if (rc != textcodec::UUD_NO_BEGIN && !out.Keep())
        throw AttachmentError(AttachmentError::Kind::File, "cannot write " + path.string());
    if (rc != 0)
        throw AttachmentError(AttachmentError::Kind::Decode, "uudecode failed (" + std::to_string(rc) + ")");
}

bool CUuencodeAttachment::GetSource(std::string& out)
{
    out.clear();
    if (!file_ || !file_->IsOpen() || !file_->Seek(position_))
        return false;
    std::string line;
    while (file_->ReadLine(line)) {
        if (IsDelimiter(line))
            break;
        out += line;
        if (line == "\r\n" || line == ".\r\n")
            break;
    }
    return true;
}

void CYencAttachment::SaveTo(const std::filesystem::path& path)
{
    CacheFile& f = Begin();
    textcodec::YencDecoder decoder;
    textcodec::AtomicOutput out(path);
    std::string raw, line, data;
    bool written = true;
    // Raw lines: the display form turns NUL and ^Z into '?', which are data here.
    while (written && f.ReadRawLine(raw)) {
        NormaliseLine(raw, line);
        if (IsPartEnd(line) || line == ".\r\n")
            break;
        data.clear();
        decoder.Put(std::string_view(raw).substr(raw.starts_with('.') ? 1 : 0), data);
        Spend(data.size());
        written = out.Write(data);
        // One block only: the first "=yend" closes it.
        if (line.starts_with("=yend"))
            break;
    }
    data.clear();
    decoder.Finish(data);
    Spend(data.size());
    written = written && out.Write(data);
    if (!written)
        throw AttachmentError(AttachmentError::Kind::File, "cannot write " + path.string());
    const bool damaged = decoder.Status() != textcodec::YencStatus::Ok;
    const std::filesystem::path kept = damaged ? std::filesystem::path(textcodec::DamagedFileName(path.string())) : path;
    if (damaged)
        out.KeepAs(kept);
    if (!out.Keep())
        throw AttachmentError(AttachmentError::Kind::File, "cannot write " + kept.string());
    if (damaged)
        throw AttachmentError(AttachmentError::Kind::Damaged, "yEnc data damaged (" + decoder.Problem() + ")",
                              "; saved as " + kept.string());
}

bool CYencAttachment::GetSource(std::string& out)
{
    out.clear();
    if (!file_ || !file_->IsOpen() || !file_->Seek(position_))
        return false;
    std::string line;
    while (file_->ReadLine(line)) {
        if (IsDelimiter(line) || line == ".\r\n")
            break;
        out += line;
        if (line.starts_with("=yend"))
            break;
    }
    return true;
}

void CBinHexAttachment::SaveTo(const std::filesystem::path& path)
{
    textcodec::BinHexDecoder decoder;
    textcodec::AtomicOutput out(path);
    DecodeBlock(CopyBlockToTemp(), decoder, out, Budget(), path);
    // Written only under a sound header; a cut or damaged data fork stays, though the save failed.
    if (decoder.HeaderSound() && !out.Keep())
        throw AttachmentError(AttachmentError::Kind::File, "cannot write " + path.string());
    if (decoder.Status() != textcodec::BinHexStatus::Ok)
        throw AttachmentError(AttachmentError::Kind::Decode, "BinHex decoding failed");
}

bool CBinHexAttachment::GetSource(std::string& out)
{
    out.clear();
    if (!file_ || !file_->IsOpen() || !file_->Seek(position_))
        return false;
    // From the marker line to the end of the encoded data.
    std::string line;
    bool data = false;
    while (file_->ReadLine(line)) {
        if (IsPartEnd(line) || (data && line == "\r\n"))
            break;
        out += line;
        const std::string_view content = std::string_view(line).substr(0, line.size() - 2);
        const bool first = !data && !content.empty() && content[0] == ':';
        if (first)
            data = true;
        // The data closes with a second colon.
        if (data && !content.empty() && content.back() == ':' && (!first || content.size() >= 2))
            break;
    }
    return true;
}

} // namespace message
