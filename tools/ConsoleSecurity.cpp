#include "tools/ConsoleSecurity.h"

#include "net/TlsSession.h"
#include "platform/MessageFormat.h"
#include "platform/StringIds.h"
#include "platform/StringTable.h"
#include "tools/ToolCommands.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <ostream>

#include <termios.h>
#include <unistd.h>

namespace tools {

namespace {

const char* ProblemText(net::CertificateProblem p)
{
    using P = net::CertificateProblem;
    switch (p) {
    case P::Expired:
        return "the certificate has expired";
    case P::NotYetValid:
        return "the certificate is not valid yet";
    case P::WrongHost:
        return "the certificate is for another host name";
    case P::UnknownIssuer:
        return "the certificate's issuer is not trusted";
    case P::SelfSigned:
        return "the certificate is self-signed";
    default:
        return "the certificate could not be verified";
    }
}

// One line from the terminal; without echo for a password.
bool ReadTerminal(const std::string& prompt, bool secret, std::string& out, std::ostream& err)
{
    if (!::isatty(STDIN_FILENO))
        return false;
    err << prompt << std::flush;
    termios old{};
    const bool quiet = secret && ::tcgetattr(STDIN_FILENO, &old) == 0;
    if (quiet) {
        termios t = old;
        t.c_lflag &= static_cast<tcflag_t>(~ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &t);
    }
    const bool ok = static_cast<bool>(std::getline(std::cin, out));
    if (quiet) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
        err << "\n";
    }
    return ok;
}

} // namespace

bool SecurityOptions::Take(const std::vector<std::string>& args, std::size_t& i, bool& bad)
{
    const std::string& a = args[i];
    if (a == "--allow-plain-password") {
        allowPlain = true;
        return true;
    }
    if (a == "--no-compress") {
        noCompress = true;
        return true;
    }
    if (i + 1 >= args.size())
        return false;
    const std::string& v = args[i + 1];
    if (a == "--security") {
        if (v == "none")
            security = net::Security::None;
        else if (v == "starttls")
            security = net::Security::StartTls;
        else if (v == "tls")
            security = net::Security::Tls;
        else
            bad = true;
    } else if (a == "--user") {
        user = v;
    } else if (a == "--trust") {
        trust = v;
    } else if (a == "--cafile") {
        caFile = v;
    } else {
        return false;
    }
    ++i;
    return true;
}

net::SecuritySettings SecurityOptions::Apply(net::SecuritySettings s) const
{
    if (security)
        s.security = *security;
    if (user)
        s.user = *user;
    if (allowPlain)
        s.allowPlainPassword = true;
    if (noCompress)
        s.compress = false;
    return s;
}

bool ConsoleLogin(const net::LoginRequest& request, std::string& user, std::string& password, std::ostream& err)
{
    // Nobody can try again without a terminal; the refusal is told once, by the caller.
    if (request.failedBefore && !::isatty(STDIN_FILENO))
        return false;
    if (!request.serverReply.empty() && request.failedBefore)
        err << TerminalText(request.server, false) << ": " << TerminalText(request.serverReply, false) << "\n";
    user = request.user;
    if (user.empty() && !ReadTerminal("User name for " + request.server + ": ", false, user, err)) {
        // Without a terminal nobody can answer: say what the server wanted.
        err << TerminalText(request.server, false) << ": "
            << TerminalText(platform::FormatSjisMessage(platform::LoadString(platform::IDS_61366), {request.serverReply}),
                            true, true)
            << "\n(--user NAME)\n";
        return false;
    }
    const char* env = std::getenv(kPasswordVariable);
    if (env && !request.failedBefore) {
        password = env;
        return true;
    }
    return ReadTerminal("Password for " + user + "@" + request.server + ": ", true, password, err);
}

bool ConsoleTrust(const net::CertificateInfo& info, const std::string& trust, std::ostream& err)
{
    if (net::SameFingerprint(info.sha256, trust))
        return true;
    err << TerminalText(info.host, false) << ":" << info.port << ": " << ProblemText(info.problem);
    if (!info.detail.empty())
        err << " (" << info.detail << ")";
    err << "\n  subject " << TerminalText(info.subject, false) << "\n  issuer  " << TerminalText(info.issuer, false)
        << "\n  valid   " << info.notBefore
        << " to " << info.notAfter << "\n  SHA-256 " << info.sha256 << "\n"
        << "To trust this certificate, run again with --trust " << info.sha256 << "\n";
    return false;
}

} // namespace tools
