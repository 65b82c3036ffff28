#pragma once
// Quoted-printable body text: the line decoder every reader of such text
// uses, and the stream codecs over it.

#include <cstddef>
#include <string>
#include <string_view>

#include "textcodec/StreamCodec.h"

namespace textcodec {

// Decodes text up to its first CR or LF into out (replacing its contents):
// "=" and two hexadecimal digits (either case) give that byte; an "=" not
// followed by two digits is kept as it is. A text ending in "=" (a soft line
// break) gets nothing added; any other gets CR LF. With dropTrailingBlanks,
// blanks and tabs at the line's end (also before a soft break) are transport
// padding and go first. Returns the byte count.
size_t DecodeQuotedPrintableLine(std::string_view text, std::string& out, bool dropTrailingBlanks = false);

// Text of lines (LF or CR LF): lines ending in a soft break are joined to the
// next, and each joined line is decoded as DecodeQuotedPrintableLine does; a
// soft break at the very end adds nothing. The carry is the current line.
class QuotedPrintableDecoder : public StreamCodec {
public:
    explicit QuotedPrintableDecoder(bool dropTrailingBlanks = false) : dropBlanks_(dropTrailingBlanks) {}
    void Put(std::string_view in, std::string& out) override;
    void Finish(std::string& out) override;

private:
    void EndLine(std::string& out);
    bool dropBlanks_;
    std::string joined_; // soft-broken lines so far, their "=" removed
    std::string line_;   // the line still open
    std::string decoded_;
};

// Lines of at most 76 characters ending in LF: LF or CR LF in data are the
// hard line breaks, "=" and bytes outside printable ASCII are escaped, as is
// a blank before a line break.
class QuotedPrintableEncoder : public StreamCodec {
public:
    void Put(std::string_view in, std::string& out) override;
    void Finish(std::string& out) override;

private:
    // Encodes carry_ up to where the bytes after it are still to come.
    void Encode(std::string& out, bool atEnd);
    std::string carry_;
    size_t column_ = 0;
};

std::string EncodeQuotedPrintable(std::string_view data);

} // namespace textcodec
