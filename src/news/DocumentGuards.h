#pragma once
// Scoped helpers of the document's network operations (private to src/news).

#include "news/LumeDoc.h"

namespace news {

// Holds the connection's busy flag for one operation; false when another
// operation has it.
class BusyLock {
public:
    explicit BusyLock(CLumeDoc& doc) : doc_(doc), held_(doc.TakeBusy()) {}
    ~BusyLock() { Release(); }
    BusyLock(const BusyLock&) = delete;
    BusyLock& operator=(const BusyLock&) = delete;
    explicit operator bool() const { return held_; }
    void Release()
    {
        if (held_)
            doc_.ReleaseBusy();
        held_ = false;
    }

private:
    CLumeDoc& doc_;
    bool held_;
};

class WaitCursor {
public:
    explicit WaitCursor(DocumentHost* host) : host_(host)
    {
        if (host_)
            host_->BeginWaitCursor();
    }
    ~WaitCursor()
    {
        if (host_)
            host_->EndWaitCursor();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    DocumentHost* host_;
};

// An opened progress window, closed when the operation leaves its scope.
class ProgressScope {
public:
    ProgressScope(DocumentHost* host, int delayMs, unsigned captionId, const std::vector<std::string>& args = {})
    {
        progress_ = host ? host->MakeProgress(delayMs) : std::make_unique<NullProgress>();
        if (progress_ && !(args.empty() ? progress_->Open(captionId) : progress_->OpenFormatted(captionId, args)))
            progress_.reset();
    }
    ~ProgressScope()
    {
        if (progress_)
            progress_->Close();
    }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;
    explicit operator bool() const { return progress_ != nullptr; }
    DocumentProgress* operator->() const { return progress_.get(); }
    DocumentProgress& operator*() const { return *progress_; }

private:
    std::unique_ptr<DocumentProgress> progress_;
};

} // namespace news
