#pragma once
// The document the windows work on, together with the host that answers for
// it: the application and the window tests make one of these.

#include "host/NewsHost.h"
#include "ui/LumeDocument.h"

namespace host {

namespace detail {
// Built before the document, which keeps a reference to it.
struct HostMember {
    HostMember(dialogs::Dialogs& dialogs, PasswordStore* passwords) : host(dialogs, passwords) {}
    NewsHost host;
};
} // namespace detail

class HostedDocument : private detail::HostMember, public ui::LumeDocument {
public:
    HostedDocument(dialogs::Dialogs& dialogs, platform::Registry& registry, PasswordStore* passwords = nullptr)
        : HostMember(dialogs, passwords), LumeDocument(host, registry)
    {
        host.SetDocument(&Doc());
    }
    NewsHost& Host() { return host; }
};

} // namespace host
