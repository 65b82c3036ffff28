#pragma once
// Rendering a cache-file text the way the body pane does, for the message tests.

#include "message/BodySink.h"
#include "message/CacheFile.h"
#include "message/MimeRender.h"
#include "support/TestFiles.h"

#include <memory>

namespace testutil {

// A file of the given content in the program's scratch folder.
inline std::filesystem::path ScratchFile(std::string_view content, const std::string& name = {})
{
    static int counter = 0;
    const auto p = Scratch() / (name.empty() ? "f" + std::to_string(++counter) : name);
    WriteFile(p, content);
    return p;
}

struct Rendered {
    message::RecordingSink sink;
    std::unique_ptr<message::BodyRenderer> renderer;
    std::shared_ptr<message::CacheFile> file;
    std::string Tagged() const { return sink.Tagged(); }
};

// Renders a cache file made from text (CR LF lines, as the body pane stores
// them) with the header list the pane hides.
inline std::unique_ptr<Rendered> Render(std::string_view cacheText, bool showAll = false,
                                        message::BodyRenderer::DisplayLimits limits = {},
                                        std::string_view charset = {})
{
    auto r = std::make_unique<Rendered>();
    r->renderer = std::make_unique<message::BodyRenderer>(r->sink);
    r->renderer->limits = limits;
    r->renderer->charset = charset;
    r->renderer->hiddenFields = {"date:", "Path:", "Newsgroups:", "Lines:", "References:", "In-reply-to:",
                                 "NNTP-Posting-Host:", "Message-ID:", "Content-Transfer-Encoding:"};
    r->file = message::CacheFile::Open(ScratchFile(cacheText));
    r->renderer->RenderArticle(r->file, 0, showAll);
    return r;
}

} // namespace testutil
