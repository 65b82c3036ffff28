#pragma once
// The NNTP client.

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/NntpCapabilities.h"
#include "net/Overview.h"
#include "net/ServerSecurity.h"
#include "net/TextbaseProtocol.h"

namespace net {

// One article to post.
class CNntpPostMessageParam {
public:
    textcodec::KanjiCode kanjiCode = textcodec::KanjiCode::Jis;
    int attachEncoding = 0; // 0 Base64, 1 BinHex 4.0, 2 uuencode, 3 yEnc
    std::vector<std::string> fieldNames;  // "Subject:" ...; Shift_JIS
    std::vector<std::string> fieldValues; // same length and order
    std::vector<std::string> bodyTexts;   // Shift_JIS pieces, sent one after the other
    std::filesystem::path attachPath;     // the file the user attached; empty for none
    std::filesystem::path encodedPath;    // that file already encoded with attachEncoding
    // The attachment's name as posted (Shift_JIS); when empty the file name
    // of attachPath is used.
    std::string attachName;
    // The article's Message-ID; when empty the one the server recommends in
    // its 340 reply, or a fresh one when a Cancel-Lock is wanted.
    std::string messageId;
    // The Cancel-Lock secret; empty for no lock.
    std::string cancelSecret;
};

class CNntp : public CTextbaseProtocol {
public:
    CNntp();
    ~CNntp() override;

    // The user's answer to a login request: user and password, false to cancel.
    using LoginHandler = std::function<bool(const LoginRequest& request, std::string& user, std::string& password)>;
    // True when the user trusts this certificate.
    using TrustHandler = std::function<bool(const CertificateInfo& info)>;
    // Told once when a session fails or a login is refused, with the reply
    // or the TLS library's words (empty when there are none).
    using FailureHandler = std::function<void(SessionFailure failure, const std::string& detail)>;

    int Open(const std::string& host, int noDelay, int port);
    // Takes over a connected socket.
    void Attach(int socket);
    // The server as the user named it: TLS checks the certificate against
    // host, and a login request shows both. Open sets them itself.
    void SetServer(const std::string& host, int port);
    void SetSecurity(const SecuritySettings& settings) { security_ = settings; }
    const SecuritySettings& Security() const { return security_; }
    void SetLoginHandler(LoginHandler handler) { login_ = std::move(handler); }
    void SetTrustHandler(TrustHandler handler) { trust_ = std::move(handler); }
    void SetFailureHandler(FailureHandler handler) { failed_ = std::move(handler); }

    // 1 when the server greets with posting allowed. A no-posting greeting
    // is accepted only when allowReadOnly is set (a reading connection).
    int ReadGreeting(bool allowReadOnly = false);
    // The whole start of a session: TLS (implicit before the greeting,
    // STARTTLS after it), the greeting, CAPABILITIES, MODE READER when
    // offered, the login when a user is configured, then COMPRESS DEFLATE
    // when offered and not switched off. 1 when usable; on
    // 0 the connection is closed and LastFailure() says why. A no-posting
    // greeting is accepted for reading, or once logged in.
    int StartSession(bool allowReadOnly);
    SessionFailure LastFailure() const { return failure_; }
    // Why the session or the last reply was given up, when the server rather
    // than the socket was at fault; None otherwise.
    ServerProblem Problem() const { return problem_; }
    const std::string& ProblemDetail() const { return problemDetail_; }
    // Set when the last StartSession failed in a way that points at a port
    // meant for the other kind of connection.
    PortHint LastPortHint() const { return portHint_; }
    const NntpCapabilities& Capabilities() const { return capabilities_; }
    bool LoggedIn() const { return loggedIn_; }

    std::optional<std::string> SendCommand(std::string_view command) override;
    long SendRaw(std::string_view text);

    int List();
    int Group(const std::string& name, std::string& reply, int& count, int& first, int& last);
    // GROUP sent ahead, so that the commands sent after it share its round
    // trip; Group() for the same name then reads its reply. False when it
    // could not go ahead (Group() sends it then).
    bool SendGroupAhead(const std::string& name);
    int Head(int number);
    int Article(int number, int& code);
    // A command whose reply carries data when its code is dataCode (OVER,
    // HDR, ...): 1 with the data waiting for ReadDataLine, un-stuffed.
    int DataCommand(std::string_view command, int dataCode);
    // What the server offers for reading a group's overview. Asked once per
    // session: from CAPABILITIES, or LIST EXTENSIONS from a server that
    // predates it, and the fields from LIST OVERVIEW.FMT.
    const OverviewSupport& Overview();
    // LIST OVERVIEW.FMT sent ahead when Overview() would have to ask for it
    // and the capabilities already say which command reads the overview;
    // Overview() reads its reply, before anything sent after it. The command
    // that reads the overview when that is known without waiting, else empty.
    std::string SendOverviewAhead();
    // 1 when the server took the article. On 0, LastReply() holds the
    // server's refusal; when ArticleSent() is true but ReplyCode() is 0 the
    // answer never came and the article may have been posted after all.
    int Post(const CNntpPostMessageParam& param);
    bool ArticleSent() const { return articleSent_; }
    // The Message-ID the last Post gave its article; empty when it sent none.
    const std::string& PostedMessageId() const { return postedId_; }
    void Quit();

    // The data of the last LIST, HEAD or ARTICLE, line by line. Returns 1 with
    // a line (its CR LF kept), 0 at the closing "." line, -1 on failure (the
    // connection is then broken). LIST and HEAD lines come un-stuffed,
    // ARTICLE lines as the server sent them.
    int ReadDataLine(std::string& line);
    // The rest of the data in one text; false on failure.
    bool ReadData(std::string& text);
    bool DataPending() const { return dataPending_; }

    // A multi-line reply ends within these, or the connection is closed: a
    // server sending lines for ever, each within the wait, still ends.
    struct ReplyBounds {
        std::size_t bytes = std::size_t{256} << 20;
        int waits = 20; // times the configured wait, from the status line
    };
    void SetReplyBounds(ReplyBounds bounds) { bounds_ = bounds; }

    // Pipelining: commands sent ahead of their replies, which come back in
    // order. A server that loses commands sent ahead (no reply for a while
    // although commands wait) is sent a marker command: replies before its
    // answer belong to the commands, its answer means the rest were lost.
    // The connection then takes one command at a time.
    //
    // Every reply is checked against its command: a 220-223 must name the
    // article the command named (number or Message-ID) and every code must
    // be one the command can get. On a mismatch the replies still coming are
    // read and dropped up to the answer of a marker command, and the
    // connection takes one command at a time from then on.
    enum class Ahead { Reply, Lost, Failed, Mismatch };
    // Commands ahead are never more than this many bytes, so a server that
    // stops reading while its replies wait cannot stall our sends.
    static constexpr std::size_t kMaxBytesAhead = 16 * 1024;
    // True when one more command may go ahead with at most window in flight.
    bool RoomAhead(std::size_t window) const;
    // Queues a command and sends what the socket takes without waiting.
    // False when the connection broke (it is closed then).
    bool SendAhead(std::string_view command);
    // The status line of the oldest command ahead. On Reply, ReplyCode() and
    // LastReply() are set and data-bearing replies are read with
    // ReadDataLine (un-stuffed when unstuff). On Lost every command ahead went
    // unanswered and none is ahead any more. On Mismatch the reply was not
    // this command's: nothing is ahead any more and the connection is in
    // step again. On Failed the connection is closed.
    Ahead ReadAhead(bool unstuff);
    // Reads and drops the replies of every command ahead; false when the connection broke.
    bool DrainAhead();
    std::size_t CommandsAhead() const { return ahead_.size(); }
    bool Pipelining() const { return pipelining_; }

    int ReplyCode() const { return replyCode_; }
    int IsConnected() const { return connected_ == 1 ? 1 : 0; }
    int TryLock();
    void Unlock() { busy_ = 0; }

    // Closes a connection that can no longer be trusted to be in step.
    void MarkBroken();

private:
    // Lines ending in CR LF, dot-stuffed.
    bool SendStuffed(std::string_view text);
    // One command and its status line; logAs replaces the command in the log.
    std::optional<std::string> Exchange(std::string_view command, bool* sent, std::string_view logAs = {});
    // Exchange, and where the server asks for it: the login or MODE READER,
    // then the command once more. Every command of a session comes here.
    std::optional<std::string> Command(std::string_view command, bool* sent);
    void ExpectData(bool unstuff);
    bool SkipData();
    bool BeginTls();
    // After a greeting that did not come: whether a TLS server is listening.
    PortHint ProbeForTls(const std::string& line);
    bool ReadCapabilities();
    // The data lines of a reply, at most maxBytes; false (connection closed) past it.
    bool ReadListLines(std::vector<std::string>& lines, std::size_t maxBytes);
    void DiscoverOverview();
    // The reply to LIST OVERVIEW.FMT just read, into overview_.format.
    void ReadOverviewFormat();
    bool BeginCompression();
    bool Login(const std::string& reason);
    int Fail(SessionFailure failure, const std::string& detail);
    void Report(SessionFailure failure, const std::string& detail);

    std::string host_;
    int port_ = 0;
    SecuritySettings security_;
    LoginHandler login_;
    TrustHandler trust_;
    FailureHandler failed_;
    SessionFailure failure_ = SessionFailure::None;
    ServerProblem problem_ = ServerProblem::None;
    std::string problemDetail_;
    void SetProblem(ServerProblem problem, std::string detail);
    // Finds the password last sent in server text without keeping it: a
    // polynomial hash with a random base, compared at every offset.
    struct SecretMask {
        std::uint64_t base = 0, hash = 0, top = 0; // top: base^(length-1)
        std::size_t length = 0;
        void Set(std::string_view secret);
        // Every occurrence past the status code becomes "****".
        void Apply(std::string& text) const;
    } mask_;
    PortHint portHint_ = PortHint::None;
    bool probeGreeting_ = false;
    NntpCapabilities capabilities_;
    bool loggedIn_ = false;
    bool inLogin_ = false;
    bool modeReaderTried_ = true; // until a greeting arrives
    void ResetAhead();
    // Sends queued commands: all bytes up to `needed` waiting, the rest as the socket takes them.
    bool FlushAhead(std::size_t needed);
    // Reads the marker's answer once every command before it is answered.
    bool SettleMarker();
    bool ReadStatusLine(std::int64_t limitMs, bool& timedOut);
    // After a reply that was not its command's: drops everything up to a marker's answer.
    bool Resync();

    // A command sent ahead and what its reply must name.
    struct AheadCommand {
        std::size_t size = 0;
        std::string verb;        // upper case
        std::int64_t number = 0; // the article asked for, 0 when none
        std::string id;          // or its Message-ID
        std::string group;       // GROUP: the name asked for
    };
    static AheadCommand Describe(std::string_view line);
    static bool Answers(const AheadCommand& command, const std::string& reply, int code);

    int replyCode_ = 0;
    std::deque<AheadCommand> ahead_; // the commands ahead, oldest first
    std::size_t bytesAhead_ = 0;
    std::string unsent_;            // the newest commands ahead the socket has not taken yet
    bool pipelining_ = true;
    bool markerPending_ = false;
    std::size_t beforeMarker_ = 0;  // commands ahead sent before the marker
    int busy_ = 0;
    bool dataPending_ = false;
    bool unstuff_ = false;
    bool articleSent_ = false;
    std::string postedId_;
    ReplyBounds bounds_;
    std::size_t dataBytes_ = 0;
    std::int64_t dataDeadline_ = 0; // steady clock, ms
    bool overviewKnown_ = false;
    bool overviewAhead_ = false; // LIST OVERVIEW.FMT is ahead
    OverviewSupport overview_;
};


} // namespace net
