#include "tools/ToolCommands.h"

#include "news/LumeDoc.h"
#include "platform/MessageFormat.h"
#include "platform/StringTable.h"

#include <chrono>
#include <ctime>
#include <iconv.h>
#include <netdb.h>
#include <ostream>
#include <sys/socket.h>
#include <unistd.h>

using namespace news;

namespace tools {

namespace {

class ConsoleHost : public DocumentHost {
public:
    explicit ConsoleHost(std::ostream& err) : m_err(err) {}
    int ShowMessage(unsigned id, MessageIcon, const std::vector<std::string>& args) override
    {
        for (const platform::MessagePiece& piece : platform::FormatMessagePieces(platform::LoadString(id), args))
            m_err << (piece.code == platform::TextCode::Utf8 ? piece.text : SjisToUtf8(piece.text));
        m_err << "\n";
        return IDOK;
    }
    int ShowMessageText(const std::string& text, MessageIcon) override
    {
        m_err << text << "\n";
        return IDOK;
    }
    int ConnectServer(const std::string& server, int port) override
    {
        addrinfo hints{}, *res = nullptr;
        hints.ai_socktype = SOCK_STREAM;
        if (const int rc = ::getaddrinfo(server.c_str(), std::to_string(port).c_str(), &hints, &res); rc != 0) {
            m_err << server << ": " << ::gai_strerror(rc) << "\n";
            return -1;
        }
        int fd = -1;
        for (addrinfo* a = res; a && fd < 0; a = a->ai_next) {
            fd = ::socket(a->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (fd >= 0 && ::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
                ::close(fd);
                fd = -1;
            }
        }
        ::freeaddrinfo(res);
        if (fd < 0)
            m_err << server << ":" << port << ": cannot connect\n";
        return fd;
    }

private:
    std::ostream& m_err;
};

struct Options {
    std::string config;
    std::string group;
    bool save = false;
    int limit = -2; // -2: the configuration's
};

bool ParseOptions(const Args& args, Options& o, bool wantGroup)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--config" && i + 1 < args.size())
            o.config = args[++i];
        else if (args[i] == "--save" && wantGroup)
            o.save = true;
        else if (args[i] == "--limit" && wantGroup && i + 1 < args.size())
            o.limit = std::atoi(args[++i].c_str());
        else if (wantGroup && o.group.empty() && args[i].rfind("--", 0) != 0)
            o.group = args[i];
        else
            return false;
    }
    return !o.config.empty() && (!wantGroup || !o.group.empty());
}

bool GoOnline(CLumeDoc& doc, const std::string& config, std::ostream& err)
{
    if (!doc.OnOpenDocument(config)) {
        err << config << ": cannot read the configuration\n";
        return false;
    }
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

} // namespace

std::string SjisToUtf8(const std::string& sjis)
{
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return sjis;
    std::string out;
    out.resize(sjis.size() * 3 + 4);
    char* in = const_cast<char*>(sjis.data());
    std::size_t inLeft = sjis.size();
    char* o = out.data();
    std::size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &o, &outLeft) != static_cast<std::size_t>(-1))
            break;
        if (outLeft == 0)
            break;
        // Not Shift_JIS: one '?' for the byte, then go on.
        *o++ = '?';
        --outLeft;
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(out.size() - outLeft);
    iconv_close(cd);
    return out;
}

int OnlineCommand(const Args& args, std::ostream& out, std::ostream& err)
{
    Options o;
    if (!ParseOptions(args, o, false)) {
        err << "usage: lumetra-tool online --config FILE.lum\n";
        return 2;
    }
    ConsoleHost host(err);
    CLumeDoc doc(&host);
    const auto started = std::chrono::steady_clock::now();
    if (!GoOnline(doc, o.config, err))
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

int OpenCommand(const Args& args, std::ostream& out, std::ostream& err)
{
    Options o;
    if (!ParseOptions(args, o, true)) {
        err << "usage: lumetra-tool open --config FILE.lum [--save] [--limit N] GROUP\n";
        return 2;
    }
    ConsoleHost host(err);
    CLumeDoc doc(&host);
    if (!GoOnline(doc, o.config, err))
        return 1;
    if (o.limit != -2)
        doc.Config().nMaxReadArtcleCount = o.limit;
    CNewsGroup* group = doc.Groups().Find(o.group);
    if (!group) {
        err << o.group << ": not in the server's group list\n";
        return 1;
    }
    doc.SetCurrentGroup(group);
    if (!doc.OpenCurrentGroup()) {
        err << o.group << ": could not read the article list\n";
        return 1;
    }
    for (const auto& a : doc.Articles()) {
        char date[32] = "--/-- --:--";
        if (a->m_timeDate != 0) {
            const std::time_t t = static_cast<std::time_t>(a->m_timeDate);
            std::tm tm {};
            if (::localtime_r(&t, &tm))
                std::strftime(date, sizeof date, "%Y/%m/%d %H:%M", &tm);
        }
        out << a->m_nNumber << "\t" << date << "\t" << SjisToUtf8(a->m_strFrom) << "\t" << SjisToUtf8(a->m_strSubject)
            << (a->m_bRead ? "\t(read)" : "") << "\n";
    }
    // Every listed article counts as read, as when the pane shows it.
    if (o.save) {
        for (const auto& a : doc.Articles())
            doc.MarkArticleRead(a->m_nNumber);
        if (!doc.OnSaveDocument(o.config)) {
            err << o.config << ": could not save\n";
            return 1;
        }
    }
    return 0;
}

} // namespace tools
