// Rendering and saving articles against GMime reading the same files.
//   bench_message [ROUNDS]
// Article 1: 5 MB, a short text part and a Base64 attachment.
// Article 2: 1 MB of Japanese text (Shift_JIS, as the cache file holds it).
#include "message/BodySink.h"
#include "message/MimeRender.h"
#include "platform/TempFiles.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#ifdef LUMETRA_HAVE_GMIME
#include <fcntl.h>
#include <gmime/gmime.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

std::string Base64(const std::string& data)
{
    static const char* abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out, line;
    for (std::size_t i = 0; i < data.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(data[i]) << 16;
        if (i + 1 < data.size())
            v |= static_cast<unsigned char>(data[i + 1]) << 8;
        if (i + 2 < data.size())
            v |= static_cast<unsigned char>(data[i + 2]);
        line += abc[(v >> 18) & 63];
        line += abc[(v >> 12) & 63];
        line += i + 1 < data.size() ? abc[(v >> 6) & 63] : '=';
        line += i + 2 < data.size() ? abc[v & 63] : '=';
        if (line.size() == 76) {
            out += line + "\r\n";
            line.clear();
        }
    }
    if (!line.empty())
        out += line + "\r\n";
    return out;
}

std::string BinaryArticle()
{
    std::string data(3'700'000, '\0');
    unsigned x = 12345;
    for (char& c : data)
        c = static_cast<char>((x = x * 1103515245 + 12345) >> 16);
    return "From: a@example.jp\r\nSubject: big\r\nMIME-Version: 1.0\r\n"
           "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\n"
           "see the attachment\r\n--b\r\nContent-Type: application/octet-stream; name=\"big.bin\"\r\n"
           "Content-Transfer-Encoding: base64\r\n\r\n" +
           Base64(data) + "--b--\r\n.\r\n";
}

std::string JapaneseArticle()
{
    const std::string line = "\x93\xfa\x96{\x8c\xea\x82\xcc\x83\x65\x83X\x83g\x82\xc5\x82\xb7\x81\x42 "
                             "http://www.example.jp/ \x8a\xbf\x8e\x9a\x82\xc6\x82\xd0\x82\xe7\x82\xaa\x82\xc8\r\n";
    std::string article = "From: a@example.jp\r\nSubject: text\r\nContent-Type: text/plain\r\n\r\n";
    while (article.size() < 1'000'000)
        article += line;
    return article + ".\r\n";
}

std::filesystem::path Write(const std::string& name, const std::string& text)
{
    std::filesystem::path p = platform::TempDirectory() / name;
    std::ofstream(p, std::ios::binary) << text;
    return p;
}

double Best(int rounds, const std::function<void()>& f)
{
    double best = 1e9;
    for (int i = 0; i < rounds; ++i) {
        auto t0 = Clock::now();
        f();
        best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    return best;
}

// Keeps the text as a body control would, without the test sink's bookkeeping.
struct TextSink : message::BodySink {
    std::string text;
    std::size_t urls = 0;
    void Clear() override { text.clear(), urls = 0; }
    void Append(std::string_view t, message::TextRole role, message::Colour, bool) override
    {
        text += t;
        urls += role == message::TextRole::Url;
    }
};

void Ours(const std::filesystem::path& article, const std::filesystem::path& out)
{
    auto file = message::CacheFile::Open(article);
    TextSink sink;
    message::BodyRenderer renderer(sink);
    renderer.RenderArticle(file, 0, false);
    for (const auto& a : renderer.Attachments())
        if (!a->IsInline())
            a->SaveTo(out);
}

#ifdef LUMETRA_HAVE_GMIME
void Peer(const std::filesystem::path& article, const std::filesystem::path& out)
{
    GMimeStream* stream = g_mime_stream_fs_open(article.c_str(), O_RDONLY, 0, nullptr);
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
    GMimePartIter* iter = g_mime_part_iter_new(reinterpret_cast<GMimeObject*>(message));
    do {
        GMimeObject* part = g_mime_part_iter_get_current(iter);
        if (part && GMIME_IS_PART(part)) {
            GMimeStream* o = g_mime_stream_fs_open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600, nullptr);
            g_mime_data_wrapper_write_to_stream(g_mime_part_get_content(GMIME_PART(part)), o);
            g_object_unref(o);
        }
    } while (g_mime_part_iter_next(iter));
    g_mime_part_iter_free(iter);
    g_object_unref(message);
    g_object_unref(parser);
    g_object_unref(stream);
}
#endif

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
#ifdef LUMETRA_HAVE_GMIME
    g_mime_init();
#endif
    const auto out = platform::TempDirectory() / "bench.out";
    struct Case {
        const char* name;
        std::filesystem::path file;
    } cases[] = {{"5 MB article, Base64 attachment", Write("big.art", BinaryArticle())},
                 {"1 MB Japanese text article", Write("text.art", JapaneseArticle())}};
    int status = 0;
    for (const Case& c : cases) {
        const double ours = Best(rounds, [&] { Ours(c.file, out); });
        std::printf("%-34s render+save %8.2f ms", c.name, ours);
#ifdef LUMETRA_HAVE_GMIME
        const double peer = Best(rounds, [&] { Peer(c.file, out); });
        std::printf("   GMime %8.2f ms   ratio %.2f (goal <= 1.5)", peer, ours / peer);
        if (ours > 1.5 * peer)
            status = 1;
#endif
        std::printf("\n");
    }
    return status;
}
