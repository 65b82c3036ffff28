#pragma once
// Quoted-printable body lines.

#include <cstddef>
#include <string>
#include <string_view>

namespace textcodec {

// Decodes text up to its first CR or LF into out (replacing its contents):
// "=" and two hexadecimal digits (either case) give that byte; an "=" not
// followed by two digits is kept as it is. A text ending in "=" (a soft line
// break) gets nothing added; any other gets CR LF. Returns the byte count.
size_t DecodeQuotedPrintableLine(std::string_view text, std::string& out);

// Encodes text as quoted-printable lines of at most 76 characters ending in
// LF: LF or CR LF in data are the hard line breaks, "=" and bytes outside
// printable ASCII are escaped, as is a blank before a line break.
std::string EncodeQuotedPrintable(std::string_view data);

} // namespace textcodec
