// libFuzzer target: extract every attachment of an arbitrary message, as
// lumetra-tool extract does, with one output budget for the article. What
// lands on disk never passes the budget, however the parts nest or expand.
#include "message/BodySink.h"
#include "message/CacheFile.h"
#include "message/MimeRender.h"
#include "message/OutputBudget.h"
#include "platform/TempFiles.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    if (size > 64 * 1024)
        return 0;
    static const std::filesystem::path dir = platform::MakeTempFileName("fzx", 0);
    const std::filesystem::path cache = dir.string() + ".cache";
    {
        std::ofstream out(cache, std::ios::binary | std::ios::trunc);
        out << message::MakeCacheText(std::string(reinterpret_cast<const char*>(data), size));
    }
    auto file = message::CacheFile::Open(cache);
    if (!file)
        return 0;
    message::RecordingSink sink;
    message::BodyRenderer renderer(sink);
    renderer.RenderArticle(file, 0, false);
    // A small budget, so that the fuzzer can reach its end.
    message::OutputBudget budget(4 * std::filesystem::file_size(cache) + 4096);
    std::uintmax_t written = 0;
    // The name was made as an empty file: the folder takes its place.
    if (!std::filesystem::is_directory(dir))
        std::filesystem::remove(dir);
    std::filesystem::create_directories(dir);
    int n = 0;
    for (const auto& a : renderer.Attachments()) {
        const std::string name = "part" + std::to_string(n++);
        a->SetOutputBudget(&budget);
        try {
            a->SaveInto(dir, name);
        } catch (const message::AttachmentError&) {
        }
        std::error_code ec;
        const auto bytes = std::filesystem::file_size(dir / name, ec);
        written += ec ? 0 : bytes;
    }
    if (written > budget.Limit() || budget.Used() > budget.Limit())
        std::abort();
    std::filesystem::remove_all(dir);
    file->Close();
    std::filesystem::remove(cache);
    return 0;
}
