#include "host/PasswordStore.h"

#include <qt6keychain/keychain.h>

#include <QByteArray>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QTimer>

namespace host {

namespace {

constexpr const char* kService = "Lumetra";

class KeychainStore : public PasswordStore {
public:
    explicit KeychainStore(int timeoutMs) : timeoutMs_(timeoutMs) {}

    bool Read(const QString& key, QString& password) override
    {
        auto* job = new QKeychain::ReadPasswordJob(QString::fromLatin1(kService));
        job->setKey(key);
        if (!Run(job))
            return false;
        password = job->textData();
        job->deleteLater();
        return true;
    }

    bool Write(const QString& key, const QString& password) override
    {
        auto* job = new QKeychain::WritePasswordJob(QString::fromLatin1(kService));
        job->setKey(key);
        job->setTextData(password);
        const bool ok = Run(job);
        if (ok)
            job->deleteLater();
        return ok;
    }

    void Remove(const QString& key) override
    {
        auto* job = new QKeychain::DeletePasswordJob(QString::fromLatin1(kService));
        job->setKey(key);
        if (Run(job))
            job->deleteLater();
    }

private:
    // True when the job finished without error; the job is then the caller's
    // to delete. Otherwise it deletes itself, now or whenever it ends.
    bool Run(QKeychain::Job* job) const
    {
        job->setAutoDelete(false);
        // Never a plain-text file in place of a secret store.
        job->setInsecureFallback(false);
        QEventLoop loop;
        bool finished = false;
        QObject::connect(job, &QKeychain::Job::finished, &loop, [&] {
            finished = true;
            loop.quit();
        });
        QTimer::singleShot(timeoutMs_, &loop, &QEventLoop::quit);
        job->start();
        if (!finished)
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        if (!finished) {
            // Still waiting on the secret service: let the job end on its own.
            QObject::connect(job, &QKeychain::Job::finished, job, &QObject::deleteLater);
            return false;
        }
        if (job->error() != QKeychain::NoError) {
            job->deleteLater();
            return false;
        }
        return true;
    }

    int timeoutMs_;
};

} // namespace

QString PasswordKey(const QString& user, const QString& server, int port)
{
    return QStringLiteral("nntp:%1@%2:%3").arg(user, server).arg(port);
}

std::unique_ptr<PasswordStore> MakeKeychainStore(int timeoutMs) { return std::make_unique<KeychainStore>(timeoutMs); }

QString CancelLockKey(const std::string& address)
{
    return QStringLiteral("cancel-lock:") + QString::fromStdString(address).trimmed().toLower();
}

std::string CancelLockSecret(PasswordStore* store, const std::string& address)
{
    if (!store || QString::fromStdString(address).trimmed().isEmpty())
        return {};
    const QString key = CancelLockKey(address);
    QString kept;
    if (store->Read(key, kept) && !kept.isEmpty())
        return kept.toStdString();
    QByteArray bytes(32, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
    const QString secret = QString::fromLatin1(bytes.toBase64());
    if (!store->Write(key, secret))
        return {};
    return secret.toStdString();
}

} // namespace host
