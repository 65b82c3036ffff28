#include "tools/ToolCommands.h"

#include "net/Tcpip.h"
#include "news/LumeDoc.h"
#include "news/MultiPart.h"
#include "news/Nzb.h"
#include "tools/ConsoleSecurity.h"
#include "news/ServerLogin.h"
#include "platform/WinsockError.h"
#include "platform/MessageFormat.h"
#include "platform/StringTable.h"
#include "textcodec/Charsets.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <ctime>
#include <netdb.h>
#include <ostream>
#include <sys/socket.h>
#include <unistd.h>

using namespace news;

namespace tools {

namespace {

bool StopRequested();

class ConsoleHost : public DocumentHost {
public:
    ConsoleHost(std::ostream& err, const SecurityOptions& security) : err_(err), security_(security) {}
    bool AskLogin(const net::LoginRequest& request, std::string& user, std::string& password) override
    {
        return ConsoleLogin(request, user, password, err_);
    }
    bool AskTrustCertificate(const net::CertificateInfo& info) override
    {
        return ConsoleTrust(info, security_.trust, err_);
    }
    int ShowMessage(unsigned id, MessageIcon, const std::vector<std::string>& args) override
    {
        for (const platform::MessagePiece& piece : platform::FormatMessagePieces(platform::LoadString(id), args))
            err_ << TerminalText(piece.text, piece.code != platform::TextCode::Utf8, true);
        err_ << "\n";
        return IDOK;
    }
    int ShowMessageText(const std::string& text, MessageIcon) override
    {
        err_ << TerminalText(text) << "\n";
        return IDOK;
    }
    int ConnectServer(const std::string& server, int port) override
    {
        // The library's connect: bounded by the wait settings and by the pump's stop.
        std::vector<net::SocketAddress> addresses;
        net::CTcpip tcp;
        tcp.SetPump([this] { PumpEvents(); });
        tcp.SetTimeouts(timeouts_);
        if (const int rc = tcp.SetAddr(addresses, server, port); rc != 0) {
            err_ << TerminalText(server) << ": " << platform::WinsockErrorText(rc) << "\n";
            return -1;
        }
        const std::int64_t limit = timeouts_.LineLimitMs();
        for (const net::SocketAddress& a : addresses) {
            if (tcp.CreateSocket(a.family, SOCK_STREAM, 0) != 0)
                break;
            if (tcp.Connect(reinterpret_cast<const sockaddr*>(&a.addr), a.length, limit) == 0)
                return tcp.Socket(); // the document owns it from here
            tcp.Close();
        }
        err_ << TerminalText(server) << ":" << port << ": cannot connect\n";
        return -1;
    }
    // The connect step waits as the document's connection does.
    void SetTimeouts(net::TcpTimeouts timeouts) { timeouts_ = timeouts; }
    std::unique_ptr<DocumentProgress> MakeProgress(int) override { return std::make_unique<StopProgress>(); }
    // A network wait runs this between its slices: Ctrl+C or the time budget ends it.
    void PumpEvents() override
    {
        if (StopRequested())
            net::CancelBlockingCall();
    }

private:
    class StopProgress : public NullProgress {
    public:
        bool Cancelled() const override { return StopRequested(); }
    };
    std::ostream& err_;
    const SecurityOptions& security_;
    net::TcpTimeouts timeouts_;
};

volatile std::sig_atomic_t g_interrupted = 0;
std::chrono::steady_clock::time_point g_deadline = std::chrono::steady_clock::time_point::max();

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

bool StopRequested() { return g_interrupted || std::chrono::steady_clock::now() >= g_deadline; }

// Ctrl+C and the time budget stop the network work; what the tool writes
// (the configuration, news.rc) is then left as it was.
class StopScope {
public:
    explicit StopScope(int seconds)
    {
        g_interrupted = 0;
        g_deadline = seconds > 0 ? std::chrono::steady_clock::now() + std::chrono::seconds(seconds)
                                 : std::chrono::steady_clock::time_point::max();
        struct sigaction sa {};
        sa.sa_handler = OnInterrupt;
        ::sigemptyset(&sa.sa_mask);
        ::sigaction(SIGINT, &sa, &old_);
    }
    ~StopScope() { ::sigaction(SIGINT, &old_, nullptr); }
    StopScope(const StopScope&) = delete;
    StopScope& operator=(const StopScope&) = delete;
    // Says why the work stopped, if it was stopped.
    static bool Report(std::ostream& err)
    {
        if (g_interrupted)
            err << "interrupted; nothing was saved\n";
        else if (std::chrono::steady_clock::now() >= g_deadline)
            err << "the time budget ran out; nothing was saved\n";
        else
            return false;
        return true;
    }

private:
    struct sigaction old_ {};
};

struct Options {
    std::string config;
    std::string group;
    bool save = false;
    int limit = -2; // -2: the configuration's
    int timeout = 0; // seconds for the whole command; 0: none
    std::string headerStore; // empty: none
    bool timing = false;      // the open's time on stderr
    SecurityOptions security;
};

bool ParseOptions(const Args& args, Options& o, bool wantGroup)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        bool bad = false;
        if (o.security.Take(args, i, bad)) {
            if (bad)
                return false;
            continue;
        }
        if (args[i] == "--config" && i + 1 < args.size())
            o.config = args[++i];
        else if (args[i] == "--save" && wantGroup)
            o.save = true;
        else if (args[i] == "--limit" && i + 1 < args.size())
            o.limit = std::atoi(args[++i].c_str());
        else if (args[i] == "--timeout" && i + 1 < args.size())
            o.timeout = std::atoi(args[++i].c_str());
        else if (args[i] == "--header-store" && wantGroup && i + 1 < args.size())
            o.headerStore = args[++i];
        else if (args[i] == "--timing" && wantGroup)
            o.timing = true;
        else if (wantGroup && o.group.empty() && args[i].rfind("--", 0) != 0)
            o.group = args[i];
        else
            return false;
    }
    return !o.config.empty() && (!wantGroup || !o.group.empty());
}

bool GoOnline(CLumeDoc& doc, ConsoleHost& host, const Options& o, std::ostream& err, LumeConfig* asRead = nullptr)
{
    const std::string& config = o.config;
    if (!doc.OnOpenDocument(config)) {
        err << config << ": cannot read the configuration\n";
        return false;
    }
    host.SetTimeouts(doc.Nntp().Tcp().Timeouts());
    // The options hold for this run; the file keeps its own values.
    LumeConfig& c = doc.Config();
    if (asRead)
        *asRead = c;
    const net::SecuritySettings s = o.security.Apply(SecurityOf(c));
    c.nSecurity = static_cast<int>(s.security);
    c.strUserName = s.user;
    c.bAllowPlainPassword = s.allowPlainPassword;
    c.bCompress = s.compress;
    if (!o.security.caFile.empty())
        doc.Nntp().Tcp().SetCaFile(o.security.caFile);
    if (doc.Config().strNntpServer.empty()) {
        err << config << ": no strNntpServer\n";
        return false;
    }
    if (!doc.GoOnline(config)) {
        err << "could not go online\n";
        return false;
    }
    return true;
}

// One command's time on the server: the stop, the host and the document,
// online once Start says so.
struct OnlineRun {
    OnlineRun(platform::Registry& registry, const Options& options, std::ostream& errors)
        : o(options), err(errors), stop(o.timeout), host(err, o.security), doc(&host, registry)
    {
    }
    bool Start(LumeConfig* asRead = nullptr)
    {
        if (GoOnline(doc, host, o, err, asRead))
            return true;
        StopScope::Report(err);
        return false;
    }
    // The group's article list, with the read limit the options give.
    bool OpenGroup(const std::string& name)
    {
        if (o.limit != -2)
            doc.Config().nMaxReadArtcleCount = o.limit;
        CNewsGroup* group = doc.Groups().Find(name);
        if (!group) {
            err << TerminalText(name) << ": not in the server's group list\n";
            return false;
        }
        doc.SetCurrentGroup(group);
        if (!doc.OpenCurrentGroup() || StopScope::Report(err)) {
            err << TerminalText(name) << ": could not read the article list\n";
            return false;
        }
        return true;
    }

    const Options& o;
    std::ostream& err;
    StopScope stop;
    ConsoleHost host;
    CLumeDoc doc;
};

} // namespace

std::string SjisToUtf8(const std::string& sjis)
{
    // The library's own conversion, so characters kept as escapes print as themselves.
    return textcodec::SjisToUtf8(sjis, U'?');
}

std::string TerminalText(const std::string& text, bool sjis, bool keepLines)
{
    const std::string utf8 = sjis ? SjisToUtf8(text) : text;
    // C0, DEL and C1 (U+0080..U+009F, C2 80..C2 9F in UTF-8) could drive the terminal.
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        const bool lineEnd = c == '\n' || c == '\t' || (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n');
        if (keepLines && lineEnd) {
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            out += '?';
        } else if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
            out += '?';
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int OnlineCommand(platform::Registry& registry, const Args& args, std::ostream& out, std::ostream& err)
{
    Options o;
    if (!ParseOptions(args, o, false)) {
        err << "usage: lumetra-tool online --config FILE.lum [--timeout SECONDS] " << kSecurityUsage << "\n";
        return 2;
    }
    OnlineRun run(registry, o, err);
    CLumeDoc& doc = run.doc;
    const auto started = std::chrono::steady_clock::now();
    if (!run.Start())
        return 1;
    const double total = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    const auto& s = doc.LastGroupListStats();
    long long subscribed = 0, fresh = 0;
    doc.Groups().ForEach([&](const CNewsGroup& g) {
        subscribed += g.m_bSubscribed;
        fresh += g.m_bNew;
    });
    out << "groups " << doc.Groups().GetCount() << " (listed " << s.lines << ", subscribed " << subscribed << ", new "
        << fresh << ")\n";
    out << "LIST " << s.totalMs << " ms, of which merge " << s.mergeMs << " ms; going online " << total << " ms\n";
    doc.GoOffline();
    return 0;
}

int OpenCommand(platform::Registry& registry, const Args& args, std::ostream& out, std::ostream& err)
{
    Options o;
    if (!ParseOptions(args, o, true)) {
        err << "usage: lumetra-tool open --config FILE.lum [--save] [--limit N] [--timeout SECONDS] [--header-store FILE] [--timing] "
            << kSecurityUsage << " GROUP\n";
        return 2;
    }
    OnlineRun run(registry, o, err);
    CLumeDoc& doc = run.doc;
    doc.UseHeaderStore(o.headerStore);
    LumeConfig asRead;
    if (!run.Start(&asRead))
        return 1;
    const auto started = std::chrono::steady_clock::now();
    if (!run.OpenGroup(o.group))
        return 1;
    if (o.timing)
        err << "open " << doc.Articles().size() << " articles: "
            << std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count()
            << " ms\n";
    for (const auto& a : doc.Articles()) {
        char date[32] = "--/-- --:--";
        if (a->m_timeDate != 0) {
            const std::time_t t = static_cast<std::time_t>(a->m_timeDate);
            std::tm tm {};
            if (::localtime_r(&t, &tm))
                std::strftime(date, sizeof date, "%Y/%m/%d %H:%M", &tm);
        }
        out << a->m_nNumber << "\t" << date << "\t" << TerminalText(a->m_strFrom) << "\t" << TerminalText(a->m_strSubject)
            << (a->m_bRead ? "\t(read)" : "") << "\n";
    }
    // Every listed article counts as read, as when the pane shows it.
    if (o.save) {
        for (const auto& a : doc.Articles())
            doc.MarkArticleRead(a->m_nNumber);
        LumeConfig& c = doc.Config();
        c.nSecurity = asRead.nSecurity;
        c.strUserName = asRead.strUserName;
        c.bAllowPlainPassword = asRead.bAllowPlainPassword;
        c.bCompress = asRead.bCompress;
        if (!doc.OnSaveDocument(o.config)) {
            err << o.config << ": could not save\n";
            return 1;
        }
    }
    return 0;
}

} // namespace tools

namespace tools {

int NzbCommand(platform::Registry& registry, const Args& args, std::ostream& out, std::ostream& err)
{
    Options o;
    if (args.size() < 2 || args[0].starts_with("--") || args[1].starts_with("--") ||
        !ParseOptions(Args(args.begin() + 2, args.end()), o, false)) {
        err << "usage: lumetra-tool nzb FILE.nzb DIR --config FILE.lum [--timeout SECONDS] " << kSecurityUsage << "\n";
        return 2;
    }
    const news::NzbDocument nzb = news::ReadNzbFile(args[0]);
    if (!nzb.error.empty()) {
        err << "nzb: " << args[0] << ": " << nzb.error << "\n";
        return 1;
    }
    std::error_code ec;
    std::filesystem::create_directories(args[1], ec);
    OnlineRun run(registry, o, err);
    CLumeDoc& doc = run.doc;
    if (!run.Start())
        return 1;
    std::size_t shownFile = SIZE_MAX;
    const news::NzbSummary summary = news::DownloadNzb(doc.Nntp(), nzb.files, args[1], [&](const news::NzbProgress& p) {
        if (p.file != shownFile) {
            shownFile = p.file;
            err << "file " << p.file + 1 << "/" << p.files << ": " << p.segments << " segments\n";
        }
        return true;
    });
    doc.GoOffline();
    int status = summary.error.empty() && !summary.cancelled ? 0 : 1;
    for (const news::NzbFileResult& f : summary.files) {
        out << (f.saved ? "saved" : "failed") << "\t" << TerminalText(f.name, false) << "\t" << f.bytes;
        if (!f.missing.empty())
            out << "\tmissing " << f.missing.size();
        if (!f.damaged.empty())
            out << "\tdamaged " << f.damaged.size();
        if (!f.problem.empty())
            out << "\t" << TerminalText(f.problem, false);
        out << "\n";
        if (!f.saved || !f.missing.empty() || !f.damaged.empty())
            status = 1;
    }
    if (!summary.error.empty())
        err << "nzb: " << summary.error << "\n";
    return status;
}

int JoinCommand(platform::Registry& registry, const Args& args, std::ostream& out, std::ostream& err)
{
    Args rest;
    bool keepPartial = false;
    for (std::size_t i = 3; i < args.size(); ++i)
        if (args[i] == "--keep-partial")
            keepPartial = true;
        else
            rest.push_back(args[i]);
    Options o;
    if (args.size() < 3 || args[0].starts_with("--") || args[1].starts_with("--") || args[2].starts_with("--") ||
        !ParseOptions(rest, o, false)) {
        err << "usage: lumetra-tool join GROUP SUBJECT DIR --config FILE.lum [--keep-partial] [--limit N] "
               "[--timeout SECONDS] "
            << kSecurityUsage << "\n";
        return 2;
    }
    std::error_code ec;
    std::filesystem::create_directories(args[2], ec);
    OnlineRun run(registry, o, err);
    CLumeDoc& doc = run.doc;
    if (!run.Start() || !run.OpenGroup(args[0]))
        return 1;
    // The first file whose subject holds the text given.
    const std::vector<PartFile> files = GroupPartFiles(doc.Articles());
    const auto file = std::find_if(files.begin(), files.end(),
                                   [&](const PartFile& f) { return f.stem.find(args[1]) != std::string::npos; });
    if (file == files.end()) {
        err << TerminalText(args[1]) << ": no file in parts with that subject\n";
        return 1;
    }
    err << TerminalText(file->stem) << ": " << file->Present() << "/" << file->total << " parts\n";
    const std::optional<JoinResult> r =
        doc.JoinPartFile(*file, {args[2], {}}, [&](const JoinResult&) { return keepPartial; });
    doc.GoOffline();
    if (!r || !r->error.empty() || r->cancelled) {
        err << "join: " << (r ? (r->cancelled ? "cancelled" : r->error) : "refused") << "\n";
        return 1;
    }
    out << (r->path.empty() ? "not saved" : "saved") << "\t" << TerminalText(r->path.filename().string(), false) << "\t"
        << r->bytes;
    for (const auto& [what, parts] : {std::pair{"missing", &r->missing}, std::pair{"damaged", &r->damaged}})
        if (!parts->empty()) {
            out << "\t" << what;
            for (std::size_t i = 0; i < parts->size(); ++i)
                out << (i ? "," : " ") << (*parts)[i];
        }
    if (!r->problem.empty())
        out << "\t" << TerminalText(r->problem, false);
    out << "\n";
    return r->Complete() ? 0 : 1;
}

} // namespace tools
