#pragma once

namespace news {

// The panes as the document sees them: each registers with the document and
// gets every change broadcast as a hint number.

namespace hint {
inline constexpr long Article = 2;        // current article or display settings changed
inline constexpr long Group = 4;          // current group or its article list changed
inline constexpr long GroupTree = 8;      // the group tree must be rebuilt
inline constexpr long Online = 14;        // online state changed (8, 4 and 2 together)
inline constexpr long NextUnread = 16;
inline constexpr long GroupMoved = 20;    // the group pane moved to another group (16 and 4)
inline constexpr long NextArticle = 32;
inline constexpr long PrevArticle = 64;
inline constexpr long NextUnreadGroup = 128;
inline constexpr long PrevUnreadGroup = 256;
inline constexpr long MarkRead = 512;     // the article list pane asks which articles to mark
inline constexpr long ListCleared = 2048; // no current article
inline constexpr long ReadMarks = 4096;   // read marks changed, nothing else
} // namespace hint

class DocumentView {
public:
    virtual ~DocumentView() = default;
    // sender is the view that started the change, or null for the document.
    virtual void OnUpdate(DocumentView* sender, long hint) = 0;
};

} // namespace news
