// What GMime decodes from each part of a message, nested multiparts
// flattened depth first, written as
// peer_parts.py writes it. Arguments: pairs of MESSAGE OUTDIR.
#include <gmime/gmime.h>

#include <fcntl.h>
#include <cstdio>
#include <string>

namespace {

std::string Lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(g_ascii_tolower(c));
    s.erase(0, s.find_first_not_of(" \t"));
    s.erase(s.find_last_not_of(" \t") + 1);
    return s;
}

void Describe(GMimeObject* part, int index, const std::string& outdir, FILE* manifest)
{
    GMimeContentType* ct = g_mime_object_get_content_type(part);
    char* type = ct ? g_mime_content_type_get_mime_type(ct) : g_strdup("text/plain");
    const char* cte = g_mime_object_get_header(part, "Content-Transfer-Encoding");
    const bool leaf = GMIME_IS_PART(part);
    if (leaf) {
        const std::string path = outdir + "/" + std::to_string(index) + ".bin";
        GMimeStream* out = g_mime_stream_fs_open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644, nullptr);
        GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(part));
        if (out && content)
            g_mime_data_wrapper_write_to_stream(content, out);
        if (out) {
            g_mime_stream_flush(out);
            g_object_unref(out);
        }
    }
    std::fprintf(manifest, "%d\t%s\t%s\t%s\n", index, Lower(type).c_str(), Lower(cte ? cte : "").c_str(),
                 leaf ? "leaf" : "container");
    g_free(type);
}

void Walk(GMimeObject* part, int depth, int& index, const std::string& outdir, FILE* manifest)
{
    if (GMIME_IS_MULTIPART(part) && depth < 32) {
        for (int i = 0; i < g_mime_multipart_get_count(GMIME_MULTIPART(part)); ++i)
            Walk(g_mime_multipart_get_part(GMIME_MULTIPART(part), i), depth + 1, index, outdir, manifest);
    } else {
        Describe(part, index++, outdir, manifest);
    }
}

void One(const char* path, const std::string& outdir)
{
    FILE* manifest = std::fopen((outdir + "/manifest.txt").c_str(), "w");
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
    int index = 0;
    if (top)
        Walk(top, 0, index, outdir, manifest);
    if (message)
        g_object_unref(message);
    g_object_unref(parser);
    g_object_unref(stream);
    std::fclose(manifest);
}

} // namespace

int main(int argc, char** argv)
{
    g_mime_init();
    for (int i = 1; i + 1 < argc; i += 2)
        One(argv[i], argv[i + 1]);
    g_mime_shutdown();
    return argc < 3 ? 2 : 0;
}
