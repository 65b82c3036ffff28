// The document's Settings command.
#include "news/HeaderStore.h"
#include "news/LumeDoc.h"
#include "platform/Registry.h"

namespace news {

namespace {
constexpr const char* kBodyView = "BodyView";
constexpr const char* kBrowser = "WWWViewer";
constexpr const char* kArticleView = "ArticleView";
} // namespace

void CLumeDoc::OnSettings(bool firstStart)
{
    platform::Registry& reg = registry_;
    SettingsValues values;
    values.config = config_;
    values.online = IsConnected();
    values.firstStart = firstStart;
    values.browserType = reg.GetInt(kBrowser, "Type", 0);
    values.browserPath = reg.GetString(kBrowser, "strPathName");
    values.expiryDays = HeaderStoreExpiryDays(reg);
    for (std::size_t i = 0; i < values.colours.size(); ++i)
        if (reg.TypeOf(kBodyView, SettingsValues::kColourKeys[i]) == platform::Registry::Type::Integer)
            values.colours[i] = std::uint32_t(reg.GetInt(kBodyView, SettingsValues::kColourKeys[i], 0));
    for (std::size_t i = 0; i < values.scoreColours.size(); ++i)
        if (reg.TypeOf(kArticleView, SettingsValues::kScoreColourKeys[i]) == platform::Registry::Type::Integer)
            values.scoreColours[i] =
                std::uint32_t(reg.GetInt(kArticleView, SettingsValues::kScoreColourKeys[i], 0));
    if (!host_ || !host_->EditSettings(values))
        return;

    const LumeConfig& c = values.config;
    // A certificate is trusted for one server only.
    if (c.strNntpServer != config_.strNntpServer)
        config_.strTrustedCertificate.clear();
    config_.nMaxReadArtcleCount = c.nMaxReadArtcleCount;
    config_.strMarkFile = c.strMarkFile;
    config_.bShowChangeGroupDialog = c.bShowChangeGroupDialog;
    config_.bShowOldArticle = c.bShowOldArticle;
    config_.PostKanjiCode = c.PostKanjiCode;
    config_.strMailAddress = c.strMailAddress;
    config_.strOrganization = c.strOrganization;
    config_.strRealName = c.strRealName;
    config_.strNntpServer = c.strNntpServer;
    config_.nNntpPort = c.nNntpPort;
    config_.nTcpWaitSec = c.nTcpWaitSec;
    config_.nTcpRetryCount = c.nTcpRetryCount;
    config_.nSecurity = c.nSecurity;
    config_.strUserName = c.strUserName;
    config_.bRememberPassword = c.bRememberPassword;
    config_.bAllowPlainPassword = c.bAllowPlainPassword;
    config_.bCompress = c.bCompress;
    // New waits hold from the next wait on, not only after the next open.
    ApplyTransportSettings();
    reg.WriteString(kBrowser, "strPathName", values.browserPath);
    reg.WriteInt(kBrowser, "Type", values.browserType);
    reg.WriteInt("HeaderStore", "nExpireDays", values.expiryDays);
    for (std::size_t i = 0; i < values.colours.size(); ++i)
        if (values.colours[i])
            reg.WriteInt(kBodyView, SettingsValues::kColourKeys[i], int(*values.colours[i]));
    for (std::size_t i = 0; i < values.scoreColours.size(); ++i)
        if (values.scoreColours[i])
            reg.WriteInt(kArticleView, SettingsValues::kScoreColourKeys[i], int(*values.scoreColours[i]));
    UpdateAllViews(nullptr, Hint::Article);
    SetModifiedFlag();
}

} // namespace news
