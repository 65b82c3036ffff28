#pragma once
// Scoped helpers of the document's network operations (private to src/news).

#include "news/LumeDoc.h"

namespace news {

// Holds the connection's busy flag for one operation; false when another
// operation has it.
class BusyLock {
public:
    explicit BusyLock(CLumeDoc& doc) : m_doc(doc), m_held(doc.TakeBusy()) {}
    ~BusyLock() { Release(); }
    BusyLock(const BusyLock&) = delete;
    BusyLock& operator=(const BusyLock&) = delete;
    explicit operator bool() const { return m_held; }
    void Release()
    {
        if (m_held)
            m_doc.ReleaseBusy();
        m_held = false;
    }

private:
    CLumeDoc& m_doc;
    bool m_held;
};

class WaitCursor {
public:
    explicit WaitCursor(DocumentHost* host) : m_host(host)
    {
        if (m_host)
            m_host->BeginWaitCursor();
    }
    ~WaitCursor()
    {
        if (m_host)
            m_host->EndWaitCursor();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    DocumentHost* m_host;
};

// An opened progress window, closed when the operation leaves its scope.
class ProgressScope {
public:
    ProgressScope(DocumentHost* host, int delayMs, unsigned captionId, const std::vector<std::string>& args = {})
    {
        m_progress = host ? host->MakeProgress(delayMs) : std::make_unique<NullProgress>();
        if (m_progress && !(args.empty() ? m_progress->Open(captionId) : m_progress->OpenFormatted(captionId, args)))
            m_progress.reset();
    }
    ~ProgressScope()
    {
        if (m_progress)
            m_progress->Close();
    }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;
    explicit operator bool() const { return m_progress != nullptr; }
    DocumentProgress* operator->() const { return m_progress.get(); }

private:
    std::unique_ptr<DocumentProgress> m_progress;
};

} // namespace news
