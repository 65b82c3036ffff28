// Temporary: a minimal stand-in for the platform layer's Winsock mapping until
// that lands; compiles to nothing once it is there.
#if !__has_include("platform/WinsockError.cpp")
#include <cerrno>
#include <netdb.h>

#include "platform/WinsockError.h"

namespace platform {
int WinsockFromErrno(int err)
{
    switch (err) {
    case ECONNREFUSED: return WSAECONNREFUSED;
    case ECONNRESET: return WSAECONNRESET;
    case EPIPE: return WSAESHUTDOWN;
    case ETIMEDOUT: return WSAETIMEDOUT;
    case EAGAIN: return WSAEWOULDBLOCK;
    case EBADF: return WSAENOTSOCK;
    case ENETUNREACH: return WSAENETUNREACH;
    case EHOSTUNREACH: return WSAEHOSTUNREACH;
    default: return 10000 + err;
    }
}
int WinsockFromResolver(int eai)
{
    switch (eai) {
    case EAI_AGAIN: return WSATRY_AGAIN;
    case EAI_FAIL: return WSANO_RECOVERY;
    case EAI_NODATA: return WSANO_DATA;
    default: return WSAHOST_NOT_FOUND;
    }
}
std::string WinsockErrorText(int code) { return "error " + std::to_string(code); }
} // namespace platform
#endif
