#include "message/MimeRender.h"

#include "message/Codec.h"
#include "message/FlowedText.h"
#include "message/HeaderFields.h"
#include "message/UrlScanner.h"
#include "platform/Sjis.h"
#include "platform/TempFiles.h"
#include "textcodec/Charsets.h"
#include "textcodec/HeaderWords.h"
#include "textcodec/QuotedPrintable.h"
#include "textcodec/Yenc.h"

#include <algorithm>
#include <cstdio>
#include <system_error>

using namespace textcodec;

namespace message {

namespace {

constexpr std::size_t kFlushSize = 10001;
constexpr std::size_t kMaxDepth = 32;
constexpr std::string_view kBinHexMarker = "(This file must be converted with BinHex 4.0)\r\n";

int CountLines(std::string_view text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

std::string_view WithoutLineEnd(std::string_view line)
{
    return line.substr(0, LineEnd(line));
}

// The text after the last of the given separators; a backslash that is the
// second byte of a double-byte character is not one.
std::string AfterLast(std::string_view name, char separator)
{
    std::size_t start = std::string_view::npos;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (platform::SjisCharLength(name, i) == 2) {
            ++i;
            continue;
        }
        if (name[i] == separator)
            start = i + 1;
    }
    return start == std::string_view::npos ? std::string(name) : std::string(name.substr(start));
}

// A header line with its encoded words decoded; what they decode to cannot
// break the line.
std::string DecodedValue(std::string_view value, std::string_view charset)
{
    return charset.empty() ? codec::DecodeHeaderValue(value) : textcodec::DecodeHeaderWordsAs(value, charset);
}

std::string DecodedLine(std::string_view line, std::string_view charset)
{
    return platform::OneLineValue(DecodedValue(WithoutLineEnd(line), charset)) + "\r\n";
}

// A field's unfolded value decoded, its tabs made blanks.
std::string FieldDecoded(const std::string& raw, std::string_view charset)
{
    std::string value = DecodedValue(raw, charset);
    std::replace(value.begin(), value.end(), '\t', ' ');
    return value;
}

// The unfolded value of the field at lineStart, decoded.
bool ScanDecoded(std::string_view header, std::string_view name, std::size_t lineStart, std::string_view charset,
                 std::string& value)
{
    if (!ScanHeaderField(header, name, lineStart, false, value))
        return false;
    value = FieldDecoded(value, charset);
    return true;
}

// The header with each field unfolded and decoded whole on one line: a word
// (or a character) may be split across its folded lines.
std::string DecodedFields(std::string_view header, std::string_view charset)
{
    std::string out;
    const bool ended = ForEachHeaderLine(header, [&](std::string_view line, std::string_view name, std::string& value) {
        if (name.empty()) {
            out += DecodedLine(line, charset);
            return;
        }
        ((out += name) += ' ') += platform::OneLineValue(FieldDecoded(value, charset)) + "\r\n";
    });
    if (ended)
        out += "\r\n";
    return out;
}

bool IsPlainText(std::string_view header)
{
    const std::string contentType = GetHeaderField(header, "Content-Type", false);
    std::string type, subtype;
    std::vector<std::string> names, values;
    ParseContentType(contentType, type, subtype, names, values);
    return contentType.empty() || (MimeToken(type) == "text" && MimeToken(subtype) == "plain");
}

bool IsAlternative(std::string_view header)
{
    std::string type, subtype;
    std::vector<std::string> names, values;
    ParseContentType(GetHeaderField(header, "Content-Type", false), type, subtype, names, values);
    return MimeToken(subtype) == "alternative";
}

bool HasSeparator(std::string_view name, char separator) { return AfterLast(name, separator).size() != name.size(); }

void RemoveQuietly(const std::filesystem::path& p)
{
    std::error_code ec;
    if (!p.empty())
        std::filesystem::remove(p, ec);
}

bool WriteFile(const std::filesystem::path& path, std::string_view bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

BodyRenderer::BodyRenderer(BodySink& sink) : sink_(sink, limits) {}

void BodyRenderer::Bounded::Clear()
{
    to_.Clear();
    shown_ = hidden_ = 0;
}

void BodyRenderer::Bounded::Append(std::string_view text, TextRole role, Colour colour, bool underline)
{
    if (Full()) {
        hidden_ += text.size();
        return;
    }
    to_.Append(text, role, colour, underline);
    shown_ += text.size();
}

bool BodyRenderer::ReadLine(CacheFile& file, std::string& line)
{
    if (!file.ReadLine(line, limits.lineBytes))
        return false;
    if (file.LastLineCut() > 0)
        MarkCut(line, file.LastLineCut());
    return true;
}

void BodyRenderer::MarkCut(std::string& line, std::size_t dropped) const
{
    // What was read of the line may end inside a character.
    const std::string_view text = WithoutLineEnd(line);
    std::size_t kept = 0;
    for (std::size_t step; kept < text.size(); kept += step) {
        step = platform::IsSjisLeadByte(static_cast<unsigned char>(text[kept])) ? 2 : 1;
        if (kept + step > text.size())
            break;
    }
    dropped += text.size() - kept;
    line.resize(kept);
    line += " ...(" + std::to_string(dropped) + " MORE BYTES ON THIS LINE)\r\n";
}

void BodyRenderer::Flush()
{
    if (pending_.empty())
        return;
    sink_.Append(pending_, TextRole::Text, textColour, false);
    pending_.clear();
}

void BodyRenderer::Emit(std::string_view text, TextRole role, Colour colour, bool underline)
{
    Flush();
    sink_.Append(text, role, colour, underline);
    lineCount_ += CountLines(text);
}

void BodyRenderer::AddText(std::string_view text, bool flush)
{
    lineCount_ += CountLines(text);
    if (sink_.Full()) {
        sink_.Hide(text.size());
        return;
    }
    if (IsUrlCandidate(text)) {
        Flush();
        AppendWithUrls(sink_, text, TextRole::Text, textColour, linkColour);
        return;
    }
    pending_ += text;
    if (flush || pending_.size() >= kFlushSize)
        Flush();
}

void BodyRenderer::AddColoured(std::string_view text, TextRole role, Colour colour, bool underline)
{
    Emit(text, role, colour, underline);
}

void BodyRenderer::AddBoundaryLine(std::string_view line) { Emit(line, TextRole::Boundary, boundaryColour, false); }

void BodyRenderer::AddMarker(std::string_view text)
{
    std::string marker = "\r\n";
    marker += text;
    marker += "\r\n";
    Emit(marker, TextRole::Marker, attachmentColour, false);
}

void BodyRenderer::ClearBody()
{
    sink_.Clear();
    attachments_.clear();
    headerText_.clear();
    pending_.clear();
    lineCount_ = 0;
    headerLineCount_ = 0;
}

std::vector<std::unique_ptr<CAttachment>> BodyRenderer::TakeAttachments() { return std::move(attachments_); }

bool BodyRenderer::IsEndLine(std::string_view line) const
{
    if (line == ".\r\n")
        return true;
    return (!outerDelimiter_.empty() && EqualsNoCase(line, outerDelimiter_)) ||
           (!outerClosing_.empty() && EqualsNoCase(line, outerClosing_));
}

bool BodyRenderer::RenderArticle(const std::shared_ptr<CacheFile>& file, std::int64_t position, bool showAll,
                                 std::string_view outerBoundary)
{
    outerDelimiter_.clear();
    outerClosing_.clear();
    if (!outerBoundary.empty()) {
        outerDelimiter_ = "--" + std::string(outerBoundary) + "\r\n";
        outerClosing_ = "--" + std::string(outerBoundary) + "--\r\n";
    }
    sink_.SetRedraw(false);
    ClearBody();
    if (!file || !file->Seek(position)) {
        sink_.SetRedraw(true);
        return true;
    }

    std::string header, line;
    while (ReadLine(*file, line)) {
        if (line == ".\r\n")
            break;
        const bool last = line.size() <= 2;
        for (std::size_t i = 0; i + 2 < line.size(); ++i)
            if (static_cast<unsigned char>(line[i]) < 0x20)
                line[i] = ' ';
        header += line;
        if (last)
            break;
    }
    headerText_ = DecodedFields(header, charset);

    MimePartInfo info;
    int lineIndex = 0;
    std::string boundary;
    const bool multipart = IsMultipart(header, boundary);
    if (!multipart) {
        RenderPart(file, position, {}, info, false, showAll, headerLineCount_);
        RegisterAttachments(info, {}, file);
    } else if (!boundary.empty() && boundary != "-") {
        ShowHeader(header, showAll);
        headerLineCount_ = lineCount_;
        nests_.clear();
        RenderParts(file, boundary, IsAlternative(header), true);
    } else {
        RenderPart(file, position, {}, info, true, showAll, lineIndex);
        RegisterAttachments(info, {}, file);
    }
    Flush();
    if (sink_.Hidden() > 0) {
        const std::string note = "\r\n(" + std::to_string(sink_.Hidden()) +
                                 " MORE BYTES NOT SHOWN: SAVE THE ARTICLE TO READ ALL OF IT)\r\n";
        sink_.Target().Append(note, TextRole::Marker, attachmentColour, false);
    }
    sink_.SetRedraw(true);
    return true;
}

void BodyRenderer::RenderParts(const std::shared_ptr<CacheFile>& file, const std::string& boundary,
                               bool alternative, bool showPreamble)
{
    const std::string delimiter = "--" + boundary + "\r\n";
    const std::string closing = "--" + boundary + "--\r\n";
    bool more = false;
    std::string line;
    nests_.push_back({boundary, alternative, false, false});
    for (;;) {
        const std::int64_t at = file->Tell();
        if (!ReadLine(*file, line) || IsEndLine(line) || (!showPreamble && line == closing))
            break;
        if (IsEnclosingDelimiter(line)) {
            file->Seek(at);
            break;
        }
        if (line == delimiter) {
            AddBoundaryLine(line);
            more = true;
            break;
        }
        if (showPreamble)
            AddText(line[0] == '.' ? std::string_view(line).substr(1) : std::string_view(line));
    }
    if (alternative && more)
        nests_.back().hasPlain = HasPlainPart(*file, boundary);
    MimePartInfo info;
    int lineIndex = 0;
    while (more) {
        if (!RenderPart(file, file->Tell(), boundary, info, true, true, lineIndex))
            break;
        RegisterAttachments(info, boundary, file);
        more = !info.isLast;
    }
    nests_.pop_back();
}

bool BodyRenderer::HasPlainPart(CacheFile& file, const std::string& boundary)
{
    const std::string delimiter = "--" + boundary + "\r\n";
    const std::int64_t at = file.Tell();
    std::string line, header;
    bool inHeader = true, found = false;
    // The search ends where the part's enclosing multipart ends, as rendering
    // does, so unclosed alternatives cost no more than their own lines.
    const std::string closing = "--" + boundary + "--";
    while (!found && ReadLine(file, line) && !IsEndLine(line) && !line.starts_with(closing) &&
           !IsEnclosingDelimiter(line)) {
        if (line == delimiter) {
            inHeader = true;
            header.clear();
        } else if (inHeader && line.size() < 3) {
            inHeader = false;
            found = IsPlainText(header);
        } else if (inHeader && header.size() < 65536) {
            header += line;
        }
    }
    file.Seek(at);
    return found;
}

bool BodyRenderer::IsEnclosingDelimiter(std::string_view line) const
{
    if (nests_.size() < 2 || !line.starts_with("--"))
        return false;
    const std::string_view rest = WithoutLineEnd(line).substr(2);
    for (std::size_t k = 0; k + 1 < nests_.size(); ++k) {
        const std::string& b = nests_[k].boundary;
        if (rest == b || (rest.size() == b.size() + 2 && rest.starts_with(b) && rest.ends_with("--")))
            return true;
    }
    return false;
}

bool BodyRenderer::ShowsInline(const MimePartInfo& info)
{
    if (nests_.empty() || !nests_.back().alternative)
        return IsInlinePart(info);
    Nest& nest = nests_.back();
    std::string type, subtype;
    std::vector<std::string> names, values;
    ParseContentType(info.contentType, type, subtype, names, values);
    const bool text = info.contentType.empty() || MimeToken(type) == "text";
    const bool plain = info.contentType.empty() || (text && MimeToken(subtype) == "plain");
    if (nest.chosen || !(nest.hasPlain ? plain : text))
        return false;
    nest.chosen = true;
    return true;
}

// A part's delimiter lines (none outside a multipart).
struct BodyRenderer::Delimiters {
    explicit Delimiters(std::string_view boundary)
    {
        if (!boundary.empty()) {
            open = "--" + std::string(boundary) + "\r\n";
            closing = "--" + std::string(boundary) + "--\r\n";
        }
    }
    bool Is(const std::string& line) const { return !open.empty() && (line == open || line == closing); }
    std::string open, closing;
};

// A shown part's body lines: decoded from their transfer encoding and charset,
// with embedded BinHex and uuencode blocks marked instead of shown.
class BodyRenderer::PartText {
public:
    PartText(BodyRenderer& renderer, MimePartInfo& info)
        : r_(renderer), info_(info), base64_(MimeToken(info.transferEncoding) == "base64"),
          quotedPrintable_(MimeToken(info.transferEncoding) == "quoted-printable"),
          charset_(renderer.charset.empty() ? DeclaredCharset(info.contentType) : renderer.charset),
          legacy_(IsLegacyCharset(charset_) && renderer.charset.empty()),
          reader_(legacy_ ? std::string_view() : std::string_view(charset_))
    {
        if (bool delSp = false; IsFlowed(info.contentType, delSp))
            flowed_ = std::make_unique<FlowedText>(delSp);
    }
    void Line(const std::string& line, std::int64_t position);
    // Shows what is still held (the part ends).
    void Finish();
    // Nothing of the raw line need be looked at once the display is full.
    bool Skippable(std::string_view raw) const
    {
        return r_.sink_.Full() && binhexState_ == 0 && uuState_ == 0 && !raw.empty() && raw[0] != 'b' &&
               raw[0] != 'B' && raw[0] != '(';
    }

private:
    bool InEmbeddedBlock(const std::string& line, std::int64_t position);
    void Base64Line(std::string_view text);
    void QuotedPrintableLine(std::string_view text);
    void Decoded(std::string_view bytes);
    void EndDecodedLine(bool lineEnd);
    void FinishFlowed();
    // Decoded text to the pane, joined first when it is flowed.
    void Show(std::string_view text)
    {
        if (!flowed_)
            return r_.AddText(text);
        std::string joined;
        flowed_->Put(text, joined);
        if (!joined.empty())
            r_.AddText(joined);
    }
    std::string ToSjis(std::string_view bytes)
    {
        return legacy_ ? codec::ToSjis(bytes, codec::Auto) : reader_.ToSjis(bytes);
    }

    BodyRenderer& r_;
    MimePartInfo& info_;
    const bool base64_, quotedPrintable_;
    const std::string charset_;
    const bool legacy_;
    CharsetReader reader_;
    std::string decodedLine_, qpText_; // decodedLine_: at most the display's line bound
    std::size_t decodedCut_ = 0;       // bytes of the decoded line past that bound
    std::string base64Chars_;          // a group cut at a line end, waiting for the next line
    int binhexState_ = 0, uuState_ = 0, binhexExtra_ = 0;
    bool inYenc_ = false;
    std::string binhexCollected_;
    std::unique_ptr<FlowedText> flowed_;
};

void BodyRenderer::PartText::Finish()
{
    if (binhexState_ != 0) {
        binhexState_ = 0;
        r_.FinishBinHexBlock(binhexCollected_, info_);
    }
    if (!qpText_.empty()) {
        std::string decoded;
        DecodeQuotedPrintableLine(qpText_, decoded, true);
        Decoded(decoded);
        qpText_.clear();
    }
    if (base64Chars_.size() >= 2) {
        const std::string bytes = codec::Base64DecodeLine(base64Chars_);
        Decoded(std::string_view(bytes).substr(0, bytes.find('\0')));
    }
    base64Chars_.clear();
    if (!decodedLine_.empty() || decodedCut_ > 0)
        EndDecodedLine(false);
    FinishFlowed();
}

void BodyRenderer::PartText::FinishFlowed()
{
    if (flowed_) {
        std::string rest;
        flowed_->Finish(rest);
        if (!rest.empty())
            r_.AddText(rest);
    }
}

// Decoded text is shown a line at a time, each line cut at the display's
// bound as plain text is, so neither time nor memory grows with a line.
void BodyRenderer::PartText::Decoded(std::string_view bytes)
{
    while (!bytes.empty()) {
        const std::size_t lf = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, lf == std::string_view::npos ? bytes.size() : lf);
        const std::size_t room = r_.limits.lineBytes - std::min(r_.limits.lineBytes, decodedLine_.size());
        decodedLine_ += piece.substr(0, std::min(room, piece.size()));
        decodedCut_ += piece.size() - std::min(room, piece.size());
        if (lf == std::string_view::npos)
            return;
        bytes.remove_prefix(lf + 1);
        EndDecodedLine(true);
    }
}

void BodyRenderer::PartText::EndDecodedLine(bool lineEnd)
{
    if (decodedCut_ == 0) {
        if (lineEnd)
            decodedLine_ += '\n';
        Show(ToSjis(decodedLine_));
    } else {
        if (!decodedLine_.empty() && decodedLine_.back() == '\r')
            decodedLine_.pop_back();
        std::string shown = ToSjis(decodedLine_) + "\r\n";
        r_.MarkCut(shown, decodedCut_);
        r_.AddText(shown);
    }
    decodedLine_.clear();
    decodedCut_ = 0;
}

bool BodyRenderer::PartText::InEmbeddedBlock(const std::string& line, std::int64_t position)
{
    switch (binhexState_) {
    case 0:
        if (EqualsNoCase(line, kBinHexMarker)) {
            info_.embedded.push_back({"temp", position, EmbeddedBlock::Kind::BinHex});
            r_.AddMarker("(BinHex4.0 CONTENT)");
            binhexCollected_ = line;
            binhexState_ = 1;
        }
        break;
    case 1:
        // Only its header is read from it.
        if (binhexCollected_.size() < r_.limits.totalBytes)
            binhexCollected_ += line;
        if (line == "\r\n") {
            binhexState_ = 2;
            binhexExtra_ = 0;
        }
        break;
    default:
        if (line == "\r\n") {
            binhexState_ = 0;
            r_.FinishBinHexBlock(binhexCollected_, info_);
        } else if (binhexExtra_ < 19) {
            binhexCollected_ += line;
            ++binhexExtra_;
        }
        break;
    }
    // yEnc runs from "=ybegin" to "=yend"; its lines are never text.
    if (inYenc_) {
        inYenc_ = !line.starts_with("=yend");
        return true;
    }
    if (binhexState_ == 0 && uuState_ == 0 && line.starts_with("=ybegin ")) {
        r_.DetectYenc(line, position, info_);
        inYenc_ = true;
        return true;
    }
    if (uuState_ == 0) {
        if ((StartsWithNoCase(line, "begin ") || StartsWithNoCase(line, "begin\t")) &&
            r_.DetectUuencode(line, position, info_))
            uuState_ = 1;
    } else if (line == "\r\n") {
        uuState_ = 0;
    }
    return binhexState_ != 0 || uuState_ != 0;
}

void BodyRenderer::PartText::Base64Line(std::string_view text)
{
    // Characters of a group cut at the line end wait for the next line, and
    // blank lines between groups do not end the text.
    for (char c : WithoutLineEnd(text))
        if (c != ' ' && c != '\t')
            base64Chars_ += c;
    const std::size_t whole = base64Chars_.size() - base64Chars_.size() % 4;
    if (whole == 0)
        return;
    const std::string bytes = codec::Base64DecodeLine(std::string_view(base64Chars_).substr(0, whole));
    base64Chars_.erase(0, whole);
    Decoded(std::string_view(bytes).substr(0, bytes.find('\0')));
}

void BodyRenderer::PartText::QuotedPrintableLine(std::string_view text)
{
    std::string_view content = WithoutLineEnd(text);
    while (!content.empty() && (content.back() == ' ' || content.back() == '\t'))
        content.remove_suffix(1);
    // A soft break carries the line on; a huge one is passed on in pieces.
    if (!content.empty() && content.back() == '=' && qpText_.size() < r_.limits.lineBytes) {
        content.remove_suffix(1);
        qpText_ += content;
        return;
    }
    qpText_ += content;
    std::string decoded;
    DecodeQuotedPrintableLine(qpText_, decoded, true);
    qpText_.clear();
    Decoded(decoded);
}

void BodyRenderer::PartText::Line(const std::string& line, std::int64_t position)
{
    if (InEmbeddedBlock(line, position))
        return;
    if (r_.sink_.Full()) {
        r_.sink_.Hide(line.size());
        return;
    }
    std::string_view text = line;
    if (text[0] == '.')
        text.remove_prefix(1); // the server's dot-stuffing
    if (base64_)
        Base64Line(text); // blank lines between groups are no part of the data
    else if (quotedPrintable_ && line.size() > 2)
        QuotedPrintableLine(text);
    else
        Show(text);
}

bool BodyRenderer::RenderPart(const std::shared_ptr<CacheFile>& file, std::int64_t position,
                              std::string_view boundary, MimePartInfo& info, bool isPart, bool showFlag,
                              int& lineIndex)
{
    info = MimePartInfo{};
    info.startPosition = position;
    const Delimiters delimiters(boundary);
    std::string header, shownHeader, line;
    const HeaderEnd end = ReadPartHeader(*file, position, delimiters, isPart, info, header, shownHeader, line);
    if (end == HeaderEnd::ArticleEnd)
        return false;
    info.contentType = GetHeaderField(header, "Content-Type", true);
    info.description = GetHeaderField(header, "Content-Description", true);
    info.disposition = GetHeaderField(header, "Content-Disposition", true);
    info.transferEncoding = GetHeaderField(header, "Content-Transfer-Encoding", true);
    ShowHeader(shownHeader, showFlag);
    lineIndex = lineCount_;
    if (end == HeaderEnd::Delimiter) {
        info.isLast = line != delimiters.open;
        AddBoundaryLine(line);
    } else {
        RenderPartBody(file, delimiters, StartPartBody(file, header, isPart, info), info);
    }
    Flush();
    return true;
}

BodyRenderer::HeaderEnd BodyRenderer::ReadPartHeader(CacheFile& file, std::int64_t position,
                                                     const Delimiters& delimiters, bool isPart, MimePartInfo& info,
                                                     std::string& header, std::string& shownHeader,
                                                     std::string& line)
{
    if (!file.Seek(position))
        return HeaderEnd::ArticleEnd;
    for (;;) {
        if (!ReadLine(file, line) || IsEndLine(line))
            return HeaderEnd::ArticleEnd;
        // A part with no header and no body: the next delimiter comes at once.
        if (delimiters.Is(line))
            return HeaderEnd::Delimiter;
        for (std::size_t i = 0; i + 2 < line.size(); ++i)
            if (static_cast<unsigned char>(line[i]) < 0x20)
                line[i] = ' ';
        header += line;
        // A part header is shown decoded; the article's own header as received.
        shownHeader += isPart ? DecodedLine(line, charset) : line;
        if (line.size() < 3)
            return HeaderEnd::Body;
        ++info.headerLineCount;
    }
}

bool BodyRenderer::StartPartBody(const std::shared_ptr<CacheFile>& file, const std::string& header, bool isPart,
                                 MimePartInfo& info)
{
    std::string inner;
    info.container = isPart && nests_.size() < kMaxDepth && IsMultipart(header, inner) && !inner.empty() &&
                     inner != "-";
    if (info.container)
        RenderParts(file, inner, IsAlternative(header), false);
    const bool show = !isPart || ShowsInline(info);
    if (info.container)
        return false;
    if (isPart)
        info.shownInline = show;
    if (!show) {
        AddPartMarker(info);
        AddText("\r\n");
    }
    return show;
}

void BodyRenderer::RenderPartBody(const std::shared_ptr<CacheFile>& file, const Delimiters& delimiters, bool show,
                                  MimePartInfo& info)
{
    PartText text(*this, info);
    std::string raw, line;
    bool leading = true;
    for (;;) {
        const std::int64_t linePosition = file->Tell();
        if (!file->ReadRawLine(raw, limits.lineBytes))
            break;
        // A part that is not shown, or no longer fits the display, is only scanned for its end.
        if (!leading && raw[0] != '-' && raw[0] != '.' && (!show || text.Skippable(raw))) {
            if (show)
                sink_.Hide(raw.size());
            continue;
        }
        NormaliseLine(raw, line);
        if (file->LastLineCut() > 0)
            MarkCut(line, file->LastLineCut());
        if (IsEndLine(line))
            break;
        // A part cut short by its enclosing multipart's delimiter ends there.
        if (!delimiters.Is(line) && IsEnclosingDelimiter(line)) {
            text.Finish();
            file->Seek(linePosition);
            info.isLast = true;
            return;
        }
        if (delimiters.Is(line)) {
            text.Finish();
            info.isLast = line != delimiters.open;
            AddBoundaryLine(line);
            return;
        }
        if (leading && line == "\r\n")
            continue;
        leading = false;
        if (show)
            text.Line(line, linePosition);
    }
    text.Finish();
}

void BodyRenderer::FinishBinHexBlock(const std::string& collected, MimePartInfo& info)
{
    // The block is the last one added.
    if (info.embedded.empty())
        return;
    std::filesystem::path data = platform::MakeTempFileName("hex", 0);
    std::filesystem::path intermediate = platform::MakeTempFileName("hex", 0);
    std::optional<std::string> name;
    if (!data.empty() && !intermediate.empty() && WriteFile(data, collected))
        name = codec::BinHexReadHeader(data, intermediate);
    RemoveQuietly(data);
    RemoveQuietly(intermediate);
    if (!name) {
        info.embedded.pop_back();
        AddText(collected);
        return;
    }
    if (!name->empty())
        info.embedded.back().name = *name;
}

bool BodyRenderer::DetectUuencode(std::string_view line, std::int64_t position, MimePartInfo& info)
{
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (words.size() < 3) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        std::size_t b = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '\n')
            ++i;
        if (i == b)
            break;
        words.push_back(line.substr(b, i - b));
    }
    if (words.size() < 3 || !(words[1][0] >= '0' && words[1][0] <= '9'))
        return false;
    info.embedded.push_back({std::string(words[2]), position, EmbeddedBlock::Kind::Uuencode});
    AddMarker("(UUENCODE CONTENT)");
    return true;
}

namespace {

// "812 bytes", "16.0 KB", "1.2 MB", "3.4 GB".
std::string ByteSize(std::uint64_t n)
{
    if (n < 1024)
        return std::to_string(n) + " bytes";
    static const char* const units[] = {"KB", "MB", "GB", "TB"};
    double v = static_cast<double>(n) / 1024;
    int u = 0;
    while (v >= 1024 && u < 3) {
        v /= 1024;
        ++u;
    }
    char b[32];
    std::snprintf(b, sizeof b, "%.1f %s", v, units[u]);
    return b;
}

} // namespace

void BodyRenderer::DetectYenc(std::string_view line, std::int64_t position, MimePartInfo& info)
{
    YencDecoder decoder;
    std::string none;
    decoder.Put(line, none);
    decoder.Put("\r\n", none);
    const YencHeader& h = decoder.Header();
    std::string marker = "(yEnc: " + SafeFileName(h.name) + ", " + ByteSize(h.size);
    if (h.part)
        marker += ", " + std::to_string(h.part) + "/" + (h.total ? std::to_string(h.total) : std::string("?"));
    AddMarker(marker + ")");
    info.embedded.push_back({h.name, position, EmbeddedBlock::Kind::Yenc});
}

bool BodyRenderer::IsInlinePart(const MimePartInfo& info) const
{
    if (info.contentType.empty())
        return true;
    std::string type, subtype;
    std::vector<std::string> names, values;
    ParseContentType(info.contentType, type, subtype, names, values);
    type = MimeToken(type);
    subtype = MimeToken(subtype);
    if (type == "text")
        return true;
    if (type == "message" || subtype == "rfc822" || IsUuencodeName(MimeToken(info.transferEncoding)))
        return false;
    return type == "application" && subtype == "x-www-form-urlencoded";
}

void BodyRenderer::AddPartMarker(const MimePartInfo& info)
{
    std::string type, subtype;
    std::vector<std::string> names, values;
    ParseContentType(info.contentType, type, subtype, names, values);
    if (EqualsNoCase(type, "message") && EqualsNoCase(subtype, "rfc822"))
        AddMarker("(Attached message)");
    else
        AddMarker("(MIME CONTENT)");
}

std::string BodyRenderer::AttachmentName(const MimePartInfo& info)
{
    std::string name = GetNameParameter(info.contentType, "name");
    if (name.empty())
        name = AfterLast(info.description, '\\');
    if (name.empty())
        name = GetNameParameter(info.disposition, "filename");
    return name;
}

void BodyRenderer::RegisterAttachments(const MimePartInfo& info, std::string_view boundary,
                                       const std::shared_ptr<CacheFile>& file)
{
    std::vector<std::string> enclosing;
    for (const Nest& nest : nests_)
        if (nest.boundary != boundary)
            enclosing.push_back(nest.boundary);
    if (!info.container) {
        auto part = std::make_unique<CMimeAttachment>(AttachmentName(info), info.startPosition, file,
                                                      std::string(boundary), info.contentType, info.transferEncoding);
        part->SetInline(info.shownInline.value_or(IsInlinePart(info)));
        part->SetEnclosing(enclosing);
        attachments_.push_back(std::move(part));
    }
    for (const EmbeddedBlock& embedded : info.embedded) {
        const std::string& full = embedded.name;
        std::string name = HasSeparator(full, '\\') ? AfterLast(full, '\\')
                           : HasSeparator(full, '/') ? AfterLast(full, '/')
                                                     : AfterLast(full, ':');
        std::unique_ptr<CAttachment> block;
        if (embedded.kind == EmbeddedBlock::Kind::Uuencode)
            block = std::make_unique<CUuencodeAttachment>(name, embedded.position, file, std::string(boundary));
        else if (embedded.kind == EmbeddedBlock::Kind::Yenc)
            block = std::make_unique<CYencAttachment>(name, embedded.position, file, std::string(boundary));
        else
            block = std::make_unique<CBinHexAttachment>(name, embedded.position, file, std::string(boundary));
        block->SetInline(false);
        block->SetEnclosing(enclosing);
        attachments_.push_back(std::move(block));
    }
}

void BodyRenderer::ShowHeader(std::string_view header, bool showAll)
{
    bool fieldShown = false;
    std::size_t pos = 0;
    while (pos < header.size()) {
        std::size_t cr = header.find('\r', pos);
        std::size_t end = cr == std::string_view::npos ? header.size() : cr;
        const std::size_t lineStart = pos;
        std::string_view line = header.substr(pos, end - pos);
        pos = end;
        if (pos < header.size())
            ++pos;
        if (pos < header.size() && header[pos] == '\n')
            ++pos;

        if (!line.empty() && (line[0] == ' ' || line[0] == '\t')) {
            if (fieldShown) {
                Flush();
                std::string text = showAll ? std::string(line) + "\r\n" : DecodedLine(line, charset);
                lineCount_ += CountLines(text);
                AppendWithUrls(sink_, text, TextRole::HeaderValue, headerValueColour, linkColour);
            }
            continue;
        }
        if (!showAll && std::any_of(hiddenFields.begin(), hiddenFields.end(),
                                    [&](const std::string& f) { return StartsWithNoCase(line, f); })) {
            fieldShown = false;
            continue;
        }
        const std::size_t colon = line.find(':');
        // A field of encoded words is decoded whole: a word (or a character)
        // may be split across its folded lines.
        std::string value;
        const bool whole = !showAll && colon != std::string_view::npos &&
                           (StartsWithNoCase(line, "subject:") || StartsWithNoCase(line, "from:") ||
                            (ScanHeaderField(header, line.substr(0, colon + 1), lineStart, false, value) &&
                             value.find("=?") != std::string::npos));
        if (whole) {
            ScanDecoded(header, line.substr(0, colon + 1), lineStart, charset, value);
            Emit(line.substr(0, colon + 1), TextRole::HeaderName, headerNameColour, false);
            std::string text = " " + platform::OneLineValue(value) + "\r\n";
            lineCount_ += CountLines(text);
            AppendWithUrls(sink_, text, TextRole::HeaderValue, headerValueColour, linkColour);
            fieldShown = false;
            continue;
        }
        fieldShown = true;
        if (colon == std::string_view::npos) {
            Emit(std::string(line) + "\r\n", TextRole::HeaderValue, headerValueColour, false);
            continue;
        }
        Emit(line.substr(0, colon + 1), TextRole::HeaderName, headerNameColour, false);
        std::string text =
            showAll ? std::string(line.substr(colon + 1)) + "\r\n" : DecodedLine(line.substr(colon + 1), charset);
        lineCount_ += CountLines(text);
        AppendWithUrls(sink_, text, TextRole::HeaderValue, headerValueColour, linkColour);
    }
}

} // namespace message
