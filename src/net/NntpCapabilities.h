#pragma once
// What a server says it can do: the lines of its CAPABILITIES reply.

#include <string>
#include <string_view>
#include <vector>

namespace net {

class NntpCapabilities {
public:
    // A hostile server cannot make the list grow without end.
    static constexpr std::size_t kMaxEntries = 256;
    static constexpr std::size_t kMaxLine = 512;

    void Clear() { entries_.clear(); }
    // One data line of the reply ("AUTHINFO USER SASL\r\n").
    void Add(std::string_view line);
    // The capability's label, in any case ("MODE-READER").
    bool Has(std::string_view label) const;
    // The label followed by this argument ("AUTHINFO", "USER").
    bool Has(std::string_view label, std::string_view argument) const;
    bool Empty() const { return entries_.empty(); }

private:
    // Words upper-cased, the label first.
    std::vector<std::vector<std::string>> entries_;
};

} // namespace net
