#pragma once
// The values of a configuration document, named after their keys in the
// section "config" of the .lum file, and their exchange with that file.

#include <string>

#include "net/ServerSecurity.h"
#include "textcodec/JapaneseCodes.h"

namespace news {

class CProfileData;
class CSignatureStore;

struct LumeConfig {
    int nNntpPort = 119;
    int nMaxReadArtcleCount = 50;
    std::string strNntpServer;
    std::string strMarkFile = "news.rc";
    std::string strMailAddress;
    std::string strRealName;
    std::string strOrganization;
    bool bShowAllGroup = false;
    bool bShowUnreadGroup = true;
    bool bShowChangeGroupDialog = true;
    bool bShowOldArticle = true;
    int PostKanjiCode = 0;        // 0 JIS, 1 Shift_JIS, 2 EUC, 3 UTF-8
    int nTcpWaitSec = 12;
    int nTcpRetryCount = 5;
    // Copies of the per-user signature settings, carried in the file (Base64).
    bool bSignAutoInsert = false;
    int nSignSelect = 0;
    std::string strSignature0;
    std::string strSignature1;
    std::string strSignature2;
    // Keys added after the nineteen; a file without them behaves as before.
    int nSecurity = 0;                 // net::Security: 0 none, 1 STARTTLS, 2 SSL/TLS
    std::string strUserName;           // empty: log in only when the server asks
    bool bRememberPassword = false;    // the password itself lives in the desktop's secret store
    bool bAllowPlainPassword = false;  // send the password without TLS
    std::string strTrustedCertificate; // SHA-256 of a certificate the user chose to trust
    bool bCompress = true;             // COMPRESS DEFLATE when the server offers it

    static constexpr const char* kSection = "config";

    // The values of a new configuration; the signature copies are left alone.
    void ResetForNew();

    // Reads (store false) or writes the keys in their fixed order, the
    // nineteen first. A missing key reads as its default, which for some keys
    // differs from the new-configuration value (strMarkFile empty,
    // bShowOldArticle NO). Writing replaces the file once with all keys;
    // false when refused. No password is ever among them.
    bool Exchange(CProfileData& profile, bool store);

    // Before writing: take the signature settings from the store, Base64 encoded.
    void TakeSignatures(const CSignatureStore& store);
    // After reading: install the carried settings in the store. A signature
    // that is empty or not valid Base64 leaves the stored one as it is.
    void InstallSignatures(CSignatureStore& store) const;

    // The values as they are used: one that a hand-edited or foreign file puts
    // out of range gives the default instead (the stored value is kept).
    int UsedNntpPort() const;        // 1..65535
    int UsedTcpWaitSec() const;      // 0..3600
    int UsedTcpRetryCount() const;   // 0..1000
    textcodec::KanjiCode UsedPostKanjiCode() const;
    net::Security UsedSecurity() const;           // an unknown value: none
};

} // namespace news
