#pragma once
// Small helpers shared by the message tests.

#include "message/BodySink.h"
#include "message/CacheFile.h"
#include "message/MimeRender.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

namespace testutil {

// LF line ends to CR LF.
inline std::string Crlf(std::string_view text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

inline std::filesystem::path ScratchDir()
{
    static std::filesystem::path dir = [] {
        std::string templ = (std::filesystem::temp_directory_path() / "msgtest-XXXXXX").string();
        const char* made = mkdtemp(templ.data());
        return std::filesystem::path(made ? made : templ);
    }();
    return dir;
}

inline std::filesystem::path WriteFile(std::string_view content, const std::string& name = {})
{
    static int counter = 0;
    std::filesystem::path p = ScratchDir() / (name.empty() ? "f" + std::to_string(++counter) : name);
    std::ofstream(p, std::ios::binary).write(content.data(), static_cast<std::streamsize>(content.size()));
    return p;
}

inline std::string ReadFile(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The hidden header list the body pane gives the renderer.
inline void SetPaneDefaults(message::BodyRenderer& r)
{
    r.hiddenFields = {"date:", "Path:", "Newsgroups:", "Lines:", "References:", "In-reply-to:",
                      "NNTP-Posting-Host:", "Message-ID:", "Content-Transfer-Encoding:"};
}

struct Rendered {
    message::RecordingSink sink;
    std::unique_ptr<message::BodyRenderer> renderer;
    std::shared_ptr<message::CacheFile> file;
    std::string Tagged() const { return sink.Tagged(); }
};

// Renders a cache file made from text (CR LF lines, as the body pane stores them).
inline std::unique_ptr<Rendered> Render(std::string_view cacheText, bool showAll = false)
{
    auto r = std::make_unique<Rendered>();
    r->renderer = std::make_unique<message::BodyRenderer>(r->sink);
    SetPaneDefaults(*r->renderer);
    r->file = message::CacheFile::Open(WriteFile(cacheText));
    r->renderer->RenderArticle(r->file, 0, showAll);
    return r;
}

} // namespace testutil
