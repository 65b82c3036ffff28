#pragma once
// The one Base64 engine (RFC 2045 alphabet) as stream codecs. Every Base64
// face (lines, files, CBase64) runs on it.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "textcodec/StreamCodec.h"

namespace textcodec {

class Base64Encoder : public StreamCodec {
public:
    // lineBytes bytes of data per line of text, each line ending in LF; 0
    // gives one run without line breaks.
    explicit Base64Encoder(size_t lineBytes = 54) : lineBytes_(lineBytes) {}
    void Put(std::string_view in, std::string& out) override;
    void Finish(std::string& out) override;

private:
    void EncodeWhole(const unsigned char* p, size_t n, std::string& out);
    size_t lineBytes_;
    std::string carry_; // less than one line (or one group of three)
};

class Base64Decoder : public StreamCodec {
public:
    enum class Input {
        // One run: decoding stops at a NUL and any other byte outside the
        // alphabet counts as value 0.
        Run,
        // Text of lines: CR, LF, blanks and tabs are skipped; any other byte
        // outside the alphabet and "=" is a problem and ends the decoding.
        Text,
    };
    explicit Base64Decoder(Input input = Input::Run) : input_(input) {}
    // Groups of 4 give 3 bytes. Only the last group's pads count: a final
    // group of 4 gives 3 less each "=" in its third and fourth place, a final
    // 2 or 3 characters give 1 or 2 bytes.
    void Put(std::string_view in, std::string& out) override;
    void Finish(std::string& out) override;

private:
    // Decodes all but the last group of chars, which stays held.
    void DecodeHolding(std::string_view chars, std::string& out);
    Input input_;
    bool stopped_ = false;
    std::string held_; // up to 4 characters
    std::vector<unsigned char> filtered_;
};

namespace detail {

// Whole groups of three bytes (n a multiple of 3) as characters; returns the
// end of o.
char* Base64EncodeGroups(const unsigned char* p, size_t n, char* o);
// The last 1 or 2 bytes as one padded group; returns the end of o.
char* Base64EncodeTail(const unsigned char* p, size_t n, char* o);
// Whole groups of four characters (n a multiple of 4), bytes outside the
// alphabet and pads counting as zero; returns the end of o.
char* Base64DecodeGroups(const unsigned char* p, size_t n, char* o);

} // namespace detail

} // namespace textcodec
