#include "message/FlowedText.h"

#include "message/HeaderFields.h"

namespace message {

void FlowedText::Put(std::string_view text, std::string& out)
{
    for (std::size_t lf; (lf = text.find('\n')) != std::string_view::npos;) {
        std::string_view line = text.substr(0, lf);
        if (!partial_.empty()) {
            partial_ += line;
            line = partial_;
        }
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        Line(line, out);
        partial_.clear();
        text.remove_prefix(lf + 1);
    }
    partial_ += text;
}

void FlowedText::Finish(std::string& out)
{
    if (!partial_.empty()) {
        const std::string last = std::move(partial_);
        partial_.clear();
        Line(last, out);
    }
    Close(out);
}

void FlowedText::Line(std::string_view line, std::string& out)
{
    int depth = 0;
    while (depth < static_cast<int>(line.size()) && line[depth] == '>')
        ++depth;
    line.remove_prefix(depth);
    if (!line.empty() && line.front() == ' ')
        line.remove_prefix(1); // space-stuffing
    // The signature separator is never flowed.
    const bool flowed = !line.empty() && line.back() == ' ' && line != "-- ";
    if (open_ && depth != depth_)
        Close(out);
    if (!open_) {
        depth_ = depth;
        open_ = true;
    }
    if (flowed && delSp_)
        line.remove_suffix(1);
    paragraph_ += line;
    if (!flowed)
        Close(out);
}

void FlowedText::Close(std::string& out)
{
    if (!open_)
        return;
    if (depth_ > 0) {
        out.append(static_cast<std::size_t>(depth_), '>');
        out += ' ';
    }
    out += paragraph_;
    out += "\r\n";
    paragraph_.clear();
    open_ = false;
}

bool IsFlowed(std::string_view contentType, bool& delSp)
{
    delSp = MimeToken(GetParameter(contentType, "delsp")) == "yes";
    return MimeToken(GetParameter(contentType, "format")) == "flowed";
}

} // namespace message
