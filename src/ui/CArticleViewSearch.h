#pragma once
// What the article search needs of the body pane: its selected text (the
// dialog's preset) and a search of the text it shows, from its current
// position, that selects a match.

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
};

} // namespace ui
