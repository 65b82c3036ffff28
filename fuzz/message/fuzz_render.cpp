// libFuzzer target: render an arbitrary cached article, and the same bytes
// taken as a received message (charsets and nesting followed as it is
// cached), then save and show the source of every attachment it registers.
#include "FuzzInput.h"
#include "message/BodySink.h"
#include "message/CacheFile.h"
#include "message/MimeRender.h"
#include "platform/TempFiles.h"

#include <filesystem>

namespace {

void RenderFile(const std::filesystem::path& input)
{
    static const std::filesystem::path output = platform::MakeTempFileName("fzo", 0);
    auto file = message::CacheFile::Open(input);
    if (!file)
        return;
    message::RecordingSink sink;
    message::BodyRenderer renderer(sink);
    renderer.hiddenFields = {"Path:", "Message-ID:"};
    for (bool showAll : {false, true}) {
        renderer.RenderArticle(file, 0, showAll);
        for (const auto& a : renderer.Attachments()) {
            try {
                a->SaveTo(output);
            } catch (const message::AttachmentError&) {
            }
            std::string source;
            a->GetSource(source);
            a->GetContentType();
            a->IsMessage();
            if (a->SafeName().find('/') != std::string::npos)
                __builtin_trap();
        }
    }
    sink.Tagged();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    RenderFile(fuzz::WriteInput(data, size));
    const std::string cached = message::MakeCacheText(std::string_view(reinterpret_cast<const char*>(data), size));
    RenderFile(fuzz::WriteInput(reinterpret_cast<const unsigned char*>(cached.data()), cached.size()));
    return 0;
}
