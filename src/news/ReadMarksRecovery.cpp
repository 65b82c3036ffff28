// Read marks that a signal kept from being saved, and their return.
#include "news/LumeDoc.h"
#include "news/ReadMarksFile.h"
#include "platform/AtomicFile.h"

#include <new>

namespace fs = std::filesystem;

namespace news {

bool CLumeDoc::WriteReadMarksRecovery()
{
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

} // namespace news
