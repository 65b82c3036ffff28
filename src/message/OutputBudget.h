#pragma once
// What saving the attachments of one article may write in all. It grows with
// the article's size, so a small article cannot fill the disk through
// run-length data or parts that each read on to the article's end, while any
// real attachment (never larger than its encoded form, or a few times that
// for run-length data) fits.

#include <cstdint>

namespace message {

class OutputBudget {
public:
    static constexpr std::uint64_t kPerArticleByte = 4;
    static constexpr std::uint64_t kAllowance = std::uint64_t{16} << 20;
    static OutputBudget ForArticle(std::uint64_t articleBytes)
    {
        return OutputBudget(kAllowance + kPerArticleByte * articleBytes);
    }

    explicit OutputBudget(std::uint64_t limit) : limit_(limit) {}
    // False, and nothing counted, when that many more bytes would pass the limit.
    bool Take(std::uint64_t bytes)
    {
        if (bytes > limit_ - used_)
            return false;
        used_ += bytes;
        return true;
    }
    std::uint64_t Used() const { return used_; }
    std::uint64_t Limit() const { return limit_; }

private:
    std::uint64_t limit_;
    std::uint64_t used_ = 0;
};

} // namespace message
