#pragma once
// A follow-up to an article: the groups offered, the fields taken over from
// the followed article, and its body quoted with an introduction. All text is
// Shift_JIS with CR LF line ends; header text as message/HeaderFields reads it.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform { class Registry; }

namespace news {

// The quoting options, kept in the user settings under "FollowUp".
struct FollowUpOptions {
    bool bIncludeBody = true;
    bool bNameQuote = false;
    int CommentLang = 0; // 0 English, 1 Japanese, 2 none
    std::string strQuoteString = ">";

    static FollowUpOptions Load(const platform::Registry& registry);
    void Save(platform::Registry& registry) const;
};

// What the follow-up dialog shows and gives back.
struct FollowUpChoice {
    std::vector<std::string> groups; // offered, in order
    std::vector<bool> selected;      // one per group
    FollowUpOptions options;
};

// The post window's fields of a follow-up.
struct FollowUpFields {
    std::string distribution;
    std::string subject;
    std::string newsgroups;
    std::string followupTo;
    std::string references;
    std::string body;
};

// Where the header lines the body pane shows above the body end in its text:
// the CR LF before the empty line; npos when it shows none. The pane always
// shows some (a filtered set unless all are asked for).
std::size_t DisplayedHeaderEnd(std::string_view displayed);
// Followup-To when the article has one ("poster" included), else Newsgroups.
std::string FollowUpGroups(std::string_view header);
// A group list split at commas and blanks into items.
std::vector<std::string> SplitGroupItems(std::string_view text);
// The parent's References followed by its Message-ID, dropping identifiers
// after the first while the header line would pass 998 bytes.
std::string FollowUpReferences(std::string_view header);
std::string BuildQuotePrefix(std::string_view header, std::string_view quoteString, bool nameQuote);
// language: 0 English, 1 Japanese, anything else none.
std::string BuildQuoteIntro(std::string_view header, int language);
// prefix + line + CR LF for each line of body; a run of LF is one line end
// and a line ends at its first CR.
std::string QuoteBody(std::string_view body, std::string_view prefix);
FollowUpFields MakeFollowUpFields(std::string_view header, std::string_view body, const FollowUpChoice& choice);

// Asks the user (the follow-up dialog); false when cancelled.
using FollowUpAsk = std::function<bool(FollowUpChoice& choice)>;
// The whole preparation: offers the groups with every item selected and the
// stored options, stores what the user chose; nothing when cancelled.
std::optional<FollowUpFields> BuildFollowUp(std::string_view header, std::string_view body,
                                            platform::Registry& registry, const FollowUpAsk& ask);

} // namespace news
