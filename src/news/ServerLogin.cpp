#include "news/ServerLogin.h"

#include "platform/StringIds.h"

namespace news {

net::SecuritySettings SecurityOf(const LumeConfig& config)
{
    net::SecuritySettings s;
    s.security = config.UsedSecurity();
    s.user = config.strUserName;
    s.allowPlainPassword = config.bAllowPlainPassword;
    s.trustedCertificate = config.strTrustedCertificate;
    s.compress = config.bCompress;
    return s;
}

unsigned SessionFailureMessage(net::SessionFailure failure)
{
    using F = net::SessionFailure;
    switch (failure) {
    case F::Tls:
        return platform::IDS_61330;
    case F::Certificate:
        return platform::IDS_61331;
    case F::NoStartTls:
        return platform::IDS_61332;
    case F::PlainPassword:
        return platform::IDS_61333;
    case F::LoginRefused:
        return platform::IDS_61334;
    case F::LoginOutOfOrder:
        return platform::IDS_61335;
    case F::LoginUnavailable:
        return platform::IDS_61336;
    default:
        return 0;
    }
}

unsigned ServerProblemMessage(net::ServerProblem problem)
{
    using P = net::ServerProblem;
    switch (problem) {
    case P::Refused:
        return platform::IDS_61360;
    case P::ModeReaderRefused:
        return platform::IDS_61361;
    case P::CapabilitiesTooLong:
        return platform::IDS_61362;
    case P::ReplyTooLong:
        return platform::IDS_61363;
    case P::ReplyTooSlow:
        return platform::IDS_61364;
    case P::Silent:
        return platform::IDS_61365;
    case P::ListRefused:
        return platform::IDS_61368;
    default:
        return 0;
    }
}

} // namespace news
