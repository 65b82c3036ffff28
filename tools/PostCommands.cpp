#include "tools/ToolCommands.h"

#include "net/Nntp.h"
#include "news/PostArticle.h"
#include "tools/ConsoleSecurity.h"
#include "platform/MessageFormat.h"
#include "news/ServerLogin.h"
#include "platform/StringTable.h"

#include <algorithm>
#include <cstdlib>
#include <istream>
#include <iterator>
#include <ostream>

namespace tools {

namespace {

bool ServerOption(const Args& args, std::size_t& i, std::string& server, int& port)
{
    if (args[i] == "--server" && i + 1 < args.size()) {
        server = args[++i];
        return true;
    }
    if (args[i] == "--port" && i + 1 < args.size()) {
        port = std::atoi(args[++i].c_str());
        return true;
    }
    return false;
}

void PrintMessage(unsigned id, const std::vector<std::string>& args, std::ostream& err)
{
    std::string text;
    for (const platform::MessagePiece& piece : platform::FormatMessagePieces(platform::LoadString(id), args))
        text += piece.code == platform::TextCode::Utf8 ? piece.text : SjisToUtf8(piece.text);
    // The table's line breaks stay; the server's control characters do not.
    for (std::size_t start = 0, end; start <= text.size(); start = end + 1) {
        end = std::min(text.find('\n', start), text.size());
        err << TerminalText(text.substr(start, end - start), false) << "\n";
    }
}

std::string Trimmed(std::string line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    return line;
}

} // namespace

int PostCommand(const Args& args, std::istream& in, std::ostream& out, std::ostream& err)
{
    news::PostParams settings;
    settings.strMailAddress = "lumetra@localhost.invalid";
    news::PostForm form;
    SecurityOptions security;
    static const std::pair<const char*, int> encodings[] = {{"base64", 0}, {"binhex", 1}, {"uuencode", 2}};
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool more = i + 1 < args.size();
        if (ServerOption(args, i, settings.strNntpServer, settings.nNntpPort))
            continue;
        bool bad = false;
        if (security.Take(args, i, bad)) {
            if (bad)
                return err << "post: bad value for " << a << "\n", 2;
            continue;
        }
        if (a == "--group" && more) {
            form.newsgroups = args[++i];
        } else if (a == "--subject" && more) {
            form.subject = args[++i];
        } else if (a == "--from" && more) {
            settings.strMailAddress = args[++i];
        } else if (a == "--attach" && more) {
            form.attachPath = args[++i];
        } else if (a == "--code" && more) {
            const std::string& c = args[++i];
            if (c == "jis")
                settings.PostKanjiCode = textcodec::KanjiCode::Jis;
            else if (c == "sjis")
                settings.PostKanjiCode = textcodec::KanjiCode::Sjis;
            else if (c == "euc")
                settings.PostKanjiCode = textcodec::KanjiCode::Euc;
            else if (c == "utf8")
                settings.PostKanjiCode = textcodec::KanjiCode::Utf8;
            else
                return err << "post: unknown code " << c << "\n", 2;
        } else if (a == "--encoding" && more) {
            form.attachEncoding = -1;
            for (const auto& [name, index] : encodings)
                if (args[i + 1] == name)
                    form.attachEncoding = index;
            if (form.attachEncoding < 0)
                return err << "post: unknown encoding " << args[i + 1] << "\n", 2;
            ++i;
        } else {
            return err << "post: unexpected " << a << "\n", 2;
        }
    }
    if (settings.strNntpServer.empty() || form.newsgroups.empty())
        return err << "post: --server and --group are required\n", 2;
    form.body.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());

    settings.security = security.Apply({});
    settings.askLogin = [&err](const net::LoginRequest& r, std::string& user, std::string& password) {
        return ConsoleLogin(r, user, password, err);
    };
    settings.askTrust = [&err, &security](const net::CertificateInfo& info) {
        return ConsoleTrust(info, security.trust, err);
    };
    news::PostHooks hooks;
    hooks.caFile = security.caFile;
    hooks.error = [&err](const std::string& text) { err << text << "\n"; };
    const news::PostOutcome outcome = news::PostArticle(form, settings, hooks);
    if (outcome.posted) {
        out << "posted\n";
        return 0;
    }
    if (outcome.messageId != 0)
        PrintMessage(outcome.messageId, outcome.args, err);
    if (!outcome.serverReply.empty())
        err << Trimmed(outcome.serverReply) << "\n";
    if (outcome.maybePosted)
        err << "post: no answer after the article was sent; it may have been posted\n";
    return 1;
}

int FetchCommand(const Args& args, std::ostream& out, std::ostream& err)
{
    std::string server;
    int port = 119;
    std::string group;
    int number = 0;
    SecurityOptions security;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (ServerOption(args, i, server, port))
            continue;
        bool bad = false;
        if (security.Take(args, i, bad)) {
            if (bad)
                return err << "fetch: bad value for " << args[i] << "\n", 2;
            continue;
        }
        if (group.empty())
            group = args[i];
        else if (number == 0)
            number = std::atoi(args[i].c_str());
        else
            return err << "fetch: unexpected " << args[i] << "\n", 2;
    }
    if (server.empty() || group.empty() || number <= 0)
        return err << "fetch: --server, GROUP and N are required\n", 2;

    net::CNntp nntp;
    nntp.SetErrorReporter([&err](const std::string& text) { err << text << "\n"; });
    nntp.SetSecurity(security.Apply({}));
    nntp.Tcp().SetCaFile(security.caFile);
    nntp.SetLoginHandler([&err](const net::LoginRequest& r, std::string& user, std::string& password) {
        return ConsoleLogin(r, user, password, err);
    });
    nntp.SetTrustHandler([&](const net::CertificateInfo& info) { return ConsoleTrust(info, security.trust, err); });
    nntp.SetFailureHandler([&err](net::SessionFailure failure, const std::string& detail) {
        if (const unsigned id = news::SessionFailureMessage(failure))
            PrintMessage(id, {detail}, err);
    });
    std::string reply;
    int count = 0, first = 0, last = 0, code = 0;
    if (!nntp.Open(server, 1, port) || !nntp.StartSession(true) || !nntp.Group(group, reply, count, first, last) ||
        !nntp.Article(number, code)) {
        err << Trimmed(nntp.LastReply()) << "\n";
        return 1;
    }
    std::string line;
    int rc = 0;
    while ((rc = nntp.ReadDataLine(line)) == 1)
        out << (line.starts_with("..") ? line.substr(1) : line);
    nntp.Quit();
    return rc == 0 ? 0 : 1;
}

} // namespace tools
