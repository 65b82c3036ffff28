#pragma once
// The pieces of an outgoing article that Post puts on the wire: header fields
// folded and encoded, the text part's labels and transfer encoding, the
// attachment's name in its several forms, Cancel-Lock.

#include <string>
#include <string_view>
#include <vector>

#include "textcodec/JapaneseCodes.h"

namespace net {

class CNntpPostMessageParam;
struct PostCodec;

// The Message-ID a 340 reply recommends ("340 send <id>"); empty when none.
std::string RecommendedMessageId(std::string_view reply);

// The header lines of the user's fields. False, with the field's name in
// badField, when one cannot be folded under 998 octets.
bool ComposeFieldLines(const CNntpPostMessageParam& param, const PostCodec& codec, std::string& lines,
                       std::string& badField);

// The body pieces converted to the posting code, line by line, each line
// ending in CR LF; a bare CR dropped and ^Z written out as "^Z". Not stuffed.
std::string ConvertBodyLines(const std::vector<std::string>& pieces, textcodec::KanjiCode code, const PostCodec& codec);

// The text part's header lines, and its body as it goes out: quoted-printable
// when a line would pass 998 octets, so a reader decodes exactly the text.
struct TextPart {
    std::string headerLines;
    std::string body; // CR LF lines, not stuffed
};
TextPart MakeTextPart(std::string converted, textcodec::KanjiCode code);

// The attachment's name: the file name read as UTF-8 (a Windows folder part
// dropped), control characters replaced.
std::string AttachmentNameUtf8(const CNntpPostMessageParam& param);
// The name for a uuencode "begin" line: printable ASCII only.
std::string BeginLineName(std::string_view utf8Name);
// The attachment part's Content-Type and Content-Disposition lines:
// name= and filename= in RFC 2231 form (UTF-8, percent-encoded, continued
// when long) and an RFC 2047 name for older readers.
std::string AttachmentTypeLines(std::string_view type, std::string_view utf8Name, textcodec::KanjiCode code);

// RFC 8315 with SHA-256: the Cancel-Lock of an article with this Message-ID,
// and the Cancel-Key that opens it.
std::string CancelLock(std::string_view secret, std::string_view messageId);
std::string CancelKey(std::string_view secret, std::string_view messageId);

// A fresh Message-ID on the domain of address (or "lumetra.invalid").
std::string MakeMessageId(std::string_view address);

} // namespace net
