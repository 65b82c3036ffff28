#pragma once
// Walking a text file's lines: LF or CR LF ends, the last line may lack one.
#include <cstddef>
#include <string_view>

namespace platform {

// Takes the line starting at pos (without its line end) and moves pos past
// it; false once the text is used up.
inline bool NextLine(std::string_view text, std::size_t& pos, std::string_view& line)
{
    if (pos >= text.size())
        return false;
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos)
        end = text.size();
    line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return true;
}

} // namespace platform
