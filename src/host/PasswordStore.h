#pragma once
// Where login passwords are kept between runs: never in a configuration or
// registry file, only in the desktop's secret store. NewsHost is given one;
// tests give the in-memory one.

#include <QString>

#include <map>
#include <memory>
#include <string>

namespace host {

class PasswordStore {
public:
    virtual ~PasswordStore() = default;
    // The password kept under key; false when there is none or the store
    // cannot be reached.
    virtual bool Read(const QString& key, QString& password) = 0;
    // False when the store could not keep it.
    virtual bool Write(const QString& key, const QString& password) = 0;
    virtual void Remove(const QString& key) = 0;
};

// "nntp:<user>@<server>:<port>", the key a server's password is kept under.
QString PasswordKey(const QString& user, const QString& server, int port);

// "cancel-lock:<address>", the key the Cancel-Lock secret of a mail address
// is kept under.
QString CancelLockKey(const std::string& address);
// The Cancel-Lock secret for address (RFC 8315): the kept one, else 32
// random bytes in base64, made and kept now. Empty without a store, or when
// the store cannot keep it (a lock nobody can open later is worse than none).
std::string CancelLockSecret(PasswordStore* store, const std::string& address);

// The desktop's secret store (Secret Service, KWallet) through QtKeychain.
// Each call waits in a local event loop for at most timeoutMs, so that a
// desktop without a secret service does not hang the program.
std::unique_ptr<PasswordStore> MakeKeychainStore(int timeoutMs = 20000);

// Keeps passwords for this run only.
class MemoryPasswordStore : public PasswordStore {
public:
    bool Read(const QString& key, QString& password) override
    {
        ++reads;
        const auto it = entries.find(key);
        if (it == entries.end())
            return false;
        password = it->second;
        return true;
    }
    bool Write(const QString& key, const QString& password) override
    {
        ++writes;
        if (!writable)
            return false;
        entries[key] = password;
        return true;
    }
    void Remove(const QString& key) override { entries.erase(key); }

    std::map<QString, QString> entries;
    bool writable = true;
    int reads = 0;
    int writes = 0;
};

} // namespace host
