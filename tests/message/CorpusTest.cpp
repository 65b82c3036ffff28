// Decoded parts of real-world messages compared with two peer decoders
// (Python's email package and GMime). Every difference that remains must be
// listed, with its reason, in corpus-differences.txt.
#include "RenderSupport.h"

#include "message/Codec.h"
#include "message/HeaderFields.h"
#include "message/MimeRender.h"
#include "tools/ToolCommands.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <strings.h>

using namespace message;
using testutil::Quote;
using testutil::ReadFile;
using testutil::Shell;

namespace {

const std::filesystem::path kCorpus = "/work/shared/corpus/mime";
const std::filesystem::path kSource = LUMETRA_SOURCE_DIR;

std::filesystem::path CorpusDir()
{
    if (const char* env = std::getenv("LUMETRA_MIME_CORPUS"))
        return env;
    if (std::filesystem::exists(kCorpus))
        return kCorpus;
    // CI keeps shared/ beside the clone.
    return kSource.parent_path() / "shared" / "corpus" / "mime";
}

struct Part {
    std::string type, encoding;
    bool leaf = false;
    std::string bytes;
};

// Runs a peer once over every message; the parts it decoded, per message.
std::vector<std::vector<Part>> RunPeer(const std::string& program, const std::vector<std::filesystem::path>& messages,
                                       const std::filesystem::path& dir)
{
    std::filesystem::remove_all(dir);
    std::string command = program;
    for (std::size_t k = 0; k < messages.size(); ++k) {
        std::filesystem::create_directories(dir / std::to_string(k));
        command += " " + Quote(messages[k]) + " " + Quote(dir / std::to_string(k));
    }
    Shell(command + " 2>/dev/null");
    std::vector<std::vector<Part>> all;
    for (std::size_t k = 0; k < messages.size(); ++k) {
        const std::filesystem::path out = dir / std::to_string(k);
        std::vector<Part>& parts = all.emplace_back();
        for (const std::string& line : testutil::SplitLines(ReadFile(out / "manifest.txt"))) {
            std::istringstream fields(line); // index, type, encoding, leaf|container
            std::string index, kind;
            Part& p = parts.emplace_back();
            std::getline(fields, index, '\t') && std::getline(fields, p.type, '\t') &&
                std::getline(fields, p.encoding, '\t') && std::getline(fields, kind, '\t');
            p.leaf = kind == "leaf";
            if (p.leaf)
                p.bytes = ReadFile(out / (index + ".bin"));
        }
    }
    return all;
}

std::vector<Part> Ours(std::string_view message, const std::filesystem::path& dir)
{
    std::filesystem::create_directories(dir);
    const auto r = testutil::Render(MakeCacheText(message));
    std::vector<Part> parts;
    for (const auto& a : r->renderer->Attachments()) {
        auto* mime = dynamic_cast<CMimeAttachment*>(a.get());
        if (!mime)
            continue;
        Part p{mime->GetContentType(), mime->TransferEncoding(), true, {}};
        const std::filesystem::path out = dir / std::to_string(parts.size());
        try {
            mime->SaveTo(out);
            p.bytes = ReadFile(out);
        } catch (const std::exception& e) {
            p.bytes = std::string("save failed: ") + e.what();
        }
        parts.push_back(p);
    }
    return parts;
}

// Text compared without regard to line-end form or trailing line ends.
std::string TextForm(std::string_view bytes, bool toSjis)
{
    std::string out;
    std::size_t pos = 0;
    bool yenc = false; // the cache keeps yEnc blocks as they came
    while (pos < bytes.size()) {
        std::size_t lf = bytes.find('\n', pos);
        std::size_t end = lf == std::string_view::npos ? bytes.size() : lf;
        std::string_view line = bytes.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const bool raw = yenc || line.starts_with("=ybegin ");
        yenc = raw && !line.starts_with("=yend");
        out += toSjis && !raw ? codec::ToSjis(line, codec::AutoSjis) : std::string(line);
        out += '\n';
        pos = end + 1;
    }
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

bool SameContent(const Part& ours, const Part& peer)
{
    if (strcasecmp(ours.encoding.c_str(), "base64") == 0)
        return ours.bytes == peer.bytes;
    if (strcasecmp(ours.encoding.c_str(), "quoted-printable") == 0)
        return TextForm(ours.bytes, false) == TextForm(peer.bytes, false);
    // Copied parts went through the cache file's Shift_JIS conversion line by line.
    return TextForm(ours.bytes, false) == TextForm(peer.bytes, true);
}

struct Message {
    std::string name, text;
};

std::vector<Message> CorpusMessages()
{
    std::vector<Message> messages;
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(CorpusDir()))
        files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const auto& path : files) {
        const std::string name = path.filename().string();
        if (name == "SOURCE.md" || name.find("-summary") != std::string::npos || name.rfind("photo.", 0) == 0 ||
            name.rfind("wikipedia.", 0) == 0 || name == "joystick.jpg")
            continue;
        const std::string text = ReadFile(path);
        if (name.find(".mbox") == std::string::npos) {
            messages.push_back({name, text});
            continue;
        }
        // One message per "From " line.
        const std::string t = "\n" + text;
        int n = 0;
        for (std::size_t at = t.find("\nFrom "); at != std::string::npos;) {
            const std::size_t body = t.find('\n', at + 1), next = t.find("\nFrom ", at + 1);
            if (body == std::string::npos)
                break;
            const std::size_t len = next == std::string::npos ? next : next - body;
            messages.push_back({name + "#" + std::to_string(n++), t.substr(body + 1, len)});
            at = next;
        }
    }
    return messages;
}

struct Expected {
    std::string peer, file, index, category;
};

std::vector<Expected> LoadExpected()
{
    std::vector<Expected> list;
    for (const std::string& line : testutil::SplitLines(ReadFile(kSource / "tests/message/corpus-differences.txt")))
        if (!line.empty() && line[0] != '#') {
            std::istringstream f(line);
            Expected& e = list.emplace_back();
            f >> e.peer >> e.file >> e.index >> e.category;
        }
    return list;
}

TEST(Corpus, DecodedPartsMatchThePeers)
{
    if (!std::filesystem::exists(CorpusDir()))
        GTEST_SKIP() << "no corpus at " << CorpusDir();
    std::map<std::string, std::string> peers;
    if (Shell("python3 -c 'import email; print(1)' 2>/dev/null") == "1\n")
        peers["python"] = "python3 " + Quote(kSource / "tests/message/peer_parts.py");
#ifdef LUMETRA_GMIME_PARTS
    peers["gmime"] = Quote(LUMETRA_GMIME_PARTS);
#endif
    if (peers.empty())
        GTEST_SKIP() << "no peer decoder";

    const std::vector<Expected> expected = LoadExpected();
    std::set<std::size_t> used;
    const std::filesystem::path work = testutil::Scratch() / "corpus";
    const std::vector<Message> messages = CorpusMessages();
    std::vector<std::filesystem::path> inputs;
    std::filesystem::create_directories(work / "in");
    for (std::size_t k = 0; k < messages.size(); ++k) {
        inputs.push_back(work / "in" / std::to_string(k));
        testutil::WriteFile(inputs.back(), messages[k].text);
    }
    std::map<std::string, std::vector<std::vector<Part>>> peerParts;
    for (const auto& [peerName, program] : peers)
        peerParts[peerName] = RunPeer(program, inputs, work / peerName);

    int compared = 0, equal = 0;
    std::string unexpected;
    for (std::size_t k = 0; k < messages.size(); ++k) {
        const Message& m = messages[k];
        const std::vector<Part> ours = Ours(m.text, work / "ours");
        for (const auto& [peerName, all] : peerParts) {
            const std::vector<Part>& theirs = all[k];
            auto report = [&](const std::string& index, const std::string& category, const std::string& detail) {
                auto fits = [&](const std::string& want, const std::string& have) { return want == "*" || want == have; };
                for (std::size_t i = 0; i < expected.size(); ++i) {
                    const Expected& e = expected[i];
                    if (fits(e.peer, peerName) && fits(e.file, m.name) && fits(e.index, index) && e.category == category)
                        return void(used.insert(i));
                }
                unexpected += peerName + " " + m.name + " " + index + " " + category + "  # " + detail + "\n";
            };
            if (theirs.size() != ours.size())
                report("*", "count", std::to_string(ours.size()) + " parts here, " + std::to_string(theirs.size()) + " there");
            for (std::size_t i = 0; i < std::min(ours.size(), theirs.size()); ++i) {
                if (!theirs[i].leaf) {
                    report(std::to_string(i), "container", theirs[i].type);
                    continue;
                }
                ++compared;
                if (SameContent(ours[i], theirs[i]))
                    ++equal;
                else
                    report(std::to_string(i), "bytes",
                           ours[i].type + " " + ours[i].encoding + ": " + std::to_string(ours[i].bytes.size()) +
                               " bytes here, " + std::to_string(theirs[i].bytes.size()) + " there");
            }
        }
    }
    EXPECT_EQ(unexpected, "") << "differences not in corpus-differences.txt";
    std::printf("corpus: %d leaf parts compared, %d equal, %zu of %zu listed differences seen\n", compared, equal,
                used.size(), expected.size());
    EXPECT_GT(compared, 40);
}

TEST(Corpus, TheToolHandlesEveryMessage)
{
    if (!std::filesystem::exists(CorpusDir()))
        GTEST_SKIP() << "no corpus";
    for (const Message& m : CorpusMessages()) {
        const std::filesystem::path input = testutil::ScratchFile(m.text, "tool-input");
        std::ostringstream out, err;
        for (const char* flag : {"--all", "--tags"})
            EXPECT_EQ(tools::RenderCommand({flag, "--message", input.string()}, out, err), 0) << m.name;
        const std::filesystem::path dir = testutil::Scratch() / "extract";
        std::filesystem::remove_all(dir);
        std::ostringstream listing;
        tools::ExtractCommand({"--message", input.string(), dir.string()}, listing, err);
        // Every file written stays inside the folder.
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
            EXPECT_EQ(e.path().parent_path(), dir) << m.name;
        EXPECT_EQ(listing.str().find("failed"), std::string::npos) << m.name << "\n" << listing.str();
    }
}

} // namespace
