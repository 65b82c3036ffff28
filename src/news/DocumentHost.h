#pragma once
// What the document needs from the windows. The Qt side implements it; tests
// use a scripted fake. Everything the document shows or asks goes through
// here, so the document runs without a window system (tests, lumetra-tool).
//
// Every call may pump the event loop (a modal dialog does). The document
// holds the connection's busy flag across such calls whenever it is in the
// middle of a network operation, and checks its state again afterwards.
//
// Only ShowMessage must be implemented; the rest have defaults that behave as
// if the user said "no" (no connection, no post window, dialogs cancelled),
// which is what a console tool without a user wants.

#include "net/ServerSecurity.h"
#include "net/TcpTimeouts.h"
#include "news/SettingsValues.h"
#include "platform/StringIds.h"
#include "textcodec/JapaneseCodes.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace net { class ProtocolLog; }

namespace news {

enum class MessageIcon { Stop, Information, Question };

// Buttons, as the message boxes and dialogs return them.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// The window of one long server operation (dialog 106): hidden until its
// delay has passed, while open the main window is disabled and only its
// Cancel button can be pressed. Owned by the operation that made it.
class DocumentProgress {
public:
    virtual ~DocumentProgress() = default;
    // Creates the (still hidden) window with the title of string id captionId.
    // False when it cannot be made; the operation is then abandoned.
    virtual bool Open(unsigned captionId) = 0;
    // The same with the caption's %s and %d filled from args.
    virtual bool OpenFormatted(unsigned captionId, const std::vector<std::string>& args)
    {
        (void)args;
        return Open(captionId);
    }
    // Number of steps; 0 (the default) keeps the bar hidden.
    virtual void SetTotal(long long total) = 0;
    virtual void SetPosition(long long position) = 0;
    // Shift_JIS text shown in the text line at the next tick.
    virtual void SetMessage(const std::string& text) = 0;
    // True once Cancel was pressed; the window stays until Close.
    virtual bool Cancelled() const = 0;
    // Removes the window; the main window is enabled again when no other
    // progress window is open. Safe to call twice.
    virtual void Close() = 0;
};

// A progress window that never shows and is never cancelled.
class NullProgress : public DocumentProgress {
public:
    bool Open(unsigned) override { return true; }
    void SetTotal(long long) override {}
    void SetPosition(long long) override {}
    void SetMessage(const std::string&) override {}
    bool Cancelled() const override { return false; }
    void Close() override {}
};

// What the document hands the post window: the posting settings of the
// configuration and the initial field values (all Shift_JIS).
struct PostParams {
    std::string strRealName;
    std::string strMailAddress;
    std::string strOrganization;
    std::string strNntpServer;
    int nNntpPort = 119;
    textcodec::KanjiCode PostKanjiCode = textcodec::KanjiCode::Jis;
    std::string strNewsgroups;
    std::string strDistribution;
    std::filesystem::path attachPath; // always empty for a new window
    // The posting connection is secured and logged in as the document's:
    // the same settings, and the same questions to the user (empty: none).
    net::SecuritySettings security;
    std::function<bool(const net::LoginRequest&, std::string& user, std::string& password)> askLogin;
    std::function<bool(const net::CertificateInfo&)> askTrust;
    // Its waits and its log are the document's too (log null: none; it
    // outlives every post window).
    net::TcpTimeouts timeouts;
    const net::ProtocolLog* log = nullptr;
};

// The followed article, for a follow-up: its header text and the body text
// as the body pane shows it (without the header lines).
struct FollowUpSource {
    std::string header;
    std::string body;
    // Not a follow-up: the article to replace, written over as it is.
    bool supersede = false;
};

enum class PostWindowResult {
    Started,       // the window is up and has started the article
    CreateFailed,  // the window could not be made; nothing is left of it
    Abandoned,     // the follow-up preparation failed or was cancelled; the window was closed
};

class DocumentHost {
public:
    virtual ~DocumentHost() = default;

    // Shows string-table entry id, formatted printf-style with args (each a
    // %s or %d of the entry, in order; file paths in their native form, other
    // texts Shift_JIS). Returns the button pressed (IDOK for plain messages;
    // IDYES, IDNO or IDCANCEL for questions).
    virtual int ShowMessage(unsigned id, MessageIcon icon, const std::vector<std::string>& args) = 0;
    // The same with a literal (ASCII) text instead of a string-table entry.
    virtual int ShowMessageText(const std::string& text, MessageIcon icon)
    {
        (void)text;
        (void)icon;
        return IDOK;
    }
    // A short warning sound: an operation was refused because another runs.
    virtual void Beep() {}

    // Dialog 135 (limit reached), the number field 1052 preset to count.
    // Returns IDYES with count set to the number entered, or IDNO / IDCANCEL.
    virtual int AskReadLimit(int& count)
    {
        (void)count;
        return IDNO;
    }
    // Dialog 122 (reload), fields 1034 and 1035 preset to start and end.
    // Returns IDOK with the numbers entered, or IDCANCEL.
    virtual int AskReloadRange(int& start, int& end)
    {
        (void)start;
        (void)end;
        return IDCANCEL;
    }

    // A progress window (see DocumentProgress) appearing after delayMs.
    virtual std::unique_ptr<DocumentProgress> MakeProgress(int delayMs)
    {
        (void)delayMs;
        return std::make_unique<NullProgress>();
    }
    virtual void BeginWaitCursor() {}
    virtual void EndWaitCursor() {}
    // Runs the window events that are waiting, then returns.
    virtual void PumpEvents() {}

    // The connect step of going online (the connect dialog): resolves server,
    // connects to port, retrying until it succeeds or the user cancels, and
    // reports its own failures. Returns the connected socket, which the
    // document then owns, or -1.
    virtual int ConnectServer(const std::string& server, int port)
    {
        (void)server;
        (void)port;
        return -1;
    }

    // The server wants a login: user and password (Shift_JIS / bytes as
    // typed) for request. The windows take a password kept for this run or in
    // the secret store unless request.failedBefore, else ask. False when the
    // user cancels (the operation is then abandoned, nothing lost).
    virtual bool AskLogin(const net::LoginRequest& request, std::string& user, std::string& password)
    {
        (void)request;
        (void)user;
        (void)password;
        return false;
    }
    // A certificate failed verification: true when the user trusts this exact
    // certificate for this server (the document then keeps its fingerprint).
    virtual bool AskTrustCertificate(const net::CertificateInfo& info)
    {
        (void)info;
        return false;
    }
    // The body pane: the header text and displayed text of the article it
    // shows (Shift_JIS, CR LF); false when it shows none. With the header
    // lines shown, displayed begins with them.
    virtual bool GetShownArticle(std::string& header, std::string& displayed)
    {
        (void)header;
        (void)displayed;
        return false;
    }
    // Cheaper than GetShownArticle, for command states: is an article shown?
    virtual bool HasShownArticle() { return false; }
    // Puts text (Shift_JIS) on the clipboard as plain text; false when the
    // clipboard cannot be had.
    virtual bool PutClipboardText(const std::string& text)
    {
        (void)text;
        return false;
    }
    // Starts program with args (UTF-8), no shell, not waited for; false when
    // it could not be started.
    virtual bool StartProgram(const std::string& program, const std::vector<std::string>& args)
    {
        (void)program;
        (void)args;
        return false;
    }
    // The post window: when one exists, brings it to the front (restoring it
    // when minimised) and returns true.
    virtual bool ActivatePostWindow() { return false; }
    // Creates the post window with params and starts a new article, or a
    // follow-up of source when source is not null.
    virtual PostWindowResult OpenPostWindow(const PostParams& params, const FollowUpSource* source)
    {
        (void)params;
        (void)source;
        return PostWindowResult::CreateFailed;
    }

    // The Cancel-Lock secret of the mail address, made when first needed;
    // empty for none (the article then carries no lock).
    virtual std::string CancelSecret(const std::string& address)
    {
        (void)address;
        return {};
    }

    // The settings sheet, filled from values; true after OK, with values
    // holding what the user entered.
    virtual bool EditSettings(SettingsValues& values)
    {
        (void)values;
        return false;
    }

    // Pane commands the document passes on (find, paging, print).
    enum class Pane { ArticleList, Body };
    virtual void ForwardCommand(Pane pane, unsigned id)
    {
        (void)pane;
        (void)id;
    }
};

// Message ids of the string table used by the document.
namespace msg {
inline constexpr unsigned SaveRecordFailed = platform::IDS_61222;   // 記録ファイルの保存に失敗しました
inline constexpr unsigned NoRecordFileName = platform::IDS_61223;   // 記録ファイル名を指定してください
inline constexpr unsigned ReadingGroupList = platform::IDS_61224;   // グループ一覧を読み込んでいます
inline constexpr unsigned ReadingArticleList = platform::IDS_61225; // 記事一覧を読み込んでいます
inline constexpr unsigned OpenCreateFailed = platform::IDS_61239;   // ファイル(%s)のオープン（作成）に失敗しました。
inline constexpr unsigned WriteFileFailed = platform::IDS_61241;    // ファイル(%s)の書き込みに失敗しました。
inline constexpr unsigned ReadFileFailed = platform::IDS_61242;     // ファイル(%s)の読み込みに失敗しました。
inline constexpr unsigned ClipboardBusy = platform::IDS_61270;      // クリップボードが他のプログラムで使用中のため…
inline constexpr unsigned MailerUnavailable = platform::IDS_61271;  // %sが登録されていないか起動できないので…
inline constexpr unsigned PostWindowFailed = platform::IDS_61248;   // 記事作成ウインドウの作成ができません。
inline constexpr unsigned OfflinePost = platform::IDS_61250;        // オフライン時には記事の作成はできません。
inline constexpr unsigned DeleteFileFailed = platform::IDS_61274;   // ファイル[%s]の削除に失敗しました。…
inline constexpr unsigned ServerFailed = platform::IDS_61279;       // NNTPサーバとの通信に失敗しました。
inline constexpr unsigned GroupNotFound = platform::IDS_61280;      // グループ(%s)が見つかりません。
inline constexpr unsigned OutOfMemory = platform::IDS_61282;        // メモリ不足のため処理を継続できません。
inline constexpr unsigned LoadingArticle = platform::IDS_61283;     // %d番の記事を読み込み中
inline constexpr unsigned LoadingDone = platform::IDS_61285;        // 読み込み完了
inline constexpr unsigned ArticleNotFound = platform::IDS_61287;    // 記事が見つかりません
inline constexpr unsigned PortExpectsTls = platform::IDS_61350;     // このポートはSSL/TLSの接続を待っています。…\n\n%s
inline constexpr unsigned PortExpectsPlain = platform::IDS_61351;   // このポートは暗号化しない接続を待っています。…\n\n%s
inline constexpr unsigned Connecting = platform::IDS_61352;         // サーバに接続しています
inline constexpr unsigned RestoreUntitled = platform::IDS_61353;    // 前回の終了時に保存されなかった設定と既読情報があります。…
inline constexpr unsigned RestoreReadMarks = platform::IDS_61288;   // 前回の終了時に保存されなかった既読情報があります(%s)。…
inline constexpr unsigned JoiningParts = platform::IDS_61400;       // 複数パートを結合しています: %s
inline constexpr unsigned JoinPartsDone = platform::IDS_61401;      // パート %d/%d
inline constexpr unsigned ArticleLinkFailed = platform::IDS_61216;  // 通信エラーが発生しました(CBodyView::UpdateView)。
} // namespace msg

// Shows a stop message when a host is present.
inline void ReportError(DocumentHost* host, unsigned id, std::vector<std::string> args = {})
{
    if (host)
        host->ShowMessage(id, MessageIcon::Stop, args);
}

} // namespace news
