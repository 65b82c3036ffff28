// libFuzzer target: render an arbitrary cached article, then save and show the
// source of every attachment it registers.
#include "FuzzInput.h"
#include "message/BodySink.h"
#include "message/MimeRender.h"
#include "platform/TempFiles.h"

#include <filesystem>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    static const std::filesystem::path output = platform::MakeTempFileName("fzo", 0);
    auto file = message::CacheFile::Open(fuzz::WriteInput(data, size));
    if (!file)
        return 0;
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
    return 0;
}
