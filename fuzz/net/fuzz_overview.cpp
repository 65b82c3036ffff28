// The overview parser: the input's lines up to an empty one are a LIST
// OVERVIEW.FMT reply, the rest OVER and HDR data lines.
#include "net/Overview.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 1 << 16)
        return 0;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> formatLines;
    net::OverviewFormat format;
    bool inFormat = true;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end == std::string_view::npos ? end : end + 1);
        text.remove_prefix(line.size());
        if (inFormat) {
            if (line == "\n" || line == "\r\n") {
                inFormat = false;
                // A refused list keeps the standard fields.
                if (!format.Parse(formatLines) && format.Size() != 7)
                    std::abort();
            } else {
                formatLines.emplace_back(line);
            }
            continue;
        }
        net::OverviewRecord record;
        if (net::ParseOverviewLine(line, format, record)) {
            if (record.number < 1)
                std::abort();
            // Every field is one header line: nothing from the wire may end it early.
            for (std::size_t at = 0; at < record.header.size();) {
                const std::size_t lf = record.header.find("\r\n", at);
                if (lf == std::string::npos || record.header.find_first_of(std::string_view("\r\n\0", 3), at) != lf ||
                    record.header.find(": ", at) > lf)
                    std::abort();
                at = lf + 2;
            }
        }
        std::int32_t number = 0;
        std::string value;
        if (net::ParseHeaderLine(line, number, value) && number < 1)
            std::abort();
    }
    return 0;
}
