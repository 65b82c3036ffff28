#pragma once
// What the tests against a real INN (scripts/inn-server.sh) share: where the
// server is, unique tags to find one's own articles by, and a raw poster.
#include "../news/ScriptedHost.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include "textcodec/Yenc.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <random>
#include <sstream>

namespace inttest {

struct Server {
    std::string host;
    int port = 0;
};

inline std::optional<Server> TestServer()
{
    const char* host = std::getenv("LUMETRA_TEST_NNTP_HOST");
    const char* port = std::getenv("LUMETRA_TEST_NNTP_PORT");
    if (!host || !port || !*host || !*port)
        return std::nullopt;
    return Server{host, std::atoi(port)};
}

#define NO_SERVER_MESSAGE "LUMETRA_TEST_NNTP_HOST/PORT not set: start scripts/inn-server.sh to run this"
#define REQUIRE_SERVER()                                                                           \
    auto server = ::inttest::TestServer();                                                         \
    if (!server)                                                                                   \
    GTEST_SKIP() << NO_SERVER_MESSAGE

// Unique across processes and runs, so parallel runs do not see each other's articles.
inline std::string Tag()
{
    static int counter = 0;
    return "t" + std::to_string(::getpid()) + "x" + std::to_string(std::random_device{}() % 100000) + "n" +
           std::to_string(++counter);
}

// scripts/latency-proxy.py in front of the server; port is 0 when it did not start.
struct SlowLink {
    SlowLink(const Server& s, const std::string& options)
        : out(::popen(("exec python3 " LUMETRA_SOURCE_DIR "/scripts/latency-proxy.py --target-host " + s.host +
                       " --target-port " + std::to_string(s.port) + " " + options).c_str(), "r"))
    { if (!out || std::fscanf(out, "%d %d", &port, &pid) != 2) port = 0; }
    ~SlowLink() { if (pid > 0) ::kill(pid, SIGTERM); if (out) ::pclose(out); }
    FILE* out;
    int port = 0, pid = 0;
};

// Python's strict reading of an article (tests/integration/read_back.py) by
// key; "error" holds the output when it failed. saveAs keeps the article.
inline std::map<std::string, std::string> ReadBack(const Server& s, const std::string& id,
                                                   const std::filesystem::path& saveAs = {})
{
    const std::string out = testutil::Shell("python3 " LUMETRA_SOURCE_DIR "/tests/integration/read_back.py " + s.host +
                                            " " + std::to_string(s.port) + " " + testutil::Quote(id) + " " +
                                            (saveAs.empty() ? "" : testutil::Quote(saveAs)) + " 2>&1");
    std::map<std::string, std::string> fields;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t blank = line.find(' ');
        fields[line.substr(0, blank)] = blank == std::string::npos ? "" : line.substr(blank + 1);
    }
    if (!fields.count("defects"))
        fields["error"] = out;
    return fields;
}

// tests/integration/peer_readers.py with each argument quoted: tin and slrn
// in a terminal, and Python's reading of an article.
inline std::string PeerReaders(const std::vector<std::string>& args)
{
    std::string command = "python3 " LUMETRA_SOURCE_DIR "/tests/integration/peer_readers.py";
    for (const std::string& a : args)
        command += " " + testutil::Quote(a);
    return testutil::Shell(command + " 2>&1");
}

// Text without blanks and line ends: terminal readers wrap and pad it.
inline std::string Squeezed(std::string s)
{
    std::erase_if(s, [](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; });
    return s;
}

// Posts plain articles over one raw connection, independent of the client under test.
class Poster {
public:
    explicit Poster(const Server& s) : fd_(newstest::ScriptedHost::PlainConnect(s.host, s.port)) { Line(); }
    ~Poster() { Send("QUIT\r\n"), ::close(fd_); }
    bool Post(const std::string& group, const std::string& subject)
    {
        Send("POST\r\n");
        if (!Line().starts_with("340"))
            return false;
        Send("From: tester@example.invalid\r\nNewsgroups: " + group + "\r\nSubject: " + subject +
             "\r\n\r\nbody of " + subject + "\r\n.\r\n");
        return Line().starts_with("240");
    }
    // An article of header lines (CR LF each) and body (LF or CR LF lines).
    bool PostRaw(const std::string& header, const std::string& body) { return PostArticle(header + "\r\n" + body); }
    // First and last of "211 count first last".
    std::pair<int, int> Range(const std::string& group)
    {
        Send("GROUP " + group + "\r\n");
        int c = 0, f = 0, l = 0;
        std::sscanf(Line().c_str(), "211 %d %d %d", &c, &f, &l);
        return {f, l};
    }
    // Numbers in lo..hi whose field holds tag, newest first.
    std::vector<int> Find(const std::string& group, int lo, int hi, const std::string& tag,
                          const std::string& field = "Subject")
    {
        Range(group);
        std::vector<int> found;
        Send("XHDR " + field + " " + std::to_string(lo) + "-" + std::to_string(hi) + "\r\n");
        if (Line().starts_with("221"))
            for (std::string l = Line(); l != ".\r\n" && !l.empty(); l = Line())
                if (l.find(tag) != std::string::npos)
                    found.insert(found.begin(), std::atoi(l.c_str()));
        return found;
    }

    // Posts a whole article (headers, blank line, body); LF or CR LF lines go
    // as CR LF, dot-stuffed here.
    bool PostArticle(const std::string& article)
    {
        Send("POST\r\n");
        if (!Line().starts_with("340"))
            return false;
        std::string wire;
        for (std::size_t at = 0; at < article.size();) {
            const std::size_t lf = std::min(article.find('\n', at), article.size() - 1);
            if (article[at] == '.')
                wire += '.';
            std::string_view line(article.data() + at, lf + 1 - at);
            if (line.ends_with("\r\n"))
                line.remove_suffix(2);
            else if (line.ends_with("\n"))
                line.remove_suffix(1);
            wire.append(line).append("\r\n");
            at = lf + 1;
        }
        Send(wire + ".\r\n");
        return Line().starts_with("240");
    }

private:
    void Send(const std::string& s) { (void)!::send(fd_, s.data(), s.size(), MSG_NOSIGNAL); }
    std::string Line()
    {
        std::string l;
        for (char c = 0; c != '\n' && ::recv(fd_, &c, 1, 0) == 1;)
            l += c;
        return l;
    }
    int fd_;
};

// Posts data to local.test as yEnc parts of partSize bytes named name; part k
// (1-based) gets Message-ID <idBase + "p" + k + "@lumetra.test"> unless k is in
// skip. The ids of all parts, without brackets; empty when a post failed.
inline std::vector<std::string> PostYencParts(const Server& s, const std::string& name, const std::string& data,
                                              std::size_t partSize, const std::string& idBase,
                                              const std::vector<unsigned>& skip = {})
{
    Poster poster(s);
    std::vector<std::string> ids;
    const unsigned total = unsigned((data.size() + partSize - 1) / partSize);
    for (unsigned k = 1; k <= total; ++k) {
        textcodec::YencPartInfo info;
        info.name = name;
        info.fileSize = data.size();
        info.part = k;
        info.total = total;
        info.begin = (k - 1) * partSize + 1;
        info.lineEnd = "\r\n";
        info.haveFileCrc = true;
        info.fileCrc = textcodec::Crc32(0, data);
        const std::string piece = data.substr((k - 1) * partSize, partSize);
        info.partSize = piece.size();
        ids.push_back(idBase + "p" + std::to_string(k) + "@lumetra.test");
        if (std::find(skip.begin(), skip.end(), k) == skip.end() &&
            !poster.PostArticle("From: p@example.invalid\r\nNewsgroups: local.test\r\nSubject: " + name +
                                " yEnc\r\nMessage-ID: <" + ids.back() + ">\r\n\r\n" +
                                textcodec::YencEncode(piece, info)))
            return {};
    }
    return ids;
}

} // namespace inttest
