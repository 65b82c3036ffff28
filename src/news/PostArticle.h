#pragma once
// The outgoing article: from what the user wrote and the posting settings to
// the parameter CNntp::Post sends, the encoded attachment and the posting
// over a connection of its own. The post window and lumetra-tool both post
// through here, so they send the same article.

#include "net/Nntp.h"
#include "news/DocumentHost.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace news {

inline constexpr const char* kNewsreaderName = "Lumetra [version 1.00 Beta2]";

// What the user wrote (Shift_JIS; body lines end in CR LF or LF).
struct PostForm {
    std::string distribution;
    std::string newsgroups;
    std::string subject;
    std::string replyTo;
    std::string followupTo;
    std::filesystem::path attachPath;
    int attachEncoding = 0; // 0 Base64, 1 BinHex 4.0, 2 uuencode, 3 yEnc
    std::string body;
    std::string references;
    std::string signature; // appended after "-- "; empty for none
    // Characters the posting code cannot carry go out as GETA MARK; without
    // it such an article is refused (UncarriedCharacter).
    bool replaceUncarried = false;
    // Sent again after an answer was lost: the id the first try used.
    std::string messageId;
    // RFC 8315 secret (empty: no Cancel-Lock).
    std::string cancelSecret;
    // More fields ("Control:", "Supersedes:", "Cancel-Key:"), Shift_JIS.
    std::vector<std::pair<std::string, std::string>> extraFields;
};

// The first character of the article (Shift_JIS bytes) that the posting
// code cannot carry; empty when there is none.
std::string UncarriedCharacter(const PostForm& form, const PostParams& settings);

// A References value fit to post: identifiers that are not RFC 5536
// Message-IDs (longer than 250 octets among them) dropped, and ids after the
// first removed until the rest fits in about 32 lines; the last one kept.
std::string TrimReferences(std::string_view references);

// The cancel of one's own article (RFC 5537): Control, the groups it was
// posted to, and its Cancel-Key when a secret is set.
PostForm CancelForm(const std::string& messageId, const std::string& newsgroups, const std::string& secret);
// Supersedes and Cancel-Key added to a new article replacing messageId.
void MakeSupersede(PostForm& form, const std::string& messageId, const std::string& secret);

// True when from (a From value) names address, compared without case; an
// empty address is nobody's.
bool IsOwnFrom(std::string_view from, std::string_view address);

// A new article to replace the one of header and body (Shift_JIS): its
// groups, Subject, Distribution, Followup-To, Reply-To, References and text.
struct SupersedeDraft {
    PostForm form;
    std::string supersedes; // the article's Message-ID
};
SupersedeDraft MakeSupersedeDraft(std::string_view header, std::string_view body);

// A group list split at blanks, commas, tabs and line ends, joined with ",".
std::string NormaliseGroupList(std::string_view text);

// The article without its encoded attachment; nothing when Newsgroups is
// empty after normalising.
std::optional<net::CNntpPostMessageParam> BuildPostParam(const PostForm& form, const PostParams& settings);

struct PostOutcome {
    bool posted = false;
    // A string-table message to show (with args) when not posted for a reason
    // found before the server was reached; 0 otherwise.
    unsigned messageId = 0;
    std::vector<std::string> args;
    // The server's refusal, or what went wrong on the connection.
    std::string serverReply;
    // The whole article went out but no answer came: it may be on the server.
    bool maybePosted = false;
    // The Message-ID the article went out with (empty when the server chose).
    std::string postedId;
};

struct PostHooks {
    std::function<void(const std::string& text)> status; // the status window
    std::function<void(const std::string& text)> error;  // network errors
    std::function<void()> pump;                           // run while waiting
    std::string caFile; // trust only this file's certificates (empty: the system's)
};

// The posting steps: normalise and check, encode the attachment into a
// private temporary file (removed whatever happens), connect (secured and
// logged in as settings say, greeting 200 or a login) and post.
PostOutcome PostArticle(const PostForm& form, const PostParams& settings, const PostHooks& hooks = {});

} // namespace news
