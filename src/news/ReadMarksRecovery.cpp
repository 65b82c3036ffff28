// Read marks that a signal kept from being saved, and their return.
#include "news/LumeDoc.h"
#include "news/ProfileData.h"
#include "news/ReadMarksFile.h"
#include "news/Signatures.h"
#include "platform/AtomicFile.h"

#include <new>

namespace fs = std::filesystem;

namespace news {

namespace {
fs::path UntitledConfigIn(const fs::path& folder) { return folder / "untitled.lum"; }
fs::path UntitledMarksIn(const fs::path& folder) { return folder / "untitled.news.rc"; }
} // namespace

bool CLumeDoc::WriteReadMarksRecovery()
{
    if (path_.empty())
        return WriteUntitledRecovery();
    const auto marks = ReadMarksPath();
    // A table that was never filled holds nothing the file lacks; one whose
    // file could not be read completely must not stand in for that file.
    if (!modified_ || !marks || groups_.IsEmpty() || readMarksLoadFailed_)
        return false;
    StoreCurrentReadList();
    try {
        const std::string text = ReadMarksText(groups_);
        if (platform::ReadWholeFile(*marks) == text)
            return false;
        return platform::WriteFileAtomically(RecoveryFileOf(*marks), text, 0600);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool CLumeDoc::OfferReadMarksRecovery()
{
    const auto marks = ReadMarksPath();
    // Entering the marks replaces group objects: only with no group open.
    if (!marks || busy_ || m_pCurrentGroup)
        return false;
    const fs::path recovery = RecoveryFileOf(*marks);
    std::error_code error;
    if (!fs::is_regular_file(recovery, error) || !host_)
        return false;
    const int answer = host_->ShowMessage(msg::RestoreReadMarks, MessageIcon::Question, {recovery.string()});
    if (answer == IDNO)
        fs::remove(recovery, error);
    if (answer != IDYES || busy_ || m_pCurrentGroup)
        return false;
    // The recovery file holds every group the table held; the file's own
    // lines come first so that nothing the recovery lacks is lost.
    if (groups_.IsEmpty())
        LoadReadMarks(*marks);
    if (LoadReadMarksFile(recovery, groups_, host_) != ReadMarksLoad::Loaded)
        return false;
    modified_ = true;
    fs::remove(recovery, error);
    return true;
}

bool CLumeDoc::WriteUntitledRecovery()
{
    if (!path_.empty() || !modified_ || untitledFolder_.empty() || readMarksLoadFailed_)
        return false;
    StoreCurrentReadList();
    std::error_code error;
    if (fs::create_directories(untitledFolder_, error))
        fs::permissions(untitledFolder_, fs::perms::owner_all, error);
    const fs::path marks = UntitledMarksIn(untitledFolder_);
    try {
        // Marks first: a configuration without them would pass for a session
        // that read nothing.
        if (!groups_.IsEmpty() && !platform::WriteFileAtomically(marks, ReadMarksText(groups_), 0600))
            return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (groups_.IsEmpty())
        fs::remove(marks, error);
    // Nobody is asked anything now: a refused write stays silent.
    CProfileData profile(UntitledConfigIn(untitledFolder_), LumeConfig::kSection, &registry_);
    CSignatureStore signatures(registry_);
    config_.TakeSignatures(signatures);
    profile.BeginWrites();
    return config_.Exchange(profile, true) && profile.CommitWrites();
}

bool CLumeDoc::OfferUntitledRecovery()
{
    if (untitledFolder_.empty() || !path_.empty() || busy_ || m_pCurrentGroup || !host_)
        return false;
    const fs::path config = UntitledConfigIn(untitledFolder_);
    const fs::path marks = UntitledMarksIn(untitledFolder_);
    std::error_code error;
    if (!fs::is_regular_file(config, error))
        return false;
    const int answer = host_->ShowMessage(msg::RestoreUntitled, MessageIcon::Question, {});
    if (answer == IDNO) {
        fs::remove(config, error);
        fs::remove(marks, error);
    }
    if (answer != IDYES || busy_ || m_pCurrentGroup || !path_.empty())
        return false;
    if (!ExchangeConfig(config, false))
        return false;
    if (fs::is_regular_file(marks, error)) {
        groups_.RemoveAll();
        if (LoadReadMarksFile(marks, groups_, host_) != ReadMarksLoad::Loaded)
            return false;
    }
    // Still untitled: the user's first save picks the file.
    modified_ = true;
    fs::remove(config, error);
    fs::remove(marks, error);
    return true;
}

} // namespace news
