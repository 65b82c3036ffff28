#pragma once
// Raw DEFLATE (RFC 1951) both ways, the form COMPRESS DEFLATE (RFC 8054)
// puts on the connection: no zlib or gzip wrapper, one endless stream per
// direction, flushed at the end of every command and reply.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "textcodec/StreamCodec.h"

namespace net {

// The server's stream. Output is bounded against its input: a server (or
// whoever sits between) that sends a small stream swelling to gigabytes is
// stopped with a problem instead of being followed.
class Inflater : public textcodec::StreamCodec {
public:
    // Overview and article text shrinks three to ten times; a hundred leaves
    // room for runs of blanks and binary postings without letting a bomb
    // (about a thousand times) through.
    static constexpr std::uint64_t kMaxRatio = 100;
    // Allowance before the ratio counts, so that a short, well-compressed
    // start is not taken for a bomb.
    static constexpr std::uint64_t kSlack = 32u << 20;

    explicit Inflater(std::uint64_t maxRatio = kMaxRatio, std::uint64_t slack = kSlack);
    ~Inflater() override;

    // After a problem nothing more comes out: a broken stream cannot be
    // resynchronised.
    void Put(std::string_view in, std::string& out) override;
    // The stream has no end on a live connection; Finish only says whether
    // the input stopped inside a block that was never flushed.
    void Finish(std::string& out) override;

    std::uint64_t BytesIn() const { return in_; }
    std::uint64_t BytesOut() const { return out_; }

private:
    struct State;
    std::unique_ptr<State> z_;
    std::uint64_t maxRatio_;
    std::uint64_t slack_;
    std::uint64_t in_ = 0;
    std::uint64_t out_ = 0;
    bool ended_ = false;
};

// Our stream. Put keeps what zlib has not written yet; Flush writes it all
// out on a byte boundary so the server can read the command now.
class Deflater : public textcodec::StreamCodec {
public:
    Deflater();
    ~Deflater() override;

    void Put(std::string_view in, std::string& out) override;
    void Flush(std::string& out);
    void Finish(std::string& out) override;

private:
    void Run(std::string_view in, int mode, std::string& out);

    struct State;
    std::unique_ptr<State> z_;
    bool finished_ = false;
};

} // namespace net
