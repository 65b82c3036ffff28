#include "tools/ToolCommands.h"

#include "news/LumeConfig.h"
#include "news/ProfileData.h"
#include "news/ReadList.h"
#include "news/ReadMarksFile.h"
#include "platform/AtomicFile.h"

#include <ostream>

using namespace news;

namespace tools {

int NewsrcCommand(const Args& args, std::ostream& out, std::ostream& err)
{
    if (args.size() != 1) {
        err << "usage: lumetra-tool newsrc FILE\n";
        return 2;
    }
    CGroupTable table;
    switch (LoadReadMarksFile(args[0], table, nullptr)) {
    case ReadMarksLoad::NoFile:
        err << "newsrc: " << args[0] << ": no such file\n";
        return 1;
    case ReadMarksLoad::ReadError:
        err << "newsrc: " << args[0] << ": read error\n";
        return 1;
    default:
        break;
    }
    std::string marks;
    table.ForEach([&](const CNewsGroup& g) {
        CReadList list;
        list.Parse(g.m_strReadList);
        list.Format(marks, true);
        out << g.m_strName << '\t' << (g.m_bSubscribed ? "subscribed" : "unsubscribed") << '\t' << marks << '\n';
    });
    return 0;
}

int ConfigCommand(const Args& args, std::ostream& out, std::ostream& err)
{
    if (args.size() != 1) {
        err << "usage: lumetra-tool config FILE\n";
        return 2;
    }
    if (!platform::IsReadableRegularFile(args[0])) {
        err << "config: " << args[0] << ": cannot be read\n";
        return 1;
    }
    // Read only: printing a file must not install its signatures.
    CProfileData profile(args[0], LumeConfig::kSection, nullptr);
    LumeConfig c;
    c.Exchange(profile, false);
    auto yes = [](bool b) { return b ? "YES" : "NO"; };
    out << "nNntpPort=" << c.nNntpPort << '\n'
        << "nMaxReadArtcleCount=" << c.nMaxReadArtcleCount << '\n'
        << "strNntpServer=" << c.strNntpServer << '\n'
        << "strMarkFile=" << c.strMarkFile << '\n'
        << "strMailAddress=" << c.strMailAddress << '\n'
        << "strRealName=" << c.strRealName << '\n'
        << "strOrganization=" << c.strOrganization << '\n'
        << "bShowAllGroup=" << yes(c.bShowAllGroup) << '\n'
        << "bShowUnreadGroup=" << yes(c.bShowUnreadGroup) << '\n'
        << "bShowChangeGroupDialog=" << yes(c.bShowChangeGroupDialog) << '\n'
        << "bShowOldArticle=" << yes(c.bShowOldArticle) << '\n'
        << "PostKanjiCode=" << c.PostKanjiCode << '\n'
        << "nTcpWaitSec=" << c.nTcpWaitSec << '\n'
        << "nTcpRetryCount=" << c.nTcpRetryCount << '\n'
        << "bSignAutoInsert=" << yes(c.bSignAutoInsert) << '\n'
        << "nSignSelect=" << c.nSignSelect << '\n'
        << "strSignature0=" << c.strSignature0 << '\n'
        << "strSignature1=" << c.strSignature1 << '\n'
        << "strSignature2=" << c.strSignature2 << '\n'
        << "nSecurity=" << c.nSecurity << '\n'
        << "strUserName=" << c.strUserName << '\n'
        << "bRememberPassword=" << yes(c.bRememberPassword) << '\n'
        << "bAllowPlainPassword=" << yes(c.bAllowPlainPassword) << '\n'
        << "strTrustedCertificate=" << c.strTrustedCertificate << '\n'
        << "bCompress=" << yes(c.bCompress) << '\n';
    return 0;
}

} // namespace tools
