#include "net/Deflate.h"

#include <algorithm>
#include <climits>

#include <zlib.h>

namespace net {

namespace {
// zlib counts in uInt; larger inputs go through in pieces.
constexpr std::size_t kPiece = 1u << 30;
constexpr std::size_t kOutBlock = 16 * 1024;
} // namespace

struct Inflater::State {
    z_stream s{};
    bool ready = false;
};

Inflater::Inflater(std::uint64_t maxRatio, std::uint64_t slack)
    : z_(std::make_unique<State>()), maxRatio_(maxRatio), slack_(slack)
{
    // Negative window bits: raw DEFLATE, as RFC 8054 sends it.
    z_->ready = inflateInit2(&z_->s, -MAX_WBITS) == Z_OK;
    if (!z_->ready)
        SetProblem("zlib could not start decompressing");
}

Inflater::~Inflater()
{
    if (z_->ready)
        inflateEnd(&z_->s);
}

void Inflater::Put(std::string_view in, std::string& out)
{
    char block[kOutBlock];
    z_stream& s = z_->s;
    while (!in.empty() && !Failed()) {
        if (ended_) {
            SetProblem("data follows the end of the compressed stream");
            return;
        }
        const std::size_t piece = std::min(in.size(), kPiece);
        in_ += piece;
        const std::uint64_t allowed = slack_ + maxRatio_ * in_;
        s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
        s.avail_in = static_cast<uInt>(piece);
        in.remove_prefix(piece);
        for (;;) {
            s.next_out = reinterpret_cast<Bytef*>(block);
            s.avail_out = sizeof block;
            const int r = inflate(&s, Z_NO_FLUSH);
            const std::size_t got = sizeof block - s.avail_out;
            if (out_ + got > allowed) {
                SetProblem("the server's compressed data grows more than " + std::to_string(maxRatio_) +
                           " times its size (a decompression bomb); the connection is closed");
                return;
            }
            out_ += got;
            out.append(block, got);
            if (r == Z_STREAM_END) {
                ended_ = true;
                if (s.avail_in > 0)
                    SetProblem("data follows the end of the compressed stream");
                break;
            }
            if (r != Z_OK && r != Z_BUF_ERROR) {
                SetProblem(std::string("the compressed data is damaged") + (s.msg ? std::string(": ") + s.msg : ""));
                return;
            }
            // Z_BUF_ERROR: no progress without more input.
            if (r == Z_BUF_ERROR || (s.avail_in == 0 && s.avail_out != 0))
                break;
        }
    }
}

void Inflater::Finish(std::string&)
{
    // 128: inflate stands between blocks, where every flush leaves it.
    if (!Failed() && !ended_ && in_ > 0 && !(z_->s.data_type & 128))
        SetProblem("the compressed data stops inside a block");
}

struct Deflater::State {
    z_stream s{};
    bool ready = false;
};

Deflater::Deflater() : z_(std::make_unique<State>())
{
    z_->ready = deflateInit2(&z_->s, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    if (!z_->ready)
        SetProblem("zlib could not start compressing");
}

Deflater::~Deflater()
{
    if (z_->ready)
        deflateEnd(&z_->s);
}

void Deflater::Put(std::string_view in, std::string& out)
{
    while (!in.empty()) {
        const std::size_t piece = std::min(in.size(), kPiece);
        Run(in.substr(0, piece), Z_NO_FLUSH, out);
        in.remove_prefix(piece);
    }
}

void Deflater::Flush(std::string& out) { Run({}, Z_SYNC_FLUSH, out); }

void Deflater::Finish(std::string& out)
{
    Run({}, Z_FINISH, out);
    finished_ = true;
}

void Deflater::Run(std::string_view in, int mode, std::string& out)
{
    if (!z_->ready || finished_ || Failed())
        return;
    char block[kOutBlock];
    z_stream& s = z_->s;
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    s.avail_in = static_cast<uInt>(in.size());
    do {
        s.next_out = reinterpret_cast<Bytef*>(block);
        s.avail_out = sizeof block;
        if (deflate(&s, mode) == Z_STREAM_ERROR) {
            SetProblem("zlib refused to compress");
            return;
        }
        out.append(block, sizeof block - s.avail_out);
    } while (s.avail_out == 0);
}

} // namespace net
