#pragma once
// Files posted over many articles: the part counter in a subject ("name
// (3/15)", "[3/15]", "name yEnc (03/15)"), and the articles of one file
// gathered by subject stem and poster.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace news {

struct CArticle;

// More parts than this is not a counter anyone posts.
inline constexpr unsigned kMaxParts = 100000;

struct PartSubject {
    std::string stem; // the subject without its counter, blanks at either end dropped
    unsigned part = 0;
    unsigned total = 0;
};

// The last "(k/n)" or "[k/n]" of a subject, with 1 <= k <= n <= kMaxParts
// and n >= 2. A follow-up ("Re:") is not a part. Linear in the subject.
std::optional<PartSubject> ParsePartSubject(std::string_view subject);

struct PartArticle {
    unsigned part = 0;
    std::int32_t number = 0;
    std::string messageId;
};

struct PartFile {
    std::string stem, poster;
    unsigned total = 0;
    // By part, then article number; a part posted twice is here twice.
    std::vector<PartArticle> articles;

    unsigned Present() const;
    std::vector<unsigned> Missing() const;
    // The name the poster gave: a quoted name in the stem, else the stem.
    std::string Name() const;
};

// The multi-part files among articles, in the order their first article
// comes; articles of one file share stem, poster and total.
std::vector<PartFile> GroupPartFiles(const std::vector<std::unique_ptr<CArticle>>& articles);

} // namespace news
