#pragma once
// What the document's connections share about security and logging in: the
// configuration's values for a connection, and the message that explains a
// failed session or login.

#include "net/ServerSecurity.h"
#include "news/LumeConfig.h"

namespace news {

net::SecuritySettings SecurityOf(const LumeConfig& config);

// The string-table message for failure (with one %s for the server's reply
// or the TLS library's words); 0 when there is nothing to explain (the user
// cancelled, or the caller reports the failure in its own words).
unsigned SessionFailureMessage(net::SessionFailure failure);
// The string-table message for what the server did (one %s for the
// connection's ProblemDetail()); 0 for none.
unsigned ServerProblemMessage(net::ServerProblem problem);

} // namespace news
