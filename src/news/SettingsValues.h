#pragma once
// What the settings sheet edits: a copy of the configuration, the online
// state, the per-user browser and body colour values, and the login password.

#include "news/LumeConfig.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace news {

struct SettingsValues {
    LumeConfig config;
    bool online = false;
    int browserType = 0;      // WWWViewer/Type: 0 Netscape, 1 Internet Explorer
    std::string browserPath;  // WWWViewer/strPathName, a native file name
    // BodyView colours (0x00BBGGRR) in the order of kColourKeys; none when
    // never set, so that the window's own default is shown.
    std::array<std::optional<std::uint32_t>, 5> colours;
    // Opened by the program itself on a start without any configuration.
    bool firstStart = false;
    // The login password as the sheet shows and returns it (Shift_JIS). The
    // windows keep it; the document never copies or writes it.
    std::string password;
    // Days a group may go unopened before the header store drops it
    // (registry "HeaderStore", "nExpireDays").
    int expiryDays = 30;

    // The article list's colours of rows scored above and below zero
    // (section "ArticleView"); none when never set.
    std::array<std::optional<std::uint32_t>, 2> scoreColours;
    static constexpr std::array<const char*, 2> kScoreColourKeys = {"HighScoreColor", "LowScoreColor"};

    static constexpr std::array<const char*, 5> kColourKeys = {"TextColor", "HeaderColor", "BoundaryColor",
                                                               "BinaryMarkColor", "BackGroundColor"};
};

} // namespace news
