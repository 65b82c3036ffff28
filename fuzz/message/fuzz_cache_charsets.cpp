// libFuzzer target: a received body in a non-Japanese charset, cached as the
// fetch caches it or as the reader's choice of charset recaches it. Whatever the conversion gives, the cached form keeps the
// received structure: one line out per line in, the end line only at the end,
// and no delimiter the received text did not hold.
#include "message/CacheFile.h"

#include <cstdlib>
#include <string>
#include <string_view>

namespace {

constexpr const char* kCharsets[] = {"UTF-7", "IBM037", "UTF-16", "ISO-8859-1", "UTF-8", "GB18030", "KOI8-R", "IBM500"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    if (size < 1 || size > 64 * 1024)
        return 0;
    const std::string_view charset = kCharsets[data[0] % std::size(kCharsets)];
    const std::string_view body(reinterpret_cast<const char*>(data) + 1, size - 1);
    // Half the runs read everything in the charset, as the reader may choose.
    message::CacheWriter writer(data[0] & 0x80 ? charset : std::string_view());
    std::string head = "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\nContent-Type: text/plain; charset=";
    head += charset;
    head += "\r\n\r\n";
    for (std::size_t at = 0, lf; at < head.size(); at = lf + 1) {
        lf = head.find('\n', at);
        writer.Line(std::string_view(head).substr(at, lf + 1 - at));
    }
    for (std::size_t at = 0; at < body.size();) {
        std::size_t lf = body.find('\n', at);
        lf = lf == std::string_view::npos ? body.size() : lf + 1;
        std::string received(body.substr(at, lf - at));
        at = lf;
        if (received.empty() || received.back() != '\n')
            received += "\r\n";
        // Lines as a server sends them: stuffed, never the end line itself.
        if (received[0] == '.')
            received.insert(0, 1, '.');
        if (received.starts_with("--b"))
            continue;
        const std::string cached = writer.Line(received);
        const std::size_t lineEnd = cached.find('\n');
        if (lineEnd + 1 != cached.size() || cached == ".\r\n" || cached == ".\n" || cached.starts_with("--b"))
            std::abort();
        if (received.find('\0') == std::string::npos && cached.find('\0') != std::string::npos)
            std::abort();
    }
    return 0;
}
