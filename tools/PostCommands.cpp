#include "tools/ToolCommands.h"

#include "net/Nntp.h"
#include "news/PostArticle.h"
#include "tools/ConsoleSecurity.h"
#include "platform/MessageFormat.h"
#include "news/ServerLogin.h"
#include "platform/StringTable.h"
#include "platform/Registry.h"
#include "platform/StringIds.h"
#include "textcodec/Charsets.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

// The Cancel-Lock secret: $LUMETRA_CANCEL_SECRET, else the file
// cancel-secret beside the user's registry, which must be private (0600).
bool CancelSecret(std::string& secret, std::ostream& err)
{
    if (const char* env = std::getenv("LUMETRA_CANCEL_SECRET"); env && *env) {
        secret = env;
        return true;
    }
    const std::filesystem::path file = platform::Registry::UserStorePath().parent_path() / "cancel-secret";
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    if (error || !std::filesystem::is_regular_file(status))
        return true; // no secret: posts carry no lock
    using std::filesystem::perms;
    if ((status.permissions() & (perms::group_all | perms::others_all)) != perms::none) {
        err << "post: " << file.string() << " is readable by others; make it 0600\n";
        return false;
    }
    std::ifstream in(file, std::ios::binary);
    std::getline(in, secret);
    return true;
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
    std::string target;
    bool supersede = false;
    SecurityOptions security;
    static const std::pair<const char*, int> encodings[] = {{"base64", 0}, {"binhex", 1}, {"uuencode", 2}, {"yenc", 3}};
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
        // Arguments come in the locale's code, UTF-8.
        if (a == "--group" && more) {
            form.newsgroups = textcodec::Utf8ToSjis(args[++i]);
        } else if (a == "--subject" && more) {
            form.subject = textcodec::Utf8ToSjis(args[++i]);
        } else if (a == "--from" && more) {
            settings.strMailAddress = textcodec::Utf8ToSjis(args[++i]);
        } else if (a == "--replace") {
            form.replaceUncarried = true;
        } else if ((a == "--cancel" || a == "--supersede") && more) {
            target = args[++i];
            supersede = a == "--supersede";
        } else if (a == "--references" && more) {
            form.references = args[++i];
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
    std::string secret;
    if (!CancelSecret(secret, err))
        return 1;
    if (!target.empty() && !supersede) {
        const std::string groups = form.newsgroups;
        form = news::CancelForm(target, groups, secret);
    } else {
        form.body.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        form.cancelSecret = secret;
        if (supersede)
            news::MakeSupersede(form, target, secret);
    }

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
        out << "posted";
        if (!outcome.postedId.empty())
            out << " " << outcome.postedId;
        out << "\n";
        return 0;
    }
    if (outcome.messageId != 0)
        PrintMessage(outcome.messageId, outcome.args, err);
    if (outcome.messageId == platform::IDS_61340)
        err << "post: use --code utf8, or --replace to send GETA MARK in its place\n";
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
