#pragma once
// The overview database as a server gives it (OVER/XOVER, HDR/XHDR, LIST
// OVERVIEW.FMT): one article's line turned into its number and the header
// lines the walk over HEADs would have read.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace net {

// The fields of an overview line after the article number, in order.
class OverviewFormat {
public:
    // RFC 3977's seven fields, for a server that does not say.
    OverviewFormat();
    // From the data lines of LIST OVERVIEW.FMT. The first seven fields mean
    // what they always mean whatever they are called; false (and the default
    // kept) when the list is shorter or holds something that is no field name.
    bool Parse(const std::vector<std::string>& lines);
    // True when the lines carry this header ("Xref"), whole.
    bool Has(std::string_view header) const;
    std::size_t Size() const { return fields_.size(); }

    struct Field {
        std::string name; // header name without colon, "" for :bytes and :lines
        bool full = false; // the value comes as "Name: value"
    };
    const std::vector<Field>& Fields() const { return fields_; }

private:
    std::vector<Field> fields_;
};

// One parsed overview line: the number and "Name: value\r\n" lines for the
// named fields that are not empty.
struct OverviewRecord {
    std::int32_t number = 0;
    std::string header;
};

// False when the line is not an overview line of that format: no number, a
// number outside 1..2^31-1, or fewer fields than the five named header ones.
bool ParseOverviewLine(std::string_view line, const OverviewFormat& format, OverviewRecord& out);

// One HDR or XHDR data line, "number value"; "(none)" is taken as empty.
bool ParseHeaderLine(std::string_view line, std::int32_t& number, std::string& value);

// What a server offers for the overview walk, and how to ask for it.
struct OverviewSupport {
    std::string overCommand;  // "OVER" or "XOVER"; empty when there is none
    std::string hdrCommand;   // "HDR" or "XHDR"; empty when there is none
    OverviewFormat format;
    bool Usable() const { return !overCommand.empty(); }
};

} // namespace net
