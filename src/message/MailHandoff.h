#pragma once
// The text a mail reply hands to the mail program through the clipboard, both
// sides of it: "To:" and the reply address, CR LF, then the article text
// (header, empty line, body; Shift_JIS, CR LF). The mail program turns it into
// the arguments of the desktop's mail composer (xdg-email).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace message {

// Reply-To, else From, decoded and whole (a display name included), on one
// line so that it cannot add lines after "To:".
std::string ReplyAddress(std::string_view header);
// The article once: header (CR LF ended), an empty line, body.
std::string MailArticleText(std::string_view header, std::string_view body);
std::string MakeMailHandoff(std::string_view address, std::string_view articleText);

// A reply as the composer is to open it (Shift_JIS).
struct MailDraft {
    std::string to;
    std::string subject;
    std::string body; // the article's body quoted with "> ", CR LF
};
// Nothing when text is not a hand-off text (it must begin with "To:").
std::optional<MailDraft> ReadMailHandoff(std::string_view text);
// xdg-email's arguments (UTF-8): every value follows its option, and none
// begins with '-'; none at all for a new, empty mail.
std::vector<std::string> MailComposerArguments(const MailDraft* draft);

} // namespace message
