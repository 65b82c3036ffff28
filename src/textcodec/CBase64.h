#pragma once
// Base64 in whole-buffer form, with the UTF-7 and IMAP4 variants. Every
// operation needs a fresh size query first; calling it without one shows
// "CBase64::<operation>() -> notYetAllocBuffer" through the notice handler
// it was given and returns 2. The work is done by the one Base64 engine
// (Base64Codec.h).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "textcodec/CodecNotice.h"

namespace textcodec {

class CBase64 {
public:
    explicit CBase64(CodecNoticeHandler notice = {});

    // Size queries: the output size to provide; each arms its operation once.
    size_t EncodeSize(size_t length);   // 0 (and not armed) for lengths >= 0xBFFFFFFF
    size_t DecodeSize(size_t length);
    size_t ToUTF7Size(size_t length);
    size_t FromUTF7Size(size_t length);
    size_t UTF7ToIMAP4Size(size_t length);
    size_t IMAP4ToUTF7Size(size_t length);

    // 0 ok, 1 error (see each), 2 not armed by its size query.
    int Encode(size_t length, size_t& outLength, const char* input, char* output);
    // 1: length not a multiple of 4 or a character outside the alphabet.
    int Decode(size_t length, size_t& outLength, const char* input, char* output);
    // 1: length not a multiple of 4.
    int Base64ToBase64InUTF7(size_t length, size_t& outLength, const char* input, char* output);
    // 1: length leaves 1 (mod 4).
    int Base64InUTF7ToBase64(size_t length, size_t& outLength, const char* input, char* output);
    int Base64InUTF7ToBase64InIMAP4(size_t length, size_t& outLength, const char* input, char* output);
    int Base64InIMAP4ToBase64InUTF7(size_t length, size_t& outLength, const char* input, char* output);

    // Size query, buffer and operation in one; output gets the exact result.
    int EncodeString(std::string_view input, std::string& output);
    int DecodeString(std::string_view input, std::string& output);
    // "/" to "," and back.
    static std::string ToIMAP4String(std::string_view text);
    static std::string FromIMAP4String(std::string_view text);

    // Set once an invalid character was read; stays set for the object.
    bool ErrorFlag() const { return error_; }

private:
    enum Op { OpEncode, OpDecode, OpToUTF7, OpFromUTF7, OpToIMAP4, OpFromIMAP4, OpCount };
    bool Take(Op op, const char* name);
    // The start of an operation on whole groups: its result, or -1 to go on.
    int StartGroups(Op op, const char* name, size_t length, size_t& outLength);
    using SizeQuery = size_t (CBase64::*)(size_t);
    using Operation = int (CBase64::*)(size_t, size_t&, const char*, char*);
    int RunString(SizeQuery size, Operation op, std::string_view input, std::string& output);
    // The IMAP4 operations: a copy with one character replaced by another.
    int ReplaceCopy(Op op, const char* name, char from, char to, size_t length, size_t& outLength,
                    const char* input, char* output);

    CodecNoticeHandler notice_;
    bool error_ = false;
    bool prepared_[OpCount] = {};
};

} // namespace textcodec
