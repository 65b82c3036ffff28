#pragma once
// The header summary of one article of the open group.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace news {

struct CArticle {
    std::int32_t m_nNumber = 0;
    std::string m_strMessageID;   // from the last '<' of Message-ID to the end
    std::string m_strParentID;    // the last entry of the chain: the parent
    std::string m_strReferences;  // every Message-ID of References (or In-Reply-To), oldest first, one blank between
    std::string m_strSubject;
    std::string m_strFrom;
    std::string m_strXref;        // "host group:number ...", empty when absent
    std::int64_t m_timeDate = 0;  // seconds since 1970 UTC; 0 when unknown
    bool m_bRead = false;         // already read when the article was fetched
    std::int64_t m_nLines = 0;    // from Lines; 0 when absent
    std::int64_t m_nBytes = 0;    // from Bytes (the overview); 0 when absent
    int m_nScore = 0;             // what the score rules gave it
    bool m_bKilled = false;       // at or below the kill threshold: hidden and read

    // The part of a Message-ID or References value from its last '<' to the
    // end; empty when it holds no '<'.
    static std::string FromLastAngle(std::string_view value);
    // The <...> identifiers of a References value joined by one blank, however
    // the value was folded or spaced.
    static std::string ReferenceChain(std::string_view value);
    // The last identifier of a chain made by ReferenceChain; empty for none.
    static std::string LastOfChain(std::string_view chain);
    // The chain a header threads by: References, or when that holds no
    // identifier (mail gateways) the first identifier of In-Reply-To.
    static std::string ThreadChain(std::string_view references, std::string_view inReplyTo);
};

// The group:number entries of an Xref value; the leading host name and
// malformed entries are skipped.
std::vector<std::pair<std::string, std::int32_t>> ParseXref(std::string_view xref);

} // namespace news
