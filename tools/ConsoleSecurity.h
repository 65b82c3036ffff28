#pragma once
// The tool's side of security and login: the options that override the
// configuration, the password from the environment or the terminal, and the
// certificate decision taken on the command line.

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "net/ServerSecurity.h"

namespace tools {

// Where the tool takes a password from before it asks on the terminal.
inline constexpr const char* kPasswordVariable = "LUMETRA_NNTP_PASSWORD";

struct SecurityOptions {
    std::optional<net::Security> security; // --security none|starttls|tls
    std::optional<std::string> user;        // --user NAME
    std::string trust;                      // --trust SHA256
    std::string caFile;                     // --cafile FILE: trust only these certificates
    bool allowPlain = false;                // --allow-plain-password
    bool noCompress = false;                // --no-compress: no COMPRESS DEFLATE even when offered

    // Takes args[i] (and its value) when it is one of the options above;
    // false otherwise. bad is set for a known option with a wrong value.
    bool Take(const std::vector<std::string>& args, std::size_t& i, bool& bad);
    // The settings with the options applied.
    net::SecuritySettings Apply(net::SecuritySettings settings) const;
};

inline constexpr const char* kSecurityUsage =
    "[--security none|starttls|tls] [--user NAME] [--trust SHA256] [--cafile FILE] [--allow-plain-password] [--no-compress]";

// A login for the console: the user from the request (or the terminal), the
// password from the environment, else from the terminal without echo.
// False when there is none (no terminal) or the server refused the last one
// and it came from the environment.
bool ConsoleLogin(const net::LoginRequest& request, std::string& user, std::string& password, std::ostream& err);
// Says why the certificate failed and its fingerprint; true when it is the
// one given with --trust.
bool ConsoleTrust(const net::CertificateInfo& info, const std::string& trust, std::ostream& err);

} // namespace tools
