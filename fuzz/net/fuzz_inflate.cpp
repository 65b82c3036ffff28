// The inflater against any bytes a server might send after COMPRESS: the
// output stays within its bound, pieces of any size give what one piece
// gives, and what it gives deflates and inflates back unchanged.
#include "net/Deflate.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace net;

namespace {

constexpr std::uint64_t kRatio = 100, kSlack = 1u << 20;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1 || size > 64 * 1024)
        return 0;
    const std::size_t step = 1 + data[0] % 97;
    const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);

    Inflater whole(kRatio, kSlack), pieces(kRatio, kSlack);
    const std::string a = textcodec::RunCodecInPieces(whole, input, input.size() + 1);
    const std::string b = textcodec::RunCodecInPieces(pieces, input, step);
    if (a.size() > kSlack + kRatio * input.size() || b.size() > kSlack + kRatio * input.size())
        std::abort();
    // Where the bound stops a run depends on how the input came; before it, nothing may differ.
    if (!whole.Failed() && !pieces.Failed() && a != b)
        std::abort();
    if (a.compare(0, b.size(), b.substr(0, a.size())) != 0)
        std::abort();

    Deflater back;
    std::string wire;
    back.Put(a, wire);
    back.Flush(wire);
    // Our own stream of the same text may shrink further than the input did.
    Inflater again(1u << 20, std::uint64_t{1} << 40);
    std::string c;
    again.Put(wire, c);
    if (again.Failed() || c != a)
        std::abort();
    return 0;
}
