// The document's Settings command.
#include "news/LumeDoc.h"
#include "platform/Registry.h"

namespace news {

namespace {
constexpr const char* kBodyView = "BodyView";
constexpr const char* kBrowser = "WWWViewer";
} // namespace

void CLumeDoc::OnSettings(bool firstStart)
{
    platform::Registry& reg = m_registry ? *m_registry : platform::Registry::User();
    SettingsValues values;
    values.config = m_config;
    values.online = IsConnected();
    values.firstStart = firstStart;
    values.browserType = reg.GetInt(kBrowser, "Type", 0);
    values.browserPath = reg.GetString(kBrowser, "strPathName");
    for (std::size_t i = 0; i < values.colours.size(); ++i)
        if (reg.TypeOf(kBodyView, SettingsValues::kColourKeys[i]) == platform::Registry::Type::Integer)
            values.colours[i] = std::uint32_t(reg.GetInt(kBodyView, SettingsValues::kColourKeys[i], 0));
    if (!m_host || !m_host->EditSettings(values))
        return;

    const LumeConfig& c = values.config;
    m_config.nMaxReadArtcleCount = c.nMaxReadArtcleCount;
    m_config.strMarkFile = c.strMarkFile;
    m_config.bShowChangeGroupDialog = c.bShowChangeGroupDialog;
    m_config.bShowOldArticle = c.bShowOldArticle;
    m_config.PostKanjiCode = c.PostKanjiCode;
    m_config.strMailAddress = c.strMailAddress;
    m_config.strOrganization = c.strOrganization;
    m_config.strRealName = c.strRealName;
    m_config.strNntpServer = c.strNntpServer;
    m_config.nNntpPort = c.nNntpPort;
    m_config.nTcpWaitSec = c.nTcpWaitSec;
    m_config.nTcpRetryCount = c.nTcpRetryCount;
    reg.WriteString(kBrowser, "strPathName", values.browserPath);
    reg.WriteInt(kBrowser, "Type", values.browserType);
    for (std::size_t i = 0; i < values.colours.size(); ++i)
        if (values.colours[i])
            reg.WriteInt(kBodyView, SettingsValues::kColourKeys[i], int(*values.colours[i]));
    UpdateAllViews(nullptr, hint::Article);
    SetModifiedFlag();
}

} // namespace news
