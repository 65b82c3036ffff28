#include "news/LumeConfig.h"

#include "news/ProfileData.h"
#include "news/Signatures.h"

namespace news {

using namespace textcodec;

namespace {

int InRange(int value, int lo, int hi, int def)
{
    return value >= lo && value <= hi ? value : def;
}

} // namespace

void LumeConfig::ResetForNew()
{
    strNntpServer.clear();
    strMailAddress.clear();
    strRealName.clear();
    strOrganization.clear();
    strMarkFile = "news.rc";
    bShowAllGroup = false;
    bShowUnreadGroup = true;
    bShowChangeGroupDialog = true;
    bShowOldArticle = true;
    nNntpPort = 119;
    nMaxReadArtcleCount = 50;
    PostKanjiCode = 0;
    nTcpWaitSec = 12;
    nTcpRetryCount = 5;
    nSecurity = 0;
    strUserName.clear();
    bRememberPassword = false;
    bAllowPlainPassword = false;
    strTrustedCertificate.clear();
    bCompress = true;
}

bool LumeConfig::Exchange(CProfileData& p, bool store)
{
    if (store)
        p.BeginWrites();
    const bool ok =
           p.ExchangeInt(store, nNntpPort, 119, "nNntpPort") &&
           p.ExchangeInt(store, nMaxReadArtcleCount, 50, "nMaxReadArtcleCount") &&
           p.ExchangeString(store, strNntpServer, "", "strNntpServer") &&
           p.ExchangeString(store, strMarkFile, "", "strMarkFile") &&
           p.ExchangeString(store, strMailAddress, "", "strMailAddress") &&
           p.ExchangeString(store, strRealName, "", "strRealName") &&
           p.ExchangeString(store, strOrganization, "", "strOrganization") &&
           p.ExchangeBool(store, bShowAllGroup, false, "bShowAllGroup") &&
           p.ExchangeBool(store, bShowUnreadGroup, true, "bShowUnreadGroup") &&
           p.ExchangeBool(store, bShowChangeGroupDialog, true, "bShowChangeGroupDialog") &&
           p.ExchangeBool(store, bShowOldArticle, false, "bShowOldArticle") &&
           p.ExchangeInt(store, PostKanjiCode, 0, "PostKanjiCode") &&
           p.ExchangeInt(store, nTcpWaitSec, 12, "nTcpWaitSec") &&
           p.ExchangeInt(store, nTcpRetryCount, 5, "nTcpRetryCount") &&
           p.ExchangeBool(store, bSignAutoInsert, false, "bSignAutoInsert") &&
           p.ExchangeInt(store, nSignSelect, 0, "nSignSelect") &&
           p.ExchangeString(store, strSignature0, "", "strSignature0") &&
           p.ExchangeString(store, strSignature1, "", "strSignature1") &&
           p.ExchangeString(store, strSignature2, "", "strSignature2") &&
           p.ExchangeInt(store, nSecurity, 0, "nSecurity") &&
           p.ExchangeString(store, strUserName, "", "strUserName") &&
           p.ExchangeBool(store, bRememberPassword, false, "bRememberPassword") &&
           p.ExchangeBool(store, bAllowPlainPassword, false, "bAllowPlainPassword") &&
           p.ExchangeString(store, strTrustedCertificate, "", "strTrustedCertificate") &&
           p.ExchangeBool(store, bCompress, true, "bCompress");
    return store ? p.CommitWrites() && ok : ok;
}

void LumeConfig::TakeSignatures(const CSignatureStore& store)
{
    nSignSelect = store.GetStoredSelect();
    bSignAutoInsert = store.GetSignAutoInsert();
    strSignature0 = EncodeSignatureText(store.GetSignature(0));
    strSignature1 = EncodeSignatureText(store.GetSignature(1));
    strSignature2 = EncodeSignatureText(store.GetSignature(2));
}

void LumeConfig::InstallSignatures(CSignatureStore& store) const
{
    store.SetStoredSelect(nSignSelect);
    store.SetSignAutoInsert(bSignAutoInsert);
    const std::string* texts[] = {&strSignature0, &strSignature1, &strSignature2};
    for (int n = 0; n < CSignatureStore::kCount; ++n) {
        if (const auto decoded = DecodeSignatureText(*texts[n]))
            store.SetSignature(n, *decoded);
    }
}

int LumeConfig::UsedNntpPort() const { return InRange(nNntpPort, 1, 65535, 119); }
int LumeConfig::UsedTcpWaitSec() const { return InRange(nTcpWaitSec, 0, 3600, 12); }
int LumeConfig::UsedTcpRetryCount() const { return InRange(nTcpRetryCount, 0, 1000, 5); }
net::Security LumeConfig::UsedSecurity() const { return static_cast<net::Security>(InRange(nSecurity, 0, 2, 0)); }
KanjiCode LumeConfig::UsedPostKanjiCode() const { return static_cast<KanjiCode>(InRange(PostKanjiCode, 0, 3, 0)); }

} // namespace news
