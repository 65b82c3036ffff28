#pragma once
// Header fields of articles and mails: lookup with unfolding and optional
// decoding, addresses, dates, the MIME tests, and composing outgoing lines.
// Header text is Shift_JIS bytes with CR LF line ends; it ends at the first
// empty line or at the end of the string.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "textcodec/JapaneseCodes.h"

namespace message {

// Scans for name (":" appended when missing) from the line starting at start.
// On success value holds the unfolded value (decoded to Shift_JIS when decode
// is set) and the result is where the next scan may continue.
std::optional<std::size_t> ScanHeaderField(std::string_view header, std::string_view name,
                                           std::size_t start, bool decode, std::string& value);

std::string GetHeaderField(std::string_view header, std::string_view name, bool decode);
// Where the first line of each named field starts (npos when there is none),
// found in one pass: reading many fields of one header costs one scan
// instead of one each. names are given with their colon ("Subject:");
// ScanHeaderField from such a start reads what GetHeaderField would.
void LocateHeaderFields(std::string_view header, const std::string_view* names, std::size_t count,
                        std::size_t* starts);
// Every occurrence, decoded, in header order; true when at least one was found.
bool GetHeaderFieldAll(std::string_view header, std::string_view name, std::vector<std::string>& values);

// Reduces a From-style value to the bare address, in place.
void ExtractAddress(std::string& text);
void SplitAddressList(std::string_view text, std::vector<std::string>& list);

// Seconds since 1970-01-01 00:00 UTC; 0 when the text cannot be read or the
// date lies before 1970.
std::int64_t ParseDate(std::string_view text);
// "+hhmm", "-hhmm" or "GMT" for the machine's current offset from UTC.
std::string LocalZoneText();

std::string MakeReplySubject(std::string_view header);
int GetMimeVersion(std::string_view header);
bool IsMultipart(std::string_view header, std::string& boundary);

bool ParseContentType(std::string_view value, std::string& type, std::string& subtype,
                      std::vector<std::string>& names, std::vector<std::string>& values);
bool ParseParameter(std::string_view text, std::string& name, std::string& value);
// The value of parameter name (compared ignoring case) of a Content-Type style
// value; empty when absent.
std::string GetParameter(std::string_view value, std::string_view name);

// One header line ending in CR LF: the value converted to code (Shift_JIS
// stays unchanged), or with encoded words (textcodec::EncodeHeaderValue) when
// encode is set; folded at blanks (textcodec::FoldHeaderLine). Empty when the
// line cannot be folded under 998 octets.
std::string ComposeHeaderLine(std::string_view name, std::string_view value, textcodec::KanjiCode code, bool encode);
std::string MakeBoundary(bool withTag);

// A file name parameter in Shift_JIS: the RFC 2231 forms (name*=charset''...,
// name*0*=, name*1=, ...) decoded from their charset, else the plain value.
std::string GetNameParameter(std::string_view value, std::string_view name);
// The transfer encodings uuencoded data goes by (a MimeToken).
bool IsUuencodeName(std::string_view token);
// A MIME token value as compared: comments and surrounding blanks dropped,
// lower case ("Base64 (ok)" gives "base64").
std::string MimeToken(std::string_view value);
// The charset a Content-Type value declares, aliases resolved; empty when it
// declares none, or one that iconv does not know.
std::string DeclaredCharset(std::string_view contentType);
// True for a charset whose text the per-line rule reads as well as the
// charset would (ISO-2022-JP, US-ASCII, none).
bool IsLegacyCharset(std::string_view canonical);

// ASCII-only helpers shared by the message code.
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

} // namespace message
