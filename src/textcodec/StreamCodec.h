#pragma once
// The one shape of every transfer codec (Base64, quoted-printable, uuencode,
// BinHex, yEnc, DEFLATE, charset conversion): bytes in, bytes out, then an
// end. A codec keeps only a bounded carry between calls, so any length of
// input streams through in constant memory; the output of one Put may be
// empty and is never taken back.

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace textcodec {

class StreamCodec {
public:
    virtual ~StreamCodec() = default;

    // Converts in, appending what it gives to out. Input split anywhere
    // gives the same bytes as one Put of all of it.
    virtual void Put(std::string_view in, std::string& out) = 0;

    // Ends the input: appends what the carry still gives. Call once; Put
    // after Finish is a fault of the caller.
    virtual void Finish(std::string& out) = 0;

    // Empty while the input is well formed; once set, says what was wrong
    // (for the log or a message) and stays set. A codec that meets bad
    // input keeps going where it can, so the rest is not lost.
    const std::string& Problem() const { return problem_; }
    bool Failed() const { return !problem_.empty(); }

protected:
    void SetProblem(std::string text)
    {
        if (problem_.empty()) problem_ = std::move(text);
    }

private:
    std::string problem_;
};

// Runs a whole text through a codec (a convenience for short texts).
inline std::string RunCodec(StreamCodec& codec, std::string_view in)
{
    std::string out;
    codec.Put(in, out);
    codec.Finish(out);
    return out;
}

// The same fed in pieces of step bytes (tests and fuzz targets check that
// any cut gives what one Put gives).
inline std::string RunCodecInPieces(StreamCodec& codec, std::string_view in, size_t step)
{
    std::string out;
    for (size_t i = 0; i < in.size(); i += step)
        codec.Put(in.substr(i, step), out);
    codec.Finish(out);
    return out;
}

// For codecs that work in whole units (a group, a line): moves bytes from
// the front of in to carry until it holds unit bytes; true once it does.
inline bool FillCarry(std::string& carry, std::string_view& in, size_t unit)
{
    const size_t take = std::min(in.size(), unit - carry.size());
    carry.append(in.substr(0, take));
    in.remove_prefix(take);
    return carry.size() == unit;
}

} // namespace textcodec
