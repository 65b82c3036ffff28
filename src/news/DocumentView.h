#pragma once

namespace news {

// The panes as the document sees them: each registers with the document and
// gets every change broadcast as a hint. The values are bits and combine.
enum class Hint : unsigned {
    None = 0,
    Article = 2,          // current article or display settings changed
    Group = 4,            // current group or its article list changed
    GroupTree = 8,        // the group tree must be rebuilt
    Online = 14,          // online state changed (8, 4 and 2 together)
    NextUnread = 16,
    GroupMoved = 20,      // the group pane moved to another group (16 and 4)
    NextArticle = 32,
    PrevArticle = 64,
    NextUnreadGroup = 128,
    PrevUnreadGroup = 256,
    MarkRead = 512,       // the article list pane asks which articles to mark
    ListCleared = 2048,   // no current article
    ReadMarks = 4096,     // read marks changed, nothing else
};

constexpr Hint operator|(Hint a, Hint b) { return Hint(unsigned(a) | unsigned(b)); }
constexpr Hint operator&(Hint a, Hint b) { return Hint(unsigned(a) & unsigned(b)); }
// True when hint carries any bit of bits.
constexpr bool HasHint(Hint hint, Hint bits) { return (unsigned(hint) & unsigned(bits)) != 0; }

class DocumentView {
public:
    virtual ~DocumentView() = default;
    // sender is the view that started the change, or null for the document.
    virtual void OnUpdate(DocumentView* sender, Hint hint) = 0;
};

} // namespace news
