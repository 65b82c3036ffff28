#include "news/PartJoin.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <optional>
#include <unistd.h>

#include "message/Attachment.h"
#include "net/Nntp.h"
#include "net/NntpReply.h"
#include "news/FetchAhead.h"
#include "textcodec/Base64Codec.h"
#include "textcodec/StreamPump.h"
#include "textcodec/Uuencode.h"
#include "textcodec/Yenc.h"

namespace news {

namespace {

enum class Encoding { Unknown, Yenc, Uu, Base64 };

bool StartsNoCase(std::string_view s, std::string_view prefix)
{
    if (s.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i])
            return false;
    return true;
}

// Calls f(line) for each line of text without its line end; f returns false to stop.
template <class F> void EachLine(std::string_view text, F f)
{
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!f(line))
            return;
    }
}

bool IsUuBegin(std::string_view line, std::string* name = nullptr)
{
    if (!line.starts_with("begin "))
        return false;
    std::size_t i = 6;
    const std::size_t mode = i;
    while (i < line.size() && line[i] >= '0' && line[i] <= '7')
        ++i;
    if (i == mode || i >= line.size() || line[i] != ' ')
        return false;
    if (name)
        *name = std::string(line.substr(i + 1));
    return true;
}

// A data line of uuencode: its length byte agrees with its length, and it
// holds none of the letters text is made of.
bool IsUuLine(std::string_view line)
{
    if (line.empty())
        return false;
    for (char c : line)
        if (c < 0x20 || c > 0x60)
            return false;
    const unsigned n = line[0] == '`' ? 0 : static_cast<unsigned>(line[0] - 0x20);
    if (n == 0)
        return line.size() == 1;
    const std::size_t chars = (n + 2) / 3 * 4;
    return line.size() - 1 + 2 >= chars && line.size() - 1 <= chars + 2;
}

bool IsBase64Line(std::string_view line)
{
    if (line.size() < 4 || line.size() % 4 != 0)
        return false;
    std::size_t pads = 0;
    for (char c : line) {
        const bool alpha = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
                           c == '/';
        if (c == '=')
            ++pads;
        else if (!alpha || pads)
            return false;
    }
    return pads <= 2;
}

std::string ParameterOf(std::string_view line, std::string_view key)
{
    std::string lower(line);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::size_t at = lower.find(key);
    if (at == std::string::npos)
        return {};
    std::string_view v = line.substr(at + key.size());
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t'))
        v.remove_prefix(1);
    if (!v.empty() && v.front() == '"') {
        v.remove_prefix(1);
        return std::string(v.substr(0, v.find('"')));
    }
    return std::string(v.substr(0, v.find_first_of("; \t")));
}

Encoding Detect(std::string_view text)
{
    Encoding found = Encoding::Unknown;
    EachLine(text, [&](std::string_view line) {
        if (line.starts_with("=ybegin "))
            found = Encoding::Yenc;
        else if (IsUuBegin(line))
            found = Encoding::Uu;
        else if (StartsNoCase(line, "content-transfer-encoding:") &&
                 ParameterOf(line, ":").find("base64") != std::string::npos)
            found = Encoding::Base64;
        return found == Encoding::Unknown;
    });
    return found;
}

class Joiner {
public:
    Joiner(const PartFile& file, const JoinTarget& target, JoinResult& result)
        : file_(file), target_(target), result_(result)
    {
        work_ = target.file.empty()
                    ? target.dir / (".lumetra-join-" + std::to_string(::getpid()))
                    : target.file;
        out_ = std::make_unique<textcodec::AtomicOutput>(work_);
    }

    // One article's reply: its text when it came.
    void Take(std::size_t index, const std::string* text);
    void Finish(const std::function<bool(const JoinResult&)>& keepPartial);

private:
    struct Decoded {
        std::string data;
        textcodec::YencHeader header;
        std::string problem;
    };
    Decoded DecodeYenc(const std::string& text) const;
    void Emit(unsigned part, const std::string& text);
    void EmitYenc(unsigned part, const Decoded& d);
    void EmitLines(const std::string& text);
    bool Write(std::string_view bytes);
    void Damaged(unsigned part, const std::string& why);

    const PartFile& file_;
    const JoinTarget& target_;
    JoinResult& result_;
    std::filesystem::path work_;
    std::unique_ptr<textcodec::AtomicOutput> out_;
    std::uint64_t partMax_ = 0;
    Encoding encoding_ = Encoding::Unknown;
    std::string name_;
    std::uint64_t size_ = 0; // the whole file's, when yEnc says
    std::uint64_t written_ = 0;
    bool writeFailed_ = false;
    // The part being gathered from its articles.
    unsigned part_ = 0;
    bool settled_ = false;
    std::optional<std::string> fallback_;
    // uuencode and Base64 run through one decoder over all parts.
    std::unique_ptr<textcodec::StreamCodec> stream_;
    bool inData_ = false;
    bool uuTerminated_ = false;
};

Joiner::Decoded Joiner::DecodeYenc(const std::string& text) const
{
    Decoded d;
    textcodec::YencDecoder decoder;
    decoder.Put(text, d.data);
    decoder.Finish(d.data);
    d.header = decoder.Header();
    if (!decoder.Started())
        d.problem = "holds no yEnc";
    else if (decoder.Status() != textcodec::YencStatus::Ok)
        d.problem = textcodec::YencProblemText(decoder);
    if (d.problem.empty() && decoder.Status() != textcodec::YencStatus::Ok)
        d.problem = "damaged";
    return d;
}

void Joiner::Damaged(unsigned part, const std::string& why)
{
    if (std::find(result_.damaged.begin(), result_.damaged.end(), part) == result_.damaged.end())
        result_.damaged.push_back(part);
    if (result_.problem.empty())
        result_.problem = "part " + std::to_string(part) + ": " + why;
}

bool Joiner::Write(std::string_view bytes)
{
    if (!out_->Write(bytes))
        writeFailed_ = true;
    written_ += bytes.size();
    return !writeFailed_;
}

void Joiner::Take(std::size_t index, const std::string* text)
{
    const PartArticle& a = file_.articles[index];
    if (a.part != part_) {
        part_ = a.part;
        settled_ = false;
        fallback_.reset();
    }
    const bool last = index + 1 == file_.articles.size() || file_.articles[index + 1].part != a.part;
    if (!settled_ && text) {
        if (encoding_ == Encoding::Unknown)
            encoding_ = Detect(*text);
        // A yEnc part proves itself by its CRC; another is taken as it came.
        bool good = encoding_ == Encoding::Uu || encoding_ == Encoding::Base64;
        if (encoding_ == Encoding::Yenc) {
            const Decoded d = DecodeYenc(*text);
            if ((good = d.problem.empty()))
                EmitYenc(a.part, d);
        } else if (good) {
            EmitLines(*text);
        }
        if (good) {
            settled_ = true;
        } else if (!fallback_) {
            fallback_ = *text;
        }
    }
    if (last && !settled_) {
        if (fallback_)
            Emit(a.part, *fallback_);
        else
            result_.missing.push_back(a.part);
        settled_ = true;
    }
}

void Joiner::Emit(unsigned part, const std::string& text)
{
    if (encoding_ == Encoding::Yenc)
        return EmitYenc(part, DecodeYenc(text));
    if (encoding_ == Encoding::Unknown)
        return Damaged(part, "holds no encoded data");
    EmitLines(text);
}

void Joiner::EmitYenc(unsigned part, const Decoded& d)
{
    if (!d.problem.empty())
        Damaged(part, d.problem);
    if (d.problem == "holds no yEnc")
        return;
    // The parts of one file are of one size but the last, so a file is no
    // larger than the largest part times their count: a part that says
    // otherwise must not make us write zeros without end.
    partMax_ = std::max<std::uint64_t>(partMax_, d.data.size());
    const std::uint64_t bound = partMax_ * file_.total;
    if (name_.empty() && !d.header.name.empty()) {
        name_ = d.header.name;
        size_ = d.header.size;
    }
    const std::uint64_t begin = d.header.begin ? d.header.begin : written_ + 1;
    if (begin <= written_ || begin - 1 + d.data.size() > bound)
        return Damaged(part, "does not fit where the part before ended");
    // A missing part before leaves zeros, so the rest keeps its place.
    static const std::string zeros(64 * 1024, '\0');
    while (written_ + 1 < begin && !writeFailed_)
        Write(std::string_view(zeros).substr(0, static_cast<std::size_t>(
                                                     std::min<std::uint64_t>(begin - 1 - written_, zeros.size()))));
    Write(d.data);
}

void Joiner::EmitLines(const std::string& text)
{
    if (!stream_) {
        if (encoding_ == Encoding::Uu)
            stream_ = std::make_unique<textcodec::UudecodeDecoder>();
        else
            stream_ = std::make_unique<textcodec::Base64Decoder>(textcodec::Base64Decoder::Input::Text);
    }
    std::string lines, out, named;
    bool header = true, base64Header = false, partData = false, startHere = false;
    auto nameFrom = [&](std::string_view line) {
        if (StartsNoCase(line, "content-type:") || StartsNoCase(line, "content-disposition:"))
            if (std::string n = ParameterOf(line, "name="); !n.empty())
                named = n;
    };
    auto enterData = [&] {
        inData_ = startHere = true;
        if (name_.empty())
            name_ = named;
    };
    EachLine(text, [&](std::string_view line) {
        const bool cte = StartsNoCase(line, "content-transfer-encoding:");
        if (header) {
            // The article's own header; a single-part Base64 article starts its data after it.
            if (line.empty()) {
                header = false;
                if (encoding_ == Encoding::Base64 && base64Header && !inData_)
                    enterData();
            } else if (cte) {
                base64Header = ParameterOf(line, ":").find("base64") != std::string::npos;
            } else {
                nameFrom(line);
            }
        } else if (encoding_ == Encoding::Uu) {
            std::string name;
            if (!inData_ && IsUuBegin(line, &name)) {
                inData_ = true;
                if (name_.empty())
                    name_ = name;
                lines.append(line).append("\n");
            } else if (inData_ && line == "end") {
                // The zero-length line before "end" is a blank a server may have cut.
                if (!uuTerminated_)
                    lines.append("`\n");
                lines.append(line).append("\n");
                uuTerminated_ = true;
            } else if (inData_ && IsUuLine(line)) {
                lines.append(line).append("\n");
                uuTerminated_ = line.size() == 1;
            }
        } else if (!inData_) {
            // Base64 starts after the header of the MIME part that declares it.
            if (cte)
                base64Header = ParameterOf(line, ":").find("base64") != std::string::npos;
            else if (base64Header && line.empty())
                enterData();
            else
                nameFrom(line);
        } else if (IsBase64Line(line) && (partData || startHere || line.size() >= 16)) {
            // Later parts: the run of Base64 lines, not the text around it.
            partData = true;
            lines.append(line).append("\n");
        } else if (partData) {
            return false;
        }
        return true;
    });
    stream_->Put(lines, out);
    Write(out);
}

void Joiner::Finish(const std::function<bool(const JoinResult&)>& keepPartial)
{
    if (stream_) {
        std::string out;
        stream_->Finish(out);
        Write(out);
        if (stream_->Failed() && result_.problem.empty())
            result_.problem = stream_->Problem();
    } else if (encoding_ == Encoding::Yenc && size_ > written_ && size_ <= partMax_ * file_.total && written_ > 0 &&
               !result_.missing.empty()) {
        // Zeros for missing parts at the end too, so the size is right.
        static const std::string zeros(64 * 1024, '\0');
        while (written_ < size_ && !writeFailed_)
            Write(std::string_view(zeros).substr(0, static_cast<std::size_t>(
                                                         std::min<std::uint64_t>(size_ - written_, zeros.size()))));
    }
    if (encoding_ == Encoding::Yenc && size_ && written_ != size_ && result_.problem.empty())
        result_.problem = "the size is wrong";
    std::sort(result_.missing.begin(), result_.missing.end());
    result_.missing.erase(std::unique(result_.missing.begin(), result_.missing.end()), result_.missing.end());
    if (!result_.missing.empty() && result_.problem.empty())
        result_.problem = std::to_string(result_.missing.size()) + " parts missing";
    if (written_ == 0 && result_.problem.empty())
        result_.problem = "no data";
    if (writeFailed_) {
        result_.problem = "cannot write " + work_.string();
        return;
    }
    std::filesystem::path path = target_.file;
    if (path.empty()) {
        std::string name = message::SafeFileName(name_.empty() ? file_.Name() : name_);
        path = target_.dir / message::SafeFilePath(name);
    }
    if (!result_.Complete()) {
        if (written_ == 0 || !keepPartial || !keepPartial(result_))
            return;
        path = path.parent_path() / textcodec::DamagedFileName(path.filename().string());
    }
    out_->KeepAs(path);
    if (!out_->Keep()) {
        result_.problem = "cannot write " + path.string();
        return;
    }
    result_.path = path;
    result_.bytes = written_;
}

// The command for one article: by Message-ID when it is one safe word.
std::string CommandFor(const PartArticle& a)
{
    const std::string& id = a.messageId;
    const bool word = id.size() > 2 && id.size() < 250 && id.front() == '<' && id.back() == '>' &&
                      std::all_of(id.begin(), id.end(), [](char c) {
                          return static_cast<unsigned char>(c) > ' ' && c != 0x7f;
                      });
    return "ARTICLE " + (word ? id : std::to_string(a.number));
}

} // namespace

JoinResult JoinParts(net::CNntp& nntp, const PartFile& file, const JoinTarget& target,
                     const std::function<bool(const JoinProgress&)>& progress,
                     const std::function<bool(const JoinResult&)>& keepPartial)
{
    JoinResult result;
    result.missing = file.Missing();
    Joiner joiner(file, target, result);
    JoinProgress p{0, file.articles.size()};
    std::string text, line;
    const AheadEnd end = FetchAhead(
        nntp, file.articles.size(), [&](std::size_t i) { return CommandFor(file.articles[i]); },
        [&](std::size_t i, bool answered) {
            const bool data = answered && nntp.ReplyCode() == net::reply::ArticleFollows;
            text.clear();
            bool tooLarge = false;
            int rc = data ? 1 : 0;
            while (data && (rc = nntp.ReadDataLine(line)) == 1) {
                if (text.size() + line.size() > kMaxPartBytes)
                    tooLarge = true;
                else
                    text += line;
            }
            if (rc < 0)
                return false;
            if (tooLarge)
                text.clear();
            joiner.Take(i, data && !tooLarge ? &text : nullptr);
            ++p.done;
            return !progress || progress(p);
        });
    if (end == AheadEnd::Failed) {
        result.error = "the connection was lost";
        return result;
    }
    if (end == AheadEnd::Cancelled) {
        result.cancelled = true;
        return result;
    }
    joiner.Finish(keepPartial);
    return result;
}

} // namespace news
