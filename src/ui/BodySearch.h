#pragma once
// What the article list needs of the body pane: its selected text (the
// search dialog's preset), a search of the text it shows from its current
// position that selects a match, whether the server answered for the
// article it was last asked to show, and the row of the article it shows.

#include <string>

namespace ui {

class BodySearch {
public:
    virtual ~BodySearch() = default;
    // Shift_JIS; empty when nothing is selected.
    virtual std::string SelectedText() const = 0;
    // Searches the shown text from the caret downwards or upwards; true when
    // found (the match is selected then).
    virtual bool FindText(bool downwards, const std::string& text, bool ignoreCase) = 0;
    // True when the article was fetched, or the server said it is not there:
    // either way it counts as read. False after a broken connection, a
    // Cancel, or a refusal while the connection was busy.
    virtual bool Answered(int number) const { (void)number; return true; }
    // The list row of article number as the body pane now reads it, when the
    // reader chose a charset for it; false: the row as it is.
    virtual bool RecodedRow(int number, std::string& subject, std::string& from) const
    {
        (void)number, (void)subject, (void)from;
        return false;
    }
};

} // namespace ui
