#pragma once
// Text sent as format=flowed (RFC 3676) in the form the body pane shows:
// the soft-broken lines of a paragraph joined into one line for the pane to
// wrap, quote marks kept in front, fixed lines as they are.

#include <string>
#include <string_view>

namespace message {

class FlowedText {
public:
    explicit FlowedText(bool delSp) : delSp_(delSp) {}
    // Complete lines of text (CR LF or LF ends) to out; a last line without
    // its end waits for the rest.
    void Put(std::string_view text, std::string& out);
    // What is still open (the part ends).
    void Finish(std::string& out);

private:
    void Line(std::string_view line, std::string& out);
    void Close(std::string& out);
    bool delSp_;
    std::string partial_;
    std::string paragraph_;
    int depth_ = 0;
    bool open_ = false;
};

// True when a Content-Type value declares format=flowed; delSp tells DelSp=yes.
bool IsFlowed(std::string_view contentType, bool& delSp);

} // namespace message
