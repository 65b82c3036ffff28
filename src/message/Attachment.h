#pragma once
// Attachment objects: every MIME part of a shown article and every uuencode or
// BinHex block found in its text. They hold no data; they read their part
// again from the cache file when saved, opened or shown as source.

#include "message/CacheFile.h"
#include "message/OutputBudget.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace message {

// Raised by SaveTo: a file could not be written, or the content not decoded.
class AttachmentError : public std::runtime_error {
public:
    // Damaged: the data failed its check and was saved under DamagedFileName's name.
    enum class Kind { File, Decode, Limit, Damaged };
    AttachmentError(Kind kind, const std::string& what, const std::string& where = {})
        : std::runtime_error(what + where), kind_(kind), detail_(what)
    {
    }
    Kind ErrorKind() const { return kind_; }
    // The message without where the file went.
    const std::string& Detail() const { return detail_; }

private:
    Kind kind_;
    std::string detail_;
};

// Opening or printing a file with the desktop's associations.
class Desktop {
public:
    virtual ~Desktop() = default;
    // False when nothing could open (or print) the file.
    virtual bool OpenFile(const std::filesystem::path& file, bool print,
                          const std::filesystem::path& workingDirectory) = 0;
};

// A name from an article made safe as a file name: the part after the last
// '/', '\' or ':', without control characters; "attachment" when nothing
// usable is left.
std::string SafeFileName(std::string_view name);
// The same name as a native (UTF-8) file name; bytes that are not Shift_JIS
// text become "_".
std::filesystem::path SafeFilePath(std::string_view name);

class CAttachment {
public:
    CAttachment(std::string name, std::int64_t position, std::shared_ptr<CacheFile> file,
                std::string boundary);
    virtual ~CAttachment() = default;

    // Saves into the private temporary folder under the safe name and asks the
    // desktop to open or print it; the file's path, or empty on failure.
    virtual std::filesystem::path Open(bool print, Desktop& desktop);
    // Writes the decoded content to path; throws AttachmentError.
    virtual void SaveTo(const std::filesystem::path& path) = 0;
    // Saves as dir/name when Lumetra chose the name: whatever sits there (a
    // link included) is replaced, never followed. Throws AttachmentError.
    void SaveInto(const std::filesystem::path& dir, const std::filesystem::path& name);
    virtual std::string GetContentType() const { return {}; }
    // The raw text as received; false when the cache file is no longer readable.
    virtual bool GetSource(std::string& out) = 0;
    virtual bool IsMessage() const { return false; }

    const std::string& Name() const { return name_; }
    std::string SafeName() const { return SafeFileName(name_); }
    std::filesystem::path SafePath() const { return SafeFilePath(name_); }
    std::int64_t Position() const { return position_; }
    const std::string& Boundary() const { return boundary_; }
    bool IsInline() const { return inline_; }
    void SetInline(bool on) { inline_ = on; }
    // The boundaries of the multiparts around this one: a delimiter of any of
    // them ends it too, as it ends the part on the screen.
    void SetEnclosing(std::vector<std::string> boundaries) { enclosing_ = std::move(boundaries); }
    const std::vector<std::string>& Enclosing() const { return enclosing_; }
    // Shared by every save of one article; without one each save may write
    // what OutputBudget::ForArticle allows. A save past it fails (Kind::Limit).
    void SetOutputBudget(OutputBudget* budget) { budget_ = budget; }
    OutputBudget* SharedBudget() const { return budget_; }

protected:
    // Positions the cache file at this object's start; throws when it is closed.
    CacheFile& Begin();
    // Counts bytes about to be written; throws once the budget is spent.
    void Spend(std::size_t bytes);
    OutputBudget& Budget() { return budget_ ? *budget_ : ownBudget_; }
    // A line that ends the part: a delimiter of the boundary, or the article's end.
    bool IsPartEnd(std::string_view normalisedLine) const;
    bool IsDelimiter(std::string_view normalisedLine) const;
    bool RawIsPartEnd(std::string_view rawLine) const;
    // Copies lines from the start into a new temporary file, for the file decoders.
    std::filesystem::path CopyBlockToTemp();

    std::string name_;
    std::int64_t position_;
    std::shared_ptr<CacheFile> file_;
    std::string boundary_;
    bool inline_ = true;
    std::vector<std::string> enclosing_;
    OutputBudget* budget_ = nullptr;
    OutputBudget ownBudget_{0};
};

class CMimeAttachment : public CAttachment {
public:
    CMimeAttachment(std::string name, std::int64_t position, std::shared_ptr<CacheFile> file,
                    std::string boundary, std::string contentType, std::string transferEncoding);
    void SaveTo(const std::filesystem::path& path) override;
    std::string GetContentType() const override;
    bool GetSource(std::string& out) override;
    bool IsMessage() const override;

    const std::string& ContentType() const { return contentType_; }
    const std::string& TransferEncoding() const { return transferEncoding_; }

private:
    // Reads past the part header; false when the part ended inside it.
    bool SkipHeader(CacheFile& f);
    void SaveCopy(const std::filesystem::path& path, bool lineEndAfterLast = true);
    void SaveBase64(const std::filesystem::path& path);
    void SaveQuotedPrintable(const std::filesystem::path& path);
    // This part read as another kind of attachment, with its surroundings.
    template <class Kind>
    Kind As() const
    {
        Kind other(name_, position_, file_, boundary_);
        other.SetEnclosing(enclosing_);
        other.SetOutputBudget(budget_);
        return other;
    }

    std::string contentType_;
    std::string transferEncoding_;
};

class CUuencodeAttachment : public CAttachment {
public:
    using CAttachment::CAttachment;
    void SaveTo(const std::filesystem::path& path) override;
    bool GetSource(std::string& out) override;
};

// A yEnc block ("=ybegin" to "=yend"). Data that fails its CRC or size is
// still saved, beside the asked-for path under DamagedFileName's name, and
// the save then throws (Kind::Decode) saying so.
class CYencAttachment : public CAttachment {
public:
    using CAttachment::CAttachment;
    void SaveTo(const std::filesystem::path& path) override;
    bool GetSource(std::string& out) override;
};

class CBinHexAttachment : public CAttachment {
public:
    using CAttachment::CAttachment;
    void SaveTo(const std::filesystem::path& path) override;
    bool GetSource(std::string& out) override;
};

} // namespace message
