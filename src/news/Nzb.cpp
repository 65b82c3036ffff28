#include "news/Nzb.h"

#include <expat.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <unistd.h>
#include <system_error>

#include "message/Attachment.h"
#include "net/Nntp.h"
#include "net/NntpReply.h"
#include "news/FetchAhead.h"
#include "textcodec/StreamPump.h"
#include "textcodec/Yenc.h"

namespace news {

namespace {

struct Reader {
    const NzbLimits& limits;
    XML_Parser parser;
    NzbDocument doc;
    std::size_t segments = 0, entries = 0; // entries: files and groups, which cost memory too
    std::string text;
    bool inFile = false, inGroup = false, inSegment = false, inNzb = false;
    NzbSegment segment;

    void Stop(std::string why)
    {
        if (doc.error.empty())
            doc.error = std::move(why);
        XML_StopParser(parser, XML_FALSE);
    }
};

const char* Attribute(const XML_Char** attrs, std::string_view name)
{
    for (int i = 0; attrs[i]; i += 2)
        if (name == attrs[i])
            return attrs[i + 1];
    return nullptr;
}

bool ParseNumber(const char* s, std::uint64_t& n)
{
    if (!s || !*s)
        return false;
    std::uint64_t r = 0;
    for (; *s; ++s) {
        if (*s < '0' || *s > '9' || r > (UINT64_MAX - 9) / 10)
            return false;
        r = r * 10 + static_cast<unsigned>(*s - '0');
    }
    n = r;
    return true;
}

// The id as a command word: brackets added, and nothing that could end or
// extend the command.
bool MessageIdWord(std::string_view id, std::string& word)
{
    while (!id.empty() && (id.front() == ' ' || id.front() == '\t' || id.front() == '\r' || id.front() == '\n'))
        id.remove_prefix(1);
    while (!id.empty() && (id.back() == ' ' || id.back() == '\t' || id.back() == '\r' || id.back() == '\n'))
        id.remove_suffix(1);
    if (id.size() >= 2 && id.front() == '<' && id.back() == '>')
        id = id.substr(1, id.size() - 2);
    if (id.empty() || id.size() > 248)
        return false;
    for (unsigned char c : id)
        if (c <= 0x20 || c == 0x7F || c == '<' || c == '>')
            return false;
    word = "<" + std::string(id) + ">";
    return true;
}

void XMLCALL Start(void* data, const XML_Char* name, const XML_Char** attrs)
{
    auto& r = *static_cast<Reader*>(data);
    const std::string_view n = name;
    if (n == "nzb") {
        r.inNzb = true;
    } else if ((n == "file" && r.inNzb) || (n == "group" && r.inFile)) {
        if (++r.entries > r.limits.maxSegments)
            return r.Stop("more than " + std::to_string(r.limits.maxSegments) + " files or groups");
    }
    if (n == "file" && r.inNzb) {
        NzbFile f;
        if (const char* s = Attribute(attrs, "subject"))
            f.subject = std::string(s).substr(0, r.limits.maxText);
        if (const char* p = Attribute(attrs, "poster"))
            f.poster = std::string(p).substr(0, r.limits.maxText);
        r.doc.files.push_back(std::move(f));
        r.inFile = true;
    } else if (n == "group" && r.inFile) {
        r.inGroup = true;
        r.text.clear();
    } else if (n == "segment" && r.inFile) {
        if (++r.segments > r.limits.maxSegments)
            return r.Stop("more than " + std::to_string(r.limits.maxSegments) + " segments");
        r.segment = {};
        std::uint64_t number = 0;
        ParseNumber(Attribute(attrs, "bytes"), r.segment.bytes);
        if (!ParseNumber(Attribute(attrs, "number"), number) || number == 0 || number > 1000000)
            return r.Stop("a segment without a usable number (line " +
                          std::to_string(XML_GetCurrentLineNumber(r.parser)) + ")");
        r.segment.number = static_cast<unsigned>(number);
        r.inSegment = true;
        r.text.clear();
    }
}

void XMLCALL End(void* data, const XML_Char* name)
{
    auto& r = *static_cast<Reader*>(data);
    const std::string_view n = name;
    if (n == "group" && r.inGroup) {
        r.inGroup = false;
        r.doc.files.back().groups.push_back(r.text);
    } else if (n == "segment" && r.inSegment) {
        r.inSegment = false;
        if (!MessageIdWord(r.text, r.segment.messageId))
            return r.Stop("segment " + std::to_string(r.segment.number) + " has no usable Message-ID (line " +
                          std::to_string(XML_GetCurrentLineNumber(r.parser)) + ")");
        r.doc.files.back().segments.push_back(std::move(r.segment));
    } else if (n == "file") {
        r.inFile = false;
    } else if (n == "nzb") {
        r.inNzb = false;
    }
}

void XMLCALL Text(void* data, const XML_Char* s, int len)
{
    auto& r = *static_cast<Reader*>(data);
    if (!r.inGroup && !r.inSegment)
        return;
    if (r.text.size() + static_cast<std::size_t>(len) > r.limits.maxText)
        return r.Stop("a group or Message-ID longer than " + std::to_string(r.limits.maxText) + " bytes");
    r.text.append(s, static_cast<std::size_t>(len));
}

void XMLCALL EntityDecl(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*, const XML_Char*,
                        const XML_Char*, const XML_Char*)
{
    static_cast<Reader*>(data)->Stop("the file declares entities");
}

} // namespace

NzbDocument ReadNzb(std::string_view xml, const NzbLimits& limits)
{
    if (xml.size() > limits.maxBytes)
        return {{}, "larger than " + std::to_string(limits.maxBytes) + " bytes"};
    XML_Parser parser = XML_ParserCreate(nullptr);
    if (!parser)
        return {{}, "out of memory"};
    Reader r{limits, parser, {}, 0, 0, {}, false, false, false, false, {}};
    XML_SetUserData(parser, &r);
    XML_SetElementHandler(parser, Start, End);
    XML_SetCharacterDataHandler(parser, Text);
    // No entity is ever expanded, and nothing outside the file is read.
    XML_SetEntityDeclHandler(parser, EntityDecl);
    XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
    bool ok = true;
    for (std::size_t at = 0; ok && at <= xml.size(); at += 1 << 20) {
        const std::string_view piece = xml.substr(at, 1 << 20);
        const bool last = at + piece.size() >= xml.size();
        ok = XML_Parse(parser, piece.data(), static_cast<int>(piece.size()), last) == XML_STATUS_OK;
        if (last)
            break;
    }
    if (!ok && r.doc.error.empty())
        r.doc.error = std::string(XML_ErrorString(XML_GetErrorCode(parser))) + " (line " +
                      std::to_string(XML_GetCurrentLineNumber(parser)) + ")";
    XML_ParserFree(parser);
    if (!r.doc.error.empty()) {
        r.doc.files.clear();
        return r.doc;
    }
    for (NzbFile& f : r.doc.files) {
        std::stable_sort(f.segments.begin(), f.segments.end(),
                         [](const NzbSegment& a, const NzbSegment& b) { return a.number < b.number; });
        f.segments.erase(std::unique(f.segments.begin(), f.segments.end(),
                                     [](const NzbSegment& a, const NzbSegment& b) { return a.number == b.number; }),
                         f.segments.end());
    }
    std::erase_if(r.doc.files, [](const NzbFile& f) { return f.segments.empty(); });
    if (r.doc.files.empty())
        r.doc.error = "no file with segments";
    return r.doc;
}

NzbDocument ReadNzbFile(const std::filesystem::path& path, const NzbLimits& limits)
{
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec)
        return {{}, "cannot read " + path.string()};
    if (size > limits.maxBytes)
        return {{}, "larger than " + std::to_string(limits.maxBytes) + " bytes"};
    std::ifstream in(path, std::ios::binary);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!in.read(text.data(), static_cast<std::streamsize>(text.size())))
        return {{}, "cannot read " + path.string()};
    return ReadNzb(text, limits);
}

std::string NzbFileName(const NzbFile& file)
{
    const std::string& s = file.subject;
    const std::size_t open = s.find('"');
    const std::size_t close = open == std::string::npos ? open : s.find('"', open + 1);
    if (close != std::string::npos && close > open + 1)
        return s.substr(open + 1, close - open - 1);
    return s;
}

namespace {

// One file's segments through the connection, BODY sent ahead.
class FileFetch {
public:
    FileFetch(net::CNntp& nntp, const NzbFile& file, NzbProgress& progress,
              const std::function<bool(const NzbProgress&)>& report)
        : nntp_(nntp), file_(file), progress_(progress), report_(report)
    {
    }

    // False when cancelled or the connection failed (error set).
    bool Run(const std::filesystem::path& dir, NzbFileResult& result, std::string& error);

private:
    bool Take(std::size_t index, NzbFileResult& result);
    bool WriteSegment(const std::string& data, std::uint64_t begin);

    net::CNntp& nntp_;
    const NzbFile& file_;
    NzbProgress& progress_;
    const std::function<bool(const NzbProgress&)>& report_;
    std::unique_ptr<textcodec::AtomicOutput> out_;
    std::filesystem::path work_;
    std::uint64_t written_ = 0;
    std::uint64_t size_ = 0;
    std::string name_;
    // What the zeros for missing parts may fill up to: as many parts as the
    // file has, each as large as the largest that came. A size or offset
    // from the server beyond it is damage, not a reason to write zeros.
    std::uint64_t Bound() const { return largest_ * file_.segments.size(); }
    std::uint64_t largest_ = 0;
    // Kept from segment to segment: fresh buffers cost page faults and copies.
    std::string data_, line_;
    bool writeFailed_ = false;
};

// What a part that is not yEnc is, from one of its lines, for the report.
const char* OtherEncoding(std::string_view line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    auto startsNoCase = [&](std::string_view head) {
        return line.size() >= head.size() && std::equal(head.begin(), head.end(), line.begin(), [](char a, char b) {
                   return a == (b >= 'A' && b <= 'Z' ? char(b + 32) : b);
               });
    };
    if (startsNoCase("begin ") && line.size() > 10 && line[6] >= '0' && line[6] <= '7')
        return "uuencoded";
    // A full uuencode line: 45 bytes in 60 characters after the length 'M'.
    if (line.size() == 61 && line[0] == 'M' &&
        std::all_of(line.begin(), line.end(), [](char c) { return c >= ' ' && c <= '`'; }))
        return "uuencoded";
    if (startsNoCase("content-transfer-encoding:") && line.find("ase64") != std::string_view::npos)
        return "Base64";
    if (line.size() >= 40 && line.size() % 4 == 0 && std::all_of(line.begin(), line.end(), [](char c) {
            return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
                   c == '/' || c == '=';
        }))
        return "Base64";
    return nullptr;
}

// A file already in the folder is never replaced: the new one is numbered
// before its extension (an earlier download of the same file, or the user's own).
std::string FreeName(const std::filesystem::path& dir, const std::string& name)
{
    auto taken = [&](const std::string& n) {
        std::error_code ec;
        return std::filesystem::symlink_status(dir / n, ec).type() != std::filesystem::file_type::not_found;
    };
    const std::filesystem::path p(name);
    const std::string stem = p.stem().string(), ext = p.extension().string();
    std::string free = name;
    for (int n = 2; taken(free) && n < 100000; ++n)
        free = stem + "-" + std::to_string(n) + ext;
    return free;
}

bool FileFetch::WriteSegment(const std::string& data, std::uint64_t begin)
{
    // A missing segment before this one leaves zeros, so the rest keeps its place.
    if (begin > written_ + 1) {
        const std::string zeros(64 * 1024, '\0');
        for (std::uint64_t gap = begin - 1 - written_; gap > 0;) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(gap, zeros.size()));
            if (!out_->Write(std::string_view(zeros).substr(0, n)))
                return false;
            gap -= n;
            written_ += n;
        }
    }
    if (!out_->Write(data))
        return false;
    written_ += data.size();
    return true;
}

bool FileFetch::Take(std::size_t index, NzbFileResult& result)
{
    const NzbSegment& seg = file_.segments[index];
    textcodec::YencDecoder decoder;
    std::string& data = data_;
    std::string& line = line_;
    data.clear();
    const char* other = nullptr;
    int rc;
    while ((rc = nntp_.ReadDataLine(line)) == 1) {
        if (!other && !decoder.Started())
            other = OtherEncoding(line);
        decoder.Put(line, data);
    }
    if (rc < 0)
        return false;
    decoder.Finish(data);
    if (!decoder.Started()) {
        // Nothing of it is written: its place stays zeros and the file is named damaged.
        result.damaged.push_back(seg.number);
        if (result.problem.empty())
            result.problem = "segment " + std::to_string(seg.number) +
                             (other ? " is " + std::string(other) + ", which is not supported (only yEnc)"
                                    : " holds no yEnc");
        return true;
    }
    if (decoder.Status() != textcodec::YencStatus::Ok) {
        result.damaged.push_back(seg.number);
        if (result.problem.empty())
            result.problem = "segment " + std::to_string(seg.number) + ": " + decoder.Problem();
    }
    const textcodec::YencHeader& h = decoder.Header();
    if (name_.empty() && !h.name.empty()) {
        name_ = h.name;
        size_ = h.size;
    }
    const std::uint64_t begin = h.begin ? h.begin : written_ + 1;
    largest_ = std::max<std::uint64_t>(largest_, data.size());
    // A part that would go back over what is written is not this file's next;
    // one that would end past what all the parts could fill would only make zeros.
    const bool overlaps = begin <= written_, beyond = begin - 1 + data.size() > Bound();
    if (overlaps || beyond) {
        if (std::find(result.damaged.begin(), result.damaged.end(), seg.number) == result.damaged.end())
            result.damaged.push_back(seg.number);
        if (result.problem.empty())
            result.problem = "segment " + std::to_string(seg.number) +
                             (overlaps ? " overlaps the one before" : " lies past the end of the file");
        return true;
    }
    if (!WriteSegment(data, begin))
        writeFailed_ = true;
    return true;
}

bool FileFetch::Run(const std::filesystem::path& dir, NzbFileResult& result, std::string& error)
{
    work_ = dir / (".lumetra-nzb-" + std::to_string(::getpid()) + "-" + std::to_string(progress_.file));
    out_ = std::make_unique<textcodec::AtomicOutput>(work_);
    const AheadEnd end = FetchAhead(
        nntp_, file_.segments.size(), [&](std::size_t i) { return "BODY " + file_.segments[i].messageId; },
        [&](std::size_t index, bool answered) {
            if (answered && nntp_.ReplyCode() == net::reply::BodyFollows) {
                if (!Take(index, result))
                    return false;
            } else {
                result.missing.push_back(file_.segments[index].number);
            }
            progress_.segment = index + 1;
            progress_.doneBytes += file_.segments[index].bytes;
            return !report_ || report_(progress_);
        });
    if (end != AheadEnd::Done) {
        if (end == AheadEnd::Failed)
            error = "the connection was lost";
        return false;
    }
    if (size_ > written_ && size_ <= Bound() && (!result.missing.empty() || !result.damaged.empty()) &&
        written_ > 0) {
        // Zeros for missing or unreadable segments at the end too, so the size is right.
        if (!WriteSegment({}, size_ + 1))
            writeFailed_ = true;
    }
    std::string name = message::SafeFileName(name_.empty() ? NzbFileName(file_) : name_);
    name = message::SafeFilePath(name).string();
    const bool damaged = !result.missing.empty() || !result.damaged.empty() || (size_ && written_ != size_);
    if (damaged && result.problem.empty())
        result.problem = result.missing.empty() ? "the size is wrong"
                                                : std::to_string(result.missing.size()) + " segments missing";
    if (damaged)
        name = textcodec::DamagedFileName(name);
    if (written_ == 0 || writeFailed_) {
        result.name = name;
        if (writeFailed_)
            result.problem = "cannot write " + (dir / name).string();
        return true;
    }
    name = FreeName(dir, name);
    out_->KeepAs(dir / name);
    result.saved = out_->Keep();
    result.name = name;
    result.bytes = written_;
    if (!result.saved)
        result.problem = "cannot write " + (dir / name).string();
    return true;
}

} // namespace

NzbSummary DownloadNzb(net::CNntp& nntp, const std::vector<NzbFile>& files, const std::filesystem::path& dir,
                       const std::function<bool(const NzbProgress&)>& progress)
{
    NzbSummary summary;
    NzbProgress p;
    p.files = files.size();
    for (const NzbFile& f : files)
        for (const NzbSegment& s : f.segments)
            p.totalBytes += s.bytes;
    for (std::size_t i = 0; i < files.size(); ++i) {
        p.file = i;
        p.segment = 0;
        p.segments = files[i].segments.size();
        if (progress && !progress(p)) {
            summary.cancelled = true;
            break;
        }
        NzbFileResult result;
        FileFetch fetch(nntp, files[i], p, progress);
        const bool ok = fetch.Run(dir, result, summary.error);
        if (!ok) {
            summary.cancelled = summary.error.empty();
            break;
        }
        summary.files.push_back(std::move(result));
    }
    return summary;
}

} // namespace news
