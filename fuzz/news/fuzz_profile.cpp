// A configuration file read, written back and read again: every value must
// come back as it was read (line breaks inside a value become blanks).
#include "FuzzInput.h"
#include "news/LumeConfig.h"
#include "news/LumeDoc.h"
#include "news/ProfileData.h"
#include "news/Signatures.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <tuple>

using namespace news;

namespace {

std::string OneLine(std::string s)
{
    for (char& c : s)
        if (c == '\r' || c == '\n')
            c = ' ';
    return s;
}

auto Values(const LumeConfig& c)
{
    return std::make_tuple(c.nNntpPort, c.nMaxReadArtcleCount, OneLine(c.strNntpServer), OneLine(c.strMarkFile),
                           OneLine(c.strMailAddress), OneLine(c.strRealName), OneLine(c.strOrganization),
                           c.bShowAllGroup, c.bShowUnreadGroup, c.bShowChangeGroupDialog, c.bShowOldArticle,
                           c.PostKanjiCode, c.nTcpWaitSec, c.nTcpRetryCount, c.bSignAutoInsert, c.nSignSelect,
                           OneLine(c.strSignature0), OneLine(c.strSignature1), OneLine(c.strSignature2));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto& path = fuzz::WriteInput(data, size);
    CProfileData profile(path, LumeConfig::kSection, nullptr);
    LumeConfig read;
    read.Exchange(profile, false);

    for (const std::string* s : {&read.strSignature0, &read.strSignature1, &read.strSignature2})
        if (const auto text = DecodeSignatureText(*s); text && DecodeSignatureText(EncodeSignatureText(*text)) != text)
            std::abort();
    // The read-marks file named by a file from elsewhere stays beside it.
    if (const auto marks = CLumeDoc::ReadMarksPathFor(path, read.strMarkFile)) {
        const auto inside = marks->lexically_normal().lexically_relative(path.parent_path());
        if (inside.empty() || *inside.begin() == "..")
            std::abort();
    }

    if (!read.Exchange(profile, true))
        std::abort();
    LumeConfig again;
    again.Exchange(profile, false);
    if (Values(again) != Values(read))
        std::abort();
    return 0;
}
