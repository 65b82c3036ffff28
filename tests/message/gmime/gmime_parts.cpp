// Test helper: what GMime decodes from each top-level part of a message.
// Writes OUTDIR/<index>.bin for every part with a body of its own and
// OUTDIR/manifest.txt with one line per part: index, content type, transfer
// encoding, leaf|container. Arguments: pairs of MESSAGE OUTDIR.
#include <gmime/gmime.h>

#include <fcntl.h>
#include <cstdio>
#include <string>

namespace {

void Describe(GMimeObject* part, int index, const char* outdir, FILE* manifest)
{
    GMimeContentType* ct = g_mime_object_get_content_type(part);
    char* type = ct ? g_mime_content_type_get_mime_type(ct) : g_strdup("text/plain");
    std::string lower = type;
    for (char& c : lower)
        c = static_cast<char>(g_ascii_tolower(c));
    const char* cte = g_mime_object_get_header(part, "Content-Transfer-Encoding");
    std::string encoding = cte ? cte : "";
    for (char& c : encoding)
        c = static_cast<char>(g_ascii_tolower(c));
    encoding.erase(0, encoding.find_first_not_of(" \t"));
    encoding.erase(encoding.find_last_not_of(" \t") + 1);
    if (!GMIME_IS_PART(part)) {
        std::fprintf(manifest, "%d\t%s\t%s\tcontainer\n", index, lower.c_str(), encoding.c_str());
        g_free(type);
        return;
    }
    std::string path = std::string(outdir) + "/" + std::to_string(index) + ".bin";
    GMimeStream* out = g_mime_stream_fs_open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644, nullptr);
    GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(part));
    if (out && content)
        g_mime_data_wrapper_write_to_stream(content, out);
    if (out) {
        g_mime_stream_flush(out);
        g_object_unref(out);
    }
    std::fprintf(manifest, "%d\t%s\t%s\tleaf\n", index, lower.c_str(), encoding.c_str());
    g_free(type);
}

} // namespace

void One(const char* path, const char* outdir)
{
    FILE* manifest = std::fopen((std::string(outdir) + "/manifest.txt").c_str(), "w");
    GMimeStream* stream = g_mime_stream_fs_open(path, O_RDONLY, 0, nullptr);
    if (!stream || !manifest) {
        std::fprintf(stderr, "cannot open %s\n", path);
        if (manifest)
            std::fclose(manifest);
        return;
    }
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
    GMimeObject* top = message ? g_mime_message_get_mime_part(message) : nullptr;
    if (top && GMIME_IS_MULTIPART(top)) {
        GMimeMultipart* mp = GMIME_MULTIPART(top);
        for (int i = 0; i < g_mime_multipart_get_count(mp); ++i)
            Describe(g_mime_multipart_get_part(mp, i), i, outdir, manifest);
    } else if (top) {
        Describe(top, 0, outdir, manifest);
    }
    if (message)
        g_object_unref(message);
    g_object_unref(parser);
    g_object_unref(stream);
    std::fclose(manifest);
}

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: gmime_parts MESSAGE OUTDIR [MESSAGE OUTDIR...]\n");
        return 2;
    }
    g_mime_init();
    for (int i = 1; i + 1 < argc; i += 2)
        One(argv[i], argv[i + 1]);
    g_mime_shutdown();
    return 0;
}
