#include "net/Nntp.h"

#include <cctype>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <random>

#include "net/NntpReply.h"
#include "net/PostCodec.h"
#include "net/PostText.h"
#include "textcodec/Charsets.h"
#include "net/TlsSession.h"
#include "platform/Sjis.h"
#include "platform/WinsockError.h"

#include <openssl/crypto.h>

namespace net {

using namespace textcodec;

namespace {

constexpr std::int64_t kQuitWaitMs = 2000;
// Far above any real server's list.
constexpr std::size_t kMaxCapabilityBytes = 1u << 20;
// A wrong password may be typed again this often before the login gives up.
constexpr int kLoginAttempts = 3;
// LIST EXTENSIONS and LIST OVERVIEW.FMT are a few lines on every server.
constexpr std::size_t kMaxDiscoveryBytes = 64u << 10;
// GROUP, LIST OVERVIEW.FMT and a first OVER: what opening a group sends together.
constexpr std::size_t kOpeningAhead = 4;
// Status lines read past a mismatch before the marker's answer must have come.
constexpr std::size_t kResyncSlack = 64;

std::int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool StartsWithWord(std::string_view command, std::string_view word)
{
    if (command.size() < word.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(command[i])) != word[i])
            return false;
    return command.size() == word.size() || command[word.size()] == ' ' || command[word.size()] == '\r';
}

// Commands of the session's own setup: a 480 to them is no cue to log in.
bool IsSetupCommand(std::string_view command)
{
    for (std::string_view w : {"AUTHINFO", "CAPABILITIES", "STARTTLS", "MODE", "QUIT"})
        if (StartsWithWord(command, w))
            return true;
    return false;
}

// Commands a server in transit mode refuses until MODE READER.
bool IsReadingCommand(std::string_view command)
{
    for (std::string_view w : {"GROUP", "LIST", "HEAD", "ARTICLE", "BODY", "STAT", "XOVER", "OVER", "LISTGROUP",
                               "NEXT", "LAST", "XHDR", "HDR", "NEWNEWS", "NEWGROUPS"})
        if (StartsWithWord(command, w))
            return true;
    return false;
}

// Scrubs a secret from memory before its string lets go of it.
void Forget(std::string& secret)
{
    if (!secret.empty())
        OPENSSL_cleanse(secret.data(), secret.size());
    secret.clear();
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The words of a reply line, from p on: blanks, then a number or a word.
void SkipBlanks(std::string_view s, std::size_t& p)
{
    while (p < s.size() && s[p] == ' ')
        ++p;
}
void SkipNumber(std::string_view s, std::size_t& p)
{
    SkipBlanks(s, p);
    while (p < s.size() && IsDigit(s[p]))
        ++p;
}
std::string_view Word(std::string_view s, std::size_t& p)
{
    SkipBlanks(s, p);
    const std::size_t start = p;
    while (p < s.size() && s[p] != ' ' && s[p] != '\r' && s[p] != '\n')
        ++p;
    return s.substr(start, p - start);
}

bool IsStatusLine(const std::string& line)
{
    return line.size() >= 3 && IsDigit(line[0]) && IsDigit(line[1]) && IsDigit(line[2]);
}

// How long commands ahead may go unanswered before the server is suspected
// of losing them: a quarter of the configured wait, within bounds a busy
// server stays under and a user does not notice.
std::int64_t StallMs(const TcpTimeouts& timeouts)
{
    return std::clamp<std::int64_t>(std::int64_t{timeouts.WaitSec()} * 250, 250, 3000);
}

int LeadingNumber(std::string_view s)
{
    long long v = 0;
    for (char c : s) {
        if (!IsDigit(c))
            break;
        v = v * 10 + (c - '0');
        if (v > 0x7fffffff)
            return 0x7fffffff;
    }
    return static_cast<int>(v);
}

// Reads one decimal number (optionally signed) at p, skipping blanks first.
bool ReadNumber(const std::string& text, std::size_t& p, int& out)
{
    while (p < text.size() && (text[p] == ' ' || text[p] == '\t'))
        ++p;
    std::size_t start = p;
    if (p < text.size() && (text[p] == '-' || text[p] == '+'))
        ++p;
    std::size_t digits = p;
    while (p < text.size() && IsDigit(text[p]))
        ++p;
    if (p == digits)
        return false;
    errno = 0;
    long long v = std::strtoll(text.c_str() + start, nullptr, 10);
    if (errno == ERANGE || v > 0x7fffffffLL || v < -0x7fffffffLL - 1)
        return false;
    out = static_cast<int>(v);
    return true;
}

} // namespace

CNntp::CNntp() : CTextbaseProtocol("NNTP") {}

CNntp::~CNntp() { Quit(); }

int CNntp::Open(const std::string& host, int noDelay, int port)
{
    SetServer(host, port);
    dataPending_ = false;
    ResetAhead();
    if (!ConnectServer(host, noDelay, port))
        return 0;
    connected_ = 1;
    return 1;
}

void CNntp::SetServer(const std::string& host, int port)
{
    host_ = host;
    port_ = port;
}

void CNntp::Attach(int socket)
{
    tcp_.Close();
    tcp_.Attach(socket);
    dataPending_ = false;
    ResetAhead();
    overviewKnown_ = false;
    connected_ = 1;
}

int CNntp::ReadGreeting(bool allowReadOnly)
{
    std::string line;
    int n = tcp_.ReadLine(line);
    mask_.Apply(line);
    lastReply_ = line;
    replyCode_ = n > 0 ? LeadingNumber(line) : 0;
    if (n > 0 && (replyCode_ == reply::PostingAllowed || (allowReadOnly && replyCode_ == reply::PostingProhibited))) {
        modeReaderTried_ = false;
        return 1;
    }
    if (probeGreeting_)
        portHint_ = ProbeForTls(line);
    connected_ = 0;
    tcp_.Close();
    return 0;
}

int CNntp::Fail(SessionFailure failure, const std::string& detail)
{
    Report(failure, detail);
    dataPending_ = false;
    Disconnect();
    return 0;
}

namespace {
// A TLS record header: handshake (22) or alert (21), version 3.x.
bool LooksLikeTls(std::string_view bytes)
{
    return bytes.size() >= 2 && (bytes[0] == '\x16' || bytes[0] == '\x15') && bytes[1] == '\x03';
}

bool MentionsTls(std::string line)
{
    for (char& c : line)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return line.find("TLS") != std::string::npos || line.find("SSL") != std::string::npos;
}
} // namespace

PortHint CNntp::ProbeForTls(const std::string& line)
{
    if (LooksLikeTls(line) || LooksLikeTls(tcp_.Pending()))
        return PortHint::ExpectsTls;
    const int error = tcp_.LastError();
    if (error != platform::WSAETIMEDOUT || !line.empty() || !tcp_.Pending().empty())
        return PortHint::None;
    if (port_ == kNntpsPort)
        return PortHint::ExpectsTls;
    // A TLS server waits for our hello in silence; bytes that are no hello
    // make it answer with an alert. The session is lost anyway.
    std::string answer;
    constexpr std::int64_t kProbeMs = 3000;
    const std::int64_t limit = std::min(tcp_.LineLimitMs(), kProbeMs);
    if (tcp_.SendAll("QUIT\r\n", 6, limit) == 6)
        tcp_.ReadLine(answer, limit);
    // INN's nnrpd answers in the clear that its TLS start failed.
    const bool tls = LooksLikeTls(answer) || LooksLikeTls(tcp_.Pending()) || MentionsTls(answer);
    // The user is told of the wait that failed, not of the probe.
    tcp_.SetLastError(error);
    return tls ? PortHint::ExpectsTls : PortHint::None;
}

namespace {
// A reply line as the user is shown it: without its line end.
std::string ShownReply(std::string line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    return line;
}
} // namespace

void CNntp::Report(SessionFailure failure, const std::string& detail)
{
    failure_ = failure;
    if (auto f = failed_)
        f(failure, ShownReply(detail));
}

int CNntp::StartSession(bool allowReadOnly)
{
    failure_ = SessionFailure::None;
    SetProblem(ServerProblem::None, {});
    portHint_ = PortHint::None;
    loggedIn_ = false;
    modeReaderTried_ = true;
    capabilities_.Clear();
    overviewKnown_ = false;
    overview_ = {};
    if (connected_ != 1)
        return Fail(SessionFailure::Connection, {});
    if (security_.security == Security::Tls && !BeginTls())
        return 0;
    // The posting connection may be greeted read-only and be let post once logged in.
    probeGreeting_ = true;
    const int greeted = ReadGreeting(true);
    probeGreeting_ = false;
    if (!greeted) {
        failure_ = replyCode_ == reply::None ? SessionFailure::Connection : SessionFailure::Greeting;
        if (failure_ == SessionFailure::Greeting)
            SetProblem(ServerProblem::Refused, ShownReply(lastReply_));
        Report(failure_, lastReply_);
        return 0;
    }
    const std::string greeting = lastReply_;
    const int greetingCode = replyCode_;
    bool readOnly = greetingCode == reply::PostingProhibited;
    if (!ReadCapabilities())
        return Fail(SessionFailure::Connection, lastReply_);
    if (security_.security == Security::StartTls) {
        // Never fall back to the clear when protection was asked for.
        if (!capabilities_.Has("STARTTLS"))
            return Fail(SessionFailure::NoStartTls, {});
        if (!Exchange("STARTTLS", nullptr) || replyCode_ != reply::ContinueWithTls)
            return Fail(connected_ == 1 ? SessionFailure::NoStartTls : SessionFailure::Connection, lastReply_);
        if (!BeginTls())
            return 0;
        // What was said in the clear may have been forged: ask again.
        if (!ReadCapabilities())
            return Fail(SessionFailure::Connection, lastReply_);
    }
    if (capabilities_.Has("MODE-READER")) {
        modeReaderTried_ = true;
        if (!Exchange("MODE READER", nullptr) ||
            (replyCode_ != reply::PostingAllowed && replyCode_ != reply::PostingProhibited)) {
            if (connected_ == 1)
                SetProblem(ServerProblem::ModeReaderRefused, ShownReply(lastReply_));
            return Fail(connected_ == 1 ? SessionFailure::Greeting : SessionFailure::Connection, lastReply_);
        }
        readOnly = replyCode_ == reply::PostingProhibited;
        if (!ReadCapabilities())
            return Fail(SessionFailure::Connection, lastReply_);
    }
    if (!security_.user.empty() && !Login(greeting)) {
        dataPending_ = false;
        Disconnect();
        return 0;
    }
    // After TLS and the login, so that neither the handshake nor the password
    // passes through the compressor. Servers refuse AUTHINFO once it is on
    // (INN: 502), so a session that may still have to log in on a 480 stays
    // plain.
    const bool mayLoginLater = !loggedIn_ && capabilities_.Has("AUTHINFO");
    if (security_.compress && !mayLoginLater && capabilities_.Has("COMPRESS", "DEFLATE") && !BeginCompression())
        return Fail(SessionFailure::Connection, lastReply_);
    if (readOnly && !allowReadOnly && !loggedIn_) {
        lastReply_ = greeting;
        replyCode_ = greetingCode;
        return Fail(SessionFailure::Greeting, greeting);
    }
    lastReply_ = greeting;
    replyCode_ = greetingCode;
    return 1;
}

bool CNntp::BeginTls()
{
    ReportStatus("TLS %s", host_.c_str());
    if (tcp_.StartTls(host_, tcp_.LineLimitMs()) != 0) {
        lastReply_.clear();
        replyCode_ = reply::None;
        // OpenSSL's words for a plain greeting read as a record header.
        if (security_.security == Security::Tls && tcp_.TlsError().find("wrong version number") != std::string::npos)
            portHint_ = PortHint::ExpectsPlain;
        Fail(SessionFailure::Tls, tcp_.TlsError());
        return false;
    }
    const CertificateInfo info = tcp_.PeerCertificate(port_);
    if (info.problem == CertificateProblem::None)
        return true;
    ReportStatus("certificate: %s (%s)", info.detail.c_str(), info.sha256.c_str());
    if (SameFingerprint(info.sha256, security_.trustedCertificate))
        return true;
    // The window pumps: the connection may be gone when it returns.
    bool trusted = false;
    if (auto ask = trust_)
        trusted = ask(info);
    if (trusted && connected_ == 1 && tcp_.IsSecure()) {
        security_.trustedCertificate = info.sha256;
        return true;
    }
    Fail(SessionFailure::Certificate, info.detail + " (SHA-256 " + info.sha256 + ")");
    return false;
}

bool CNntp::BeginCompression()
{
    // A refusal (the server's own limits, a TLS layer already compressing) is
    // no reason to give up the session: it goes on uncompressed.
    if (!Exchange("COMPRESS DEFLATE", nullptr))
        return connected_ == 1;
    if (replyCode_ != reply::CompressionActive)
        return true;
    tcp_.StartCompression();
    return true;
}

bool CNntp::ReadCapabilities()
{
    capabilities_.Clear();
    // Servers without the command (500), or that want a login first (480),
    // simply have nothing to tell.
    if (!Exchange("CAPABILITIES", nullptr))
        return connected_ == 1;
    if (replyCode_ != reply::CapabilityList)
        return true;
    ExpectData(true);
    std::string line;
    int r;
    std::size_t bytes = 0;
    while ((r = ReadDataLine(line)) > 0) {
        // A list that never ends is a server not worth talking to.
        if ((bytes += line.size()) > kMaxCapabilityBytes) {
            SetProblem(ServerProblem::CapabilitiesTooLong, std::to_string(kMaxCapabilityBytes >> 10));
            MarkBroken();
            return false;
        }
        capabilities_.Add(line);
    }
    return r == 0;
}

bool CNntp::Login(const std::string& reason)
{
    if (!tcp_.IsSecure() && !security_.allowPlainPassword) {
        Report(SessionFailure::PlainPassword, reason);
        return false;
    }
    LoginRequest request;
    request.server = host_;
    request.port = port_;
    request.user = security_.user;
    request.serverReply = ShownReply(reason);
    inLogin_ = true;
    struct Leave {
        bool& flag;
        ~Leave() { flag = false; }
    } leave{inLogin_};
    for (int attempt = 0; attempt < kLoginAttempts; ++attempt) {
        std::string user = request.user;
        std::string password;
        // The login window pumps: the connection may be gone when it returns.
        const bool given = login_ && login_(request, user, password);
        if (!given || connected_ != 1) {
            Forget(password);
            // Giving up after a refusal is still a refused login, and said so.
            Report(given                 ? SessionFailure::Connection
                   : request.failedBefore ? SessionFailure::LoginRefused
                                          : SessionFailure::LoginCancelled,
                   request.failedBefore ? request.serverReply : std::string());
            return false;
        }
        request.user = user;
        Exchange("AUTHINFO USER " + platform::OneLineValue(user), nullptr);
        if (replyCode_ == reply::PasswordRequired) {
            // Built in place, so that no temporary copy of the password is left unwiped.
            std::string line;
            line.reserve(16 + password.size());
            line = "AUTHINFO PASS ";
            for (char c : password)
                line += c == '\r' || c == '\n' || c == '\0' ? ' ' : c;
            // Whatever the server says from here on may repeat it.
            mask_.Set(std::string_view(line).substr(14));
            Exchange(line, nullptr, "AUTHINFO PASS ****");
            Forget(line);
        }
        Forget(password);
        switch (replyCode_) {
        case reply::LoggedIn:
            security_.user = user;
            loggedIn_ = true;
            return true;
        case reply::LoginRefused:
            request.failedBefore = true;
            request.serverReply = ShownReply(lastReply_);
            continue;
        case reply::LoginOutOfOrder:
            Report(SessionFailure::LoginOutOfOrder, lastReply_);
            return false;
        case reply::None:
            Report(SessionFailure::Connection, lastReply_);
            return false;
        default:
            Report(SessionFailure::LoginUnavailable, lastReply_);
            return false;
        }
    }
    Report(SessionFailure::LoginRefused, request.serverReply);
    return false;
}

long CNntp::SendRaw(std::string_view text) { return tcp_.SendAll(text.data(), text.size()); }

void CNntp::MarkBroken()
{
    // The reason is gone with the connection; say it while it is known.
    if (const std::string& why = tcp_.CompressionError(); tcp_.IsCompressed() && !why.empty())
        ReportError("COMPRESS: %s", why.c_str());
    dataPending_ = false;
    ResetAhead();
    Disconnect();
}

std::optional<std::string> CNntp::SendCommand(std::string_view command) { return Command(command, nullptr); }

std::optional<std::string> CNntp::Command(std::string_view command, bool* sent)
{
    auto r = Exchange(command, sent);
    if (replyCode_ == reply::AuthRequired && !inLogin_ && !IsSetupCommand(command) && connected_ == 1) {
        const std::string refusal = lastReply_;
        if (Login(refusal))
            return Exchange(command, sent);
        // Callers stop at this refusal instead of asking for every article.
        if (connected_ == 1) {
            lastReply_ = refusal;
            replyCode_ = reply::AuthRequired;
        }
        return std::nullopt;
    }
    if (modeReaderTried_ || !IsReadingCommand(command))
        return r;
    // Any other answer to a reading command shows the server is in reader mode.
    modeReaderTried_ = true;
    if (replyCode_ == reply::WrongMode || replyCode_ == reply::FirstPermanentError ||
        replyCode_ == reply::ServiceNotAvailable) {
        const std::string refusal = lastReply_;
        const int code = replyCode_;
        if (Exchange("MODE READER", nullptr) &&
            (replyCode_ == reply::PostingAllowed || replyCode_ == reply::PostingProhibited))
            return Command(command, sent);
        if (connected_ == 1) {
            SetProblem(ServerProblem::ModeReaderRefused, ShownReply(lastReply_));
            lastReply_ = refusal;
            replyCode_ = code;
        }
        return std::nullopt;
    }
    return r;
}

namespace {
constexpr std::uint64_t kHashPrime = (std::uint64_t{1} << 61) - 1;

std::uint64_t MulMod(std::uint64_t a, std::uint64_t b)
{
    const unsigned __int128 p = static_cast<unsigned __int128>(a) * b;
    const std::uint64_t r = static_cast<std::uint64_t>(p & kHashPrime) + static_cast<std::uint64_t>(p >> 61);
    return r >= kHashPrime ? r - kHashPrime : r;
}

std::uint64_t AddMod(std::uint64_t a, std::uint64_t b) { return a + b >= kHashPrime ? a + b - kHashPrime : a + b; }
} // namespace

void CNntp::SetProblem(ServerProblem problem, std::string detail)
{
    problem_ = problem;
    problemDetail_ = std::move(detail);
}

void CNntp::SecretMask::Set(std::string_view secret)
{
    length = secret.size();
    hash = 0;
    top = 1;
    // The base differs for every password, so the value says little about it.
    std::random_device random;
    base = ((std::uint64_t{random()} << 32 | random()) % (kHashPrime - 256)) + 256;
    for (std::size_t i = 0; i < length; ++i) {
        hash = AddMod(MulMod(hash, base), static_cast<unsigned char>(secret[i]));
        if (i > 0)
            top = MulMod(top, base);
    }
}

void CNntp::SecretMask::Apply(std::string& text) const
{
    const std::size_t from = std::min<std::size_t>(3, text.size());
    if (length == 0 || text.size() - from < length)
        return;
    std::string out(text, 0, from);
    std::uint64_t h = 0;
    std::size_t copied = from; // text before this is in out
    for (std::size_t i = from; i < text.size(); ++i) {
        if (i >= from + length)
            h = AddMod(h, kHashPrime - MulMod(static_cast<unsigned char>(text[i - length]), top));
        h = AddMod(MulMod(h, base), static_cast<unsigned char>(text[i]));
        if (i + 1 >= from + length && h == hash && i + 1 - length >= copied) {
            out.append(text, copied, i + 1 - length - copied).append("****");
            copied = i + 1;
        }
    }
    if (copied != from)
        text = out.append(text, copied);
}

std::optional<std::string> CNntp::Exchange(std::string_view command, bool* sent, std::string_view logAs)
{
    std::string line;
    line.reserve(command.size() + 2); // the line end added below moves nothing
    line = command;
    // A line that is not logged as sent holds a secret: wipe our copy too.
    struct Wipe {
        std::string& text;
        bool secret;
        ~Wipe()
        {
            if (secret)
                Forget(text);
        }
    } wipe{line, !logAs.empty()};
    if (logAs.empty())
        ReportStatus(">> %s", line.c_str());
    else
        ReportStatus(">> %.*s", static_cast<int>(logAs.size()), logAs.data());
    replyCode_ = 0;
    SetProblem(ServerProblem::None, {});
    if (connected_ != 1) {
        ReportStatus("Command Fail");
        return std::nullopt;
    }
    // Data nobody read, or replies to commands sent ahead, would be taken for this command's reply.
    if ((dataPending_ && !SkipData()) || !DrainAhead()) {
        ReportStatus("Command Fail");
        return std::nullopt;
    }
    if (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0)
        line += "\r\n";
    if (SendRaw(line) < 0) {
        ReportStatus("Command Fail");
        MarkBroken();
        return std::nullopt;
    }
    if (sent)
        *sent = true;
    if (tcp_.ReadLine(lastReply_) <= 0) {
        ReportStatus("Command Fail");
        MarkBroken();
        return std::nullopt;
    }
    mask_.Apply(lastReply_);
    ReportStatus("<< %s", lastReply_.c_str());
    replyCode_ = LeadingNumber(lastReply_);
    if (!IsStatusLine(lastReply_)) {
        // Not a status line: whatever follows cannot be matched to a command.
        ReportStatus("Command Fail");
        MarkBroken();
        return std::nullopt;
    }
    char first = lastReply_[0];
    if (first == '1' || first == '2' || first == '3')
        return lastReply_;
    ReportStatus("Command Fail");
    return std::nullopt;
}

void CNntp::ExpectData(bool unstuff)
{
    dataPending_ = true;
    unstuff_ = unstuff;
    dataBytes_ = 0;
    SetProblem(ServerProblem::None, {});
    dataDeadline_ = NowMs() + std::int64_t{std::max(1, bounds_.waits)} * std::max(1, tcp_.Timeouts().WaitSec()) * 1000;
}

int CNntp::ReadDataLine(std::string& line)
{
    line.clear();
    if (!dataPending_)
        return connected_ == 1 ? 0 : -1;
    const std::int64_t left = dataDeadline_ - NowMs();
    if (left <= 0 || tcp_.ReadLine(line, std::min(left, tcp_.LineLimitMs())) <= 0 ||
        (dataBytes_ += line.size()) > bounds_.bytes) {
        ReportStatus(left <= 0 || dataBytes_ > bounds_.bytes ? "reply too long: closing" : "Command Fail");
        if (dataBytes_ > bounds_.bytes)
            SetProblem(ServerProblem::ReplyTooLong, std::to_string(bounds_.bytes >> 20));
        else if (left <= 0 || (tcp_.LastError() == platform::WSAETIMEDOUT && left <= tcp_.LineLimitMs()))
            SetProblem(ServerProblem::ReplyTooSlow,
                       std::to_string(std::max(1, bounds_.waits) * std::max(1, tcp_.Timeouts().WaitSec())));
        else if (tcp_.LastError() == platform::WSAETIMEDOUT)
            SetProblem(ServerProblem::Silent, std::to_string(tcp_.LineLimitMs() / 1000));
        MarkBroken();
        line.clear();
        return -1;
    }
    if (line == ".\r\n" || line == ".\n") {
        dataPending_ = false;
        line.clear();
        return 0;
    }
    if (unstuff_ && line.size() >= 2 && line[0] == '.' && line[1] == '.')
        line.erase(0, 1);
    return 1;
}

bool CNntp::ReadData(std::string& text)
{
    std::string line;
    int r;
    while ((r = ReadDataLine(line)) > 0)
        text += line;
    return r == 0;
}

bool CNntp::SkipData()
{
    std::string line;
    int r;
    while ((r = ReadDataLine(line)) > 0) {
    }
    return r == 0;
}

int CNntp::List()
{
    if (SendCommand("LIST") && replyCode_ == reply::ListFollows) {
        ExpectData(true);
        return 1;
    }
    // A server that answered has refused the list: its words are shown. A
    // login refused has been told already.
    if (connected_ == 1 && replyCode_ > 0 && replyCode_ != reply::AuthRequired && problem_ == ServerProblem::None)
        SetProblem(ServerProblem::ListRefused, ShownReply(lastReply_));
    return 0;
}

int CNntp::Group(const std::string& name, std::string& reply, int& count, int& first, int& last)
{
    reply.clear();
    // A name is one protocol word: nothing in it may end the command line.
    const std::string command = "GROUP " + platform::OneLineValue(name, '?');
    std::optional<std::string> r;
    bool answered = false;
    if (!ahead_.empty() && ahead_.front().verb == "GROUP" && ahead_.front().group == command.substr(6)) {
        const Ahead a = ReadAhead(true);
        if (a == Ahead::Failed)
            return 0;
        // Only a plain answer is taken; a login or mode the server wants
        // first goes the ordinary way, after what followed it is read.
        if (a == Ahead::Reply && (replyCode_ == reply::GroupSelected || replyCode_ == reply::NoSuchGroup)) {
            answered = true;
            modeReaderTried_ = true;
            if (replyCode_ == reply::GroupSelected)
                r = lastReply_;
        } else {
            DrainAhead();
        }
    }
    if (!answered)
        r = SendCommand(command);
    if (!r) {
        // A refusal (no such group) is handed back for the caller's message.
        if (replyCode_ != reply::None)
            reply = lastReply_;
        return 0;
    }
    reply = *r;
    if (replyCode_ != reply::GroupSelected)
        return 0;
    std::size_t p = 0;
    while (p < reply.size() && IsDigit(reply[p]))
        ++p;
    int c = 0, f = 0, l = 0;
    // The three numbers are needed; a shorter reply is a failure, not zeros.
    if (!ReadNumber(reply, p, c) || !ReadNumber(reply, p, f) || !ReadNumber(reply, p, l))
        return 0;
    // Negative numbers are as malformed as missing ones, not an empty group.
    if (c < 0 || f < 0 || l < 0)
        return 0;
    count = c;
    first = f;
    last = l;
    return 1;
}

int CNntp::Head(int number)
{
    if (!SendCommand("HEAD " + std::to_string(number)) || replyCode_ != reply::HeadFollows)
        return 0;
    ExpectData(true);
    return 1;
}

int CNntp::DataCommand(std::string_view command, int dataCode)
{
    if (!SendCommand(command) || replyCode_ != dataCode)
        return 0;
    ExpectData(true);
    return 1;
}

bool CNntp::ReadListLines(std::vector<std::string>& lines, std::size_t maxBytes)
{
    ExpectData(true);
    std::string line;
    std::size_t bytes = 0;
    int r;
    while ((r = ReadDataLine(line)) > 0) {
        if ((bytes += line.size()) > maxBytes) {
            MarkBroken();
            return false;
        }
        lines.push_back(line);
    }
    return r == 0;
}

bool CNntp::SendGroupAhead(const std::string& name)
{
    return connected_ == 1 && !dataPending_ && RoomAhead(kOpeningAhead) &&
           SendAhead("GROUP " + platform::OneLineValue(name, '?'));
}

std::string CNntp::SendOverviewAhead()
{
    if (overviewKnown_)
        return overview_.overCommand;
    if (overviewAhead_)
        return "OVER";
    if (connected_ != 1 || capabilities_.Empty() || !capabilities_.Has("OVER") || !RoomAhead(kOpeningAhead) ||
        !SendAhead("LIST OVERVIEW.FMT"))
        return {};
    overviewAhead_ = true;
    return "OVER";
}

const OverviewSupport& CNntp::Overview()
{
    if (overviewAhead_) {
        overviewAhead_ = false;
        if (!overviewKnown_ && connected_ == 1 && !ahead_.empty() && ahead_.front().verb == "LIST") {
            const Ahead a = ReadAhead(true);
            if (a == Ahead::Reply && replyCode_ != reply::AuthRequired) {
                overviewKnown_ = true;
                overview_ = {};
                overview_.overCommand = "OVER";
                if (capabilities_.Has("HDR"))
                    overview_.hdrCommand = "HDR";
                ReadOverviewFormat();
            }
        }
    }
    if (!overviewKnown_ && connected_ == 1) {
        overviewKnown_ = true;
        DiscoverOverview();
        if (overview_.Usable())
            ReportStatus("overview by %s, %zu fields, missing fields by %s", overview_.overCommand.c_str(),
                         overview_.format.Size(), overview_.hdrCommand.empty() ? "nothing" : overview_.hdrCommand.c_str());
    }
    return overview_;
}

void CNntp::DiscoverOverview()
{
    overview_ = {};
    if (!capabilities_.Empty()) {
        if (capabilities_.Has("OVER"))
            overview_.overCommand = "OVER";
        if (capabilities_.Has("HDR"))
            overview_.hdrCommand = "HDR";
    } else if (SendCommand("LIST EXTENSIONS") && (replyCode_ == 202 || replyCode_ == reply::ListFollows)) {
        std::vector<std::string> lines;
        if (!ReadListLines(lines, kMaxDiscoveryBytes))
            return;
        NntpCapabilities offered;
        for (const std::string& l : lines)
            offered.Add(l);
        overview_.overCommand = offered.Has("OVER") ? "OVER" : offered.Has("XOVER") ? "XOVER" : "";
        overview_.hdrCommand = offered.Has("HDR") ? "HDR" : offered.Has("XHDR") ? "XHDR" : "";
    }
    if (!overview_.Usable() || connected_ != 1)
        return;
    if (SendCommand("LIST OVERVIEW.FMT"))
        ReadOverviewFormat();
}

void CNntp::ReadOverviewFormat()
{
    if (replyCode_ != reply::ListFollows)
        return;
    std::vector<std::string> lines;
    if (!ReadListLines(lines, kMaxDiscoveryBytes)) {
        overview_ = {};
        return;
    }
    if (!overview_.format.Parse(lines))
        ReportStatus("overview format not understood: the standard fields are assumed");
}

int CNntp::Article(int number, int& code)
{
    auto r = SendCommand("ARTICLE " + std::to_string(number));
    code = replyCode_;
    if (!r)
        return 0;
    switch (replyCode_) {
    case reply::ArticleFollows:
    case reply::HeadFollows:
    case reply::BodyFollows:
        // The cache keeps the server's form; display and saving un-stuff.
        ExpectData(false);
        return 1;
    case reply::ArticleExists: // no data follows
        return 1;
    default:
        return 0;
    }
}

void CNntp::Quit()
{
    if (connected_ == 1) {
        // The reply is not examined: a dead or silent server must not hold us up.
        ReportStatus(">> %s", "QUIT");
        bool wait = !dataPending_ && ahead_.empty() && !markerPending_;
        if (tcp_.SendAll("QUIT\r\n", 6, kQuitWaitMs) >= 0 && wait) {
            std::string reply;
            if (tcp_.ReadLine(reply, kQuitWaitMs) > 0)
                ReportStatus("<< %s", reply.c_str());
        }
    }
    dataPending_ = false;
    ResetAhead();
    Disconnect();
}

void CNntp::ResetAhead()
{
    overviewAhead_ = false;
    ahead_.clear();
    bytesAhead_ = 0;
    unsent_.clear();
    pipelining_ = true;
    markerPending_ = false;
    beforeMarker_ = 0;
}

bool CNntp::RoomAhead(std::size_t window) const
{
    if (connected_ != 1)
        return false;
    if (!pipelining_)
        return ahead_.empty();
    return ahead_.size() < window && bytesAhead_ < kMaxBytesAhead;
}

bool CNntp::SendAhead(std::string_view command)
{
    if (connected_ != 1)
        return false;
    std::string line(command);
    ReportStatus(">> %s", line.c_str());
    if (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0)
        line += "\r\n";
    unsent_ += line;
    ahead_.push_back(Describe(line));
    bytesAhead_ += line.size();
    return FlushAhead(0);
}

bool CNntp::FlushAhead(std::size_t needed)
{
    const std::size_t sent = bytesAhead_ - unsent_.size();
    if (needed > sent) {
        if (SendRaw(std::string_view(unsent_).substr(0, needed - sent)) < 0) {
            ReportStatus("Command Fail");
            MarkBroken();
            return false;
        }
        unsent_.erase(0, needed - sent);
    }
    while (!unsent_.empty()) {
        const long n = tcp_.Send(unsent_.data(), unsent_.size(), 0);
        if (n > 0) {
            unsent_.erase(0, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            break;
        ReportStatus("Command Fail");
        MarkBroken();
        return false;
    }
    return true;
}

bool CNntp::ReadStatusLine(std::int64_t limitMs, bool& timedOut)
{
    const int r = tcp_.ReadLine(lastReply_, limitMs);
    mask_.Apply(lastReply_);
    timedOut = r < 0 && tcp_.LastError() == platform::WSAETIMEDOUT;
    return r > 0;
}

bool CNntp::SettleMarker()
{
    bool timedOut = false;
    if (!ReadStatusLine(tcp_.LineLimitMs(), timedOut)) {
        ReportStatus("Command Fail");
        MarkBroken();
        return false;
    }
    ReportStatus("<< %s", lastReply_.c_str());
    markerPending_ = false;
    return true;
}

CNntp::Ahead CNntp::ReadAhead(bool unstuff)
{
    replyCode_ = reply::None;
    SetProblem(ServerProblem::None, {});
    if (connected_ != 1)
        return Ahead::Failed;
    if (dataPending_ && !SkipData())
        return Ahead::Failed;
    if (ahead_.empty())
        return Ahead::Lost;
    if (markerPending_ && beforeMarker_ == 0 && !SettleMarker())
        return Ahead::Failed;
    // The oldest command must be on the wire before its reply can come.
    if (!FlushAhead(ahead_.front().size))
        return Ahead::Failed;
    const bool watch = pipelining_ && ahead_.size() > 1;
    bool timedOut = false;
    bool got = ReadStatusLine(watch ? StallMs(tcp_.Timeouts()) : tcp_.LineLimitMs(), timedOut);
    if (!got && timedOut && watch) {
        // Nothing comes although commands wait: find out whether they were lost.
        pipelining_ = false;
        markerPending_ = true;
        beforeMarker_ = ahead_.size();
        ReportStatus(">> %s", "DATE");
        if (!FlushAhead(bytesAhead_))
            return Ahead::Failed;
        if (SendRaw("DATE\r\n") < 0) {
            ReportStatus("Command Fail");
            MarkBroken();
            return Ahead::Failed;
        }
        got = ReadStatusLine(tcp_.LineLimitMs(), timedOut);
    }
    if (!got || !IsStatusLine(lastReply_)) {
        ReportStatus("Command Fail");
        MarkBroken();
        return Ahead::Failed;
    }
    ReportStatus("<< %s", lastReply_.c_str());
    replyCode_ = LeadingNumber(lastReply_);
    // A server without DATE answers the marker that it does not know it; no
    // command that went ahead gets that answer.
    const bool markerAnswer = replyCode_ == reply::ServerDate ||
                              (replyCode_ == reply::FirstPermanentError || replyCode_ == 501);
    if (markerPending_ && beforeMarker_ > 0 && markerAnswer) {
        // The marker was answered first: the commands before it never arrived.
        for (; beforeMarker_ > 0; --beforeMarker_) {
            bytesAhead_ -= ahead_.front().size;
            ahead_.pop_front();
        }
        markerPending_ = false;
        replyCode_ = reply::None;
        return Ahead::Lost;
    }
    const AheadCommand command = ahead_.front();
    bytesAhead_ -= command.size;
    ahead_.pop_front();
    if (beforeMarker_ > 0)
        --beforeMarker_;
    if (reply::DataFollows(replyCode_))
        ExpectData(unstuff);
    if (!Answers(command, lastReply_, replyCode_)) {
        const int code = replyCode_;
        const std::string shown = lastReply_;
        if (!Resync())
            return Ahead::Failed;
        lastReply_ = shown;
        replyCode_ = code;
        return Ahead::Mismatch;
    }
    return Ahead::Reply;
}

bool CNntp::DrainAhead()
{
    while (!ahead_.empty()) {
        const Ahead a = ReadAhead(true);
        if (a == Ahead::Mismatch)
            break;
        if (a == Ahead::Failed || (dataPending_ && !SkipData()))
            return false;
    }
    if (dataPending_ && !SkipData())
        return false;
    if (markerPending_ && !SettleMarker())
        return false;
    return connected_ == 1;
}

CNntp::AheadCommand CNntp::Describe(std::string_view line)
{
    AheadCommand c;
    c.size = line.size();
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    const std::size_t blank = line.find(' ');
    for (char ch : line.substr(0, blank))
        c.verb += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (blank == std::string_view::npos)
        return c;
    const std::string_view arg = line.substr(blank + 1);
    if (c.verb == "GROUP")
        c.group = std::string(arg);
    else if (arg.starts_with('<'))
        c.id = std::string(arg.substr(0, arg.find(' ')));
    else if (!arg.empty() && IsDigit(arg[0]))
        c.number = LeadingNumber(arg);
    return c;
}

bool CNntp::Answers(const AheadCommand& command, const std::string& reply, int code)
{
    // Refusals and "no such article" name nothing to check.
    if (code >= 400)
        return true;
    const std::string& v = command.verb;
    if (v == "OVER" || v == "XOVER")
        return code == 224;
    if (v == "HDR")
        return code == 225;
    if (v == "XHDR")
        return code == 221;
    if (v == "LIST")
        return code == reply::ListFollows;
    if (v == "GROUP") {
        // "211 count low high name": a name, when given, is the one asked for.
        std::size_t p = 3;
        for (int word = 0; word < 3; ++word)
            SkipNumber(reply, p);
        const std::string_view name = Word(reply, p);
        return code == reply::GroupSelected && (name.empty() || name == command.group);
    }
    int wanted = 0;
    if (v == "ARTICLE")
        wanted = code >= reply::ArticleFollows && code <= reply::ArticleExists ? code : reply::ArticleFollows;
    else if (v == "HEAD")
        wanted = reply::HeadFollows;
    else if (v == "BODY")
        wanted = reply::BodyFollows;
    else if (v == "STAT")
        wanted = reply::ArticleExists;
    else
        return true;
    if (code != wanted)
        return false;
    // "221 <number> <message-id> ..."; a server that does not say the number gives 0.
    std::size_t p = 3;
    SkipBlanks(reply, p);
    const int number = LeadingNumber(std::string_view(reply).substr(p));
    SkipNumber(reply, p);
    const std::string_view id = Word(reply, p);
    if (command.number > 0 && number != 0 && number != command.number)
        return false;
    return command.id.empty() || id == command.id;
}

bool CNntp::Resync()
{
    ReportStatus("reply out of step with its command: sending one at a time");
    pipelining_ = false;
    const std::size_t waiting = ahead_.size();
    if (!FlushAhead(bytesAhead_))
        return false;
    ahead_.clear();
    bytesAhead_ = 0;
    beforeMarker_ = 0;
    if (dataPending_ && !SkipData())
        return false;
    if (!markerPending_) {
        ReportStatus(">> %s", "DATE");
        if (SendRaw("DATE\r\n") < 0) {
            ReportStatus("Command Fail");
            MarkBroken();
            return false;
        }
    }
    markerPending_ = false;
    // Everything before the marker's answer belongs to commands already given
    // up: their data is skipped by its code, as a status line says it comes.
    for (std::size_t lines = 0; lines < waiting + kResyncSlack; ++lines) {
        bool timedOut = false;
        if (!ReadStatusLine(tcp_.LineLimitMs(), timedOut) || !IsStatusLine(lastReply_))
            break;
        ReportStatus("<< %s", lastReply_.c_str());
        const int code = LeadingNumber(lastReply_);
        // A server without DATE says it does not know the command.
        if (code == reply::ServerDate || code == reply::FirstPermanentError || code == 501)
            return true;
        if (reply::DataFollows(code)) {
            ExpectData(true);
            if (!SkipData())
                return false;
        }
    }
    ReportStatus("Command Fail");
    MarkBroken();
    return false;
}

int CNntp::TryLock()
{
    if (busy_)
        return 0;
    busy_ = 1;
    return 1;
}

int CNntp::Post(const CNntpPostMessageParam& param)
{
    const PostCodec& codec = GetPostCodec();
    const KanjiCode c = param.kanjiCode;
    articleSent_ = false;
    postedId_.clear();
    std::string fields, badField;
    if (!ComposeFieldLines(param, codec, fields, badField)) {
        ReportError("error at [CNntp::Post](the %s line is too long to post).", badField.c_str());
        return 0;
    }
    if (!SendCommand("POST") || replyCode_ != reply::SendArticle)
        return 0;
    ReportStatus("send header");

    auto fail = [this] {
        // The server must throw the partial article away: never send its end.
        MarkBroken();
        return 0;
    };

    // The id the server recommends lets a repeat after a lost answer be
    // refused as a duplicate instead of posted twice.
    postedId_ = param.messageId.empty() ? RecommendedMessageId(lastReply_) : param.messageId;
    if (postedId_.empty() && !param.cancelSecret.empty()) {
        std::string from;
        for (std::size_t i = 0; i < param.fieldNames.size() && i < param.fieldValues.size(); ++i)
            if (param.fieldNames[i] == "From:")
                from = param.fieldValues[i];
        postedId_ = MakeMessageId(from);
    }
    std::string header = fields;
    if (!postedId_.empty())
        header += "Message-ID: " + postedId_ + "\r\n";
    if (!postedId_.empty() && !param.cancelSecret.empty())
        header += "Cancel-Lock: " + CancelLock(param.cancelSecret, postedId_) + "\r\n";
    header += "Mime-Version: 1.0\r\n";

    TextPart text = MakeTextPart(ConvertBodyLines(param.bodyTexts, c, codec), c);
    // yEnc goes in the body after the text, as newsreaders look for it, not
    // in a MIME part.
    const bool yenc = !param.attachPath.empty() && param.attachEncoding == 3;
    const bool attach = !param.attachPath.empty() && !yenc;
    std::string boundary;
    std::string name;
    if (attach) {
        boundary = codec.makeBoundary(false);
        name = AttachmentNameUtf8(param);
        header += codec.composeHeaderLine("X-Attachments:", Utf8ToSjis(name), c, true);
        header += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n";
    } else {
        // yEnc data is 8-bit whatever the text is.
        const std::string sevenBit = "Content-Transfer-Encoding: 7bit\r\n";
        if (const std::size_t at = text.headerLines.find(sevenBit); yenc && at != std::string::npos)
            text.headerLines.replace(at, sevenBit.size(), "Content-Transfer-Encoding: 8bit\r\n");
        header += text.headerLines;
    }
    for (std::size_t at = 0, n = 0; at < header.size(); ++n) {
        const std::size_t end = std::min(header.find("\r\n", at), header.size());
        ReportStatus("%d> %s", static_cast<int>(n), header.substr(at, end + 2 - at).c_str());
        at = end + 2;
    }
    header += "\r\n";
    if (SendRaw(header) < 0)
        return fail();

    if (attach && SendRaw("--" + boundary + "\r\n" + text.headerLines + "\r\n") < 0)
        return fail();
    if (!SendStuffed(text.body))
        return fail();
    if (yenc && (SendRaw("\r\n") < 0 || !SendFile(param.encodedPath)))
        return fail();

    if (attach) {
        std::string part = "\r\n--" + boundary + "\r\n";
        if (param.attachEncoding == 0)
            part += "Content-Transfer-Encoding: base64\r\n";
        const char* type = param.attachEncoding == 0   ? "application/octet-stream"
                           : param.attachEncoding == 1 ? "application/mac-binhex40"
                                                       : "application/x-uuencode";
        part += AttachmentTypeLines(type, name, c);
        part += codec.composeHeaderLine("Content-Description:", Utf8ToSjis(name), c, true);
        part += "\r\n";
        if (SendRaw(part) < 0)
            return fail();
        if (!SendFile(param.encodedPath))
            return fail();
        if (SendRaw("\r\n--" + boundary + "--\r\n") < 0)
            return fail();
    }
    // Any other answer, a 2xx meant for something else included, is no acceptance.
    return Exchange("\r\n.", &articleSent_) && replyCode_ == reply::ArticleReceived ? 1 : 0;
}

bool CNntp::SendStuffed(std::string_view text)
{
    std::string batch;
    for (std::size_t from = 0; from < text.size();) {
        const std::size_t end = std::min(text.find('\n', from), text.size());
        if (text[from] == '.')
            batch += '.';
        batch.append(text.substr(from, end + 1 - from));
        from = end + 1;
        if (batch.size() >= 4000) {
            if (SendString(batch) < 0)
                return false;
            batch.clear();
        }
    }
    return batch.empty() || SendString(batch) >= 0;
}

} // namespace net
