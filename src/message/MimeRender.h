#pragma once
// Turning a cached article into what the body pane shows: header lines
// filtered and coloured, MIME parts resolved, Base64 and quoted-printable text
// decoded, markers for parts and embedded uuencode/BinHex blocks, and an
// attachment object for each of them.

#include "message/Attachment.h"
#include "message/BodySink.h"
#include "message/CacheFile.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace message {

// A uuencode, BinHex or yEnc block found inside a part's text.
struct EmbeddedBlock {
    enum class Kind { BinHex, Uuencode, Yenc };
    std::string name;
    std::int64_t position = 0; // of its first line in the cache file
    Kind kind = Kind::Uuencode;
};

struct MimePartInfo {
    std::vector<EmbeddedBlock> embedded;
    std::string contentType, description, disposition, transferEncoding;
    std::int64_t startPosition = 0;
    int headerLineCount = 0;
    bool isLast = true;
    bool container = false;        // a nested multipart: its parts are listed instead
    std::optional<bool> shownInline; // set when the part's place decided it
};

class BodyRenderer {
public:
    explicit BodyRenderer(BodySink& sink);

    // What is kept for display, so that a huge article costs a bounded
    // amount of memory; the file keeps all of it for saving and extracting.
    // A longer line is shown cut with a note of what was left out; past the
    // total the rest is not shown and a note at the end says so.
    struct DisplayLimits {
        std::size_t lineBytes = 64 * 1024;
        std::size_t totalBytes = 4 * 1024 * 1024;
    };
    DisplayLimits limits;
    virtual ~BodyRenderer() = default;

    // Colours (0x00BBGGRR), as the body pane sets them.
    Colour textColour = 0x000000;
    Colour boundaryColour = 0xFF0000;
    Colour attachmentColour = 0x0000FF;
    Colour headerNameColour = 0x808080;
    Colour headerValueColour = 0x808080;
    Colour linkColour = 0x808080;
    // Field names with their colon, hidden unless all header lines are shown.
    std::vector<std::string> hiddenFields;
    // The charset the reader chose to read this article in (empty: each
    // part's own): encoded words and Base64 and quoted-printable text are
    // read in it. The cache file is to be made in it too (RecodeCache).
    std::string charset;

    // Fills the sink from the article at position; true.
    bool RenderArticle(const std::shared_ptr<CacheFile>& file, std::int64_t position, bool showAll,
                       std::string_view outerBoundary = {});
    // False when the article ended inside the part header.
    bool RenderPart(const std::shared_ptr<CacheFile>& file, std::int64_t position, std::string_view boundary,
                    MimePartInfo& info, bool isPart, bool showFlag, int& lineIndex);
    void ShowHeader(std::string_view header, bool showAll);
    virtual bool IsInlinePart(const MimePartInfo& info) const;
    static std::string AttachmentName(const MimePartInfo& info);
    void RegisterAttachments(const MimePartInfo& info, std::string_view boundary,
                             const std::shared_ptr<CacheFile>& file);
    void ClearBody();
    bool IsEndLine(std::string_view line) const;

    void AddText(std::string_view text, bool flush = false);
    void AddColoured(std::string_view text, TextRole role, Colour colour, bool underline = false);
    void AddBoundaryLine(std::string_view line);
    void AddMarker(std::string_view text);

    // The article header, encoded words decoded, as the follow-up reads it.
    const std::string& HeaderText() const { return headerText_; }
    int HeaderLineCount() const { return headerLineCount_; }
    // Lines appended so far (line ends counted).
    int LineCount() const { return lineCount_; }
    const std::vector<std::unique_ptr<CAttachment>>& Attachments() const { return attachments_; }
    // Moves the attachment objects out (the body pane's list takes them).
    std::vector<std::unique_ptr<CAttachment>> TakeAttachments();

private:
    struct Nest {
        std::string boundary;
        bool alternative = false;
        bool hasPlain = false; // the alternative holds a text/plain part
        bool chosen = false;   // its text has been shown
    };
    // The parts of a multipart body from just after its header.
    void RenderParts(const std::shared_ptr<CacheFile>& file, const std::string& boundary, bool alternative,
                     bool showPreamble);
    bool HasPlainPart(CacheFile& file, const std::string& boundary);
    // The steps of RenderPart.
    struct Delimiters;
    class PartText;
    enum class HeaderEnd { ArticleEnd, Delimiter, Body };
    HeaderEnd ReadPartHeader(CacheFile& file, std::int64_t position, const Delimiters& delimiters, bool isPart,
                             MimePartInfo& info, std::string& header, std::string& shownHeader, std::string& line);
    // Renders a nested multipart's parts or marks a part not shown; true when the body is shown.
    bool StartPartBody(const std::shared_ptr<CacheFile>& file, const std::string& header, bool isPart,
                       MimePartInfo& info);
    void RenderPartBody(const std::shared_ptr<CacheFile>& file, const Delimiters& delimiters, bool show,
                        MimePartInfo& info);
    bool IsEnclosingDelimiter(std::string_view line) const;
    bool ShowsInline(const MimePartInfo& info);
    void Flush();
    void Emit(std::string_view text, TextRole role, Colour colour, bool underline);
    void FinishBinHexBlock(const std::string& collected, MimePartInfo& info);
    bool DetectUuencode(std::string_view line, std::int64_t position, MimePartInfo& info);
    void DetectYenc(std::string_view line, std::int64_t position, MimePartInfo& info);
    void AddPartMarker(const MimePartInfo& info);
    bool ReadLine(CacheFile& file, std::string& line);
    void MarkCut(std::string& line, std::size_t dropped) const;

    // Passes text on until the total is reached, then only counts it.
    class Bounded : public BodySink {
    public:
        Bounded(BodySink& to, const DisplayLimits& limits) : to_(to), limits_(limits) {}
        void Clear() override;
        void Append(std::string_view text, TextRole role, Colour colour, bool underline) override;
        void SetRedraw(bool on) override { to_.SetRedraw(on); }
        bool Full() const { return shown_ >= limits_.totalBytes; }
        void Hide(std::size_t bytes) { hidden_ += bytes; }
        std::size_t Hidden() const { return hidden_; }
        BodySink& Target() { return to_; }

    private:
        BodySink& to_;
        const DisplayLimits& limits_;
        std::size_t shown_ = 0;
        std::size_t hidden_ = 0;
    };
    Bounded sink_;
    std::string outerDelimiter_, outerClosing_;
    std::string headerText_;
    std::string pending_;
    int headerLineCount_ = 0;
    int lineCount_ = 0;
    std::vector<std::unique_ptr<CAttachment>> attachments_;
    std::vector<Nest> nests_;
};

} // namespace message
