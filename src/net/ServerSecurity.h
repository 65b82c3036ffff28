#pragma once
// How a connection to the news server is secured and logged in, and what the
// windows are told when a server's certificate is not accepted.

#include <string>

namespace net {

// Stored as the configuration's nSecurity.
enum class Security { None = 0, StartTls = 1, Tls = 2 };

inline constexpr int kNntpsPort = 563;

// Why a certificate failed verification.
enum class CertificateProblem { None, Expired, NotYetValid, WrongHost, UnknownIssuer, SelfSigned, Other };

struct CertificateInfo {
    std::string host;      // the name the user gave
    int port = 0;
    std::string subject;   // one-line forms
    std::string issuer;
    std::string notBefore; // "YYYY-MM-DD HH:MM:SS UTC"
    std::string notAfter;
    std::string sha256;    // "AB:CD:…" over the DER form; what a trusted certificate is kept as
    CertificateProblem problem = CertificateProblem::None;
    std::string detail;    // the TLS library's own words
};

// A login the server wants (right after connecting when a user name is
// configured, or after a 480 reply).
struct LoginRequest {
    std::string server;
    int port = 0;
    std::string user;        // preset: the configured user name, may be empty
    bool failedBefore = false; // the last password was refused (481): do not take a stored one
    std::string serverReply;   // the reply that asked or refused, for the window
};

// How one connection is secured and who logs in (the configuration's values).
struct SecuritySettings {
    Security security = Security::None;
    std::string user;                 // empty: log in only when the server asks
    bool allowPlainPassword = false;  // send the password without TLS
    std::string trustedCertificate;   // SHA-256 the user trusted for this server
    bool compress = true;             // COMPRESS DEFLATE when the server offers it
};

// Why a connection could not be set up or a login did not succeed.
enum class SessionFailure {
    None,
    Connection,       // the connection broke or the server did not answer
    Greeting,         // the server refused us in its greeting
    Tls,              // the TLS handshake failed or timed out
    Certificate,      // the certificate was not trusted
    NoStartTls,       // STARTTLS was asked for and the server does not offer it
    PlainPassword,    // a password would have gone out unencrypted
    LoginCancelled,   // the user gave no password
    LoginRefused,     // 481: user name or password wrong
    LoginOutOfOrder,  // 482: the server would not take the login now
    LoginUnavailable, // 502: no login on this server (or not without TLS)
};

// What the server did to end a session or a reply, where the server rather
// than the socket was at fault.
enum class ServerProblem {
    None,
    Refused,             // its greeting turned us away; detail: the reply
    ModeReaderRefused,   // detail: the reply
    CapabilitiesTooLong, // detail: the limit in KB
    ReplyTooLong,        // detail: the limit in MB
    ReplyTooSlow,        // lines kept coming past the reply's deadline; detail: seconds
    Silent,              // nothing came within a line's wait; detail: seconds
    ListRefused,         // the group list was refused; detail: the reply
};

// What a failed start says about the port: it expects the other kind of
// connection (a TLS server stays silent before a plain greeting; a plain
// server's greeting is no TLS record).
enum class PortHint { None, ExpectsTls, ExpectsPlain };

} // namespace net
