#include "tools/ToolCommands.h"

#include "message/CacheFile.h"
#include "message/MimeRender.h"
#include "platform/Sjis.h"
#include "platform/TempFiles.h"

#include <fstream>
#include <iostream>
#include <unordered_map>
#include <unordered_set>
#include <sstream>
#include <system_error>

namespace tools {

using namespace message;

namespace {

const char* KindOf(const CAttachment& a)
{
    if (dynamic_cast<const CUuencodeAttachment*>(&a))
        return "uuencode";
    if (dynamic_cast<const CBinHexAttachment*>(&a))
        return "binhex";
    if (dynamic_cast<const CYencAttachment*>(&a))
        return "yenc";
    return "mime";
}

// base with "-n" added, cut on a whole UTF-8 character to stay within 255 bytes.
std::string NumberedName(const std::string& base, int n)
{
    const std::string suffix = "-" + std::to_string(n);
    std::size_t keep = std::min(base.size(), 255 - suffix.size());
    while (keep > 0 && keep < base.size() && (static_cast<unsigned char>(base[keep]) & 0xC0) == 0x80)
        --keep;
    return base.substr(0, keep) + suffix;
}

struct Options {
    bool all = false, tags = false, message = false;
    std::vector<std::string> files;
};

Options Parse(const Args& args)
{
    Options o;
    for (const std::string& a : args) {
        if (a == "--all")
            o.all = true;
        else if (a == "--tags")
            o.tags = true;
        else if (a == "--message")
            o.message = true;
        else
            o.files.push_back(a);
    }
    return o;
}

// The cache file to read: the file itself, or a converted copy of a plain message.
std::shared_ptr<CacheFile> OpenArticle(const Options& o, std::ostream& err)
{
    const std::string& path = o.files[0];
    if (!o.message) {
        auto f = CacheFile::Open(path);
        if (!f)
            err << "cannot open " << path << "\n";
        return f;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        err << "cannot open " << path << "\n";
        return nullptr;
    }
    std::filesystem::path temp = platform::MakeTempFileName("mes", 0);
    std::ofstream cache(temp, std::ios::binary);
    if (temp.empty() || !WriteCacheText(in, cache)) {
        err << "cannot convert " << path << "\n";
        return nullptr;
    }
    cache.close();
    return CacheFile::Open(temp);
}

} // namespace

int RenderCommand(const Args& args, std::ostream& out, std::ostream& err)
{
    Options o = Parse(args);
    if (o.files.size() != 1) {
        err << "usage: lumetra-tool render [--all] [--tags] [--message] FILE\n";
        return 2;
    }
    auto file = OpenArticle(o, err);
    if (!file)
        return 1;
    RecordingSink sink;
    BodyRenderer renderer(sink);
    renderer.hiddenFields = {"date:", "Path:", "Newsgroups:", "Lines:", "References:", "In-reply-to:",
                             "NNTP-Posting-Host:", "Message-ID:", "Content-Transfer-Encoding:"};
    renderer.RenderArticle(file, 0, o.all);
    // The article's own bytes (escapes decoded from any encoding included)
    // must not drive the terminal, so everything goes out as open prints it.
    out << TerminalText(o.tags ? sink.Tagged() : sink.PlainText(), true, true);
    for (const auto& a : renderer.Attachments())
        if (!a->IsInline())
            out << (o.tags ? "[attachment]" : "attachment: ") << KindOf(*a) << " "
                << (a->Name().empty() ? "(no name)" : TerminalText(a->Name())) << "\n";
    return 0;
}

int ExtractCommand(const Args& args, std::ostream& out, std::ostream& err)
{
    Options o = Parse(args);
    if (o.files.size() != 2) {
        err << "usage: lumetra-tool extract [--message] FILE DIR\n";
        return 2;
    }
    auto file = OpenArticle(o, err);
    if (!file)
        return 1;
    const std::filesystem::path dir = o.files[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    RecordingSink sink;
    BodyRenderer renderer(sink);
    renderer.RenderArticle(file, 0, false);
    int status = 0;
    // Each base name remembers its next number, so many parts of one name stay linear.
    std::unordered_set<std::string> used;
    std::unordered_map<std::string, int> next;
    std::error_code sizeError;
    const auto articleSize = std::filesystem::file_size(file->Path(), sizeError);
    OutputBudget budget = OutputBudget::ForArticle(sizeError ? 0 : articleSize);
    // A file already in the folder is never replaced: it counts as a name in use.
    auto taken = [&](const std::string& name) {
        std::error_code statError;
        return used.count(name) > 0 ||
               std::filesystem::symlink_status(dir / name, statError).type() != std::filesystem::file_type::not_found;
    };
    for (const auto& a : renderer.Attachments()) {
        const std::string base = a->SafePath().string();
        std::string name = base;
        for (int& n = next.try_emplace(base, 2).first->second; taken(name); ++n)
            name = NumberedName(base, n);
        used.insert(name);
        const std::filesystem::path target = dir / name;
        try {
            a->SetOutputBudget(&budget);
            a->SaveInto(dir, name);
            out << KindOf(*a) << "\t" << TerminalText(name, false) << "\t" << std::filesystem::file_size(target, ec)
                << (a->IsInline() ? "\tinline" : "") << "\n";
        } catch (const std::exception& e) {
            out << KindOf(*a) << "\t" << TerminalText(name, false) << "\tfailed: " << e.what() << "\n";
            status = 1;
        }
    }
    return status;
}

} // namespace tools
