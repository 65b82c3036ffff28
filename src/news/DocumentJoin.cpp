// A file posted in many parts, fetched over the document's connection and joined.
#include "news/DocumentGuards.h"
#include "news/LumeDoc.h"
#include "platform/MessageFormat.h"
#include "platform/StringTable.h"

namespace news {

std::optional<JoinResult> CLumeDoc::JoinPartFile(const PartFile& file, const JoinTarget& target,
                                                 const std::function<bool(const JoinResult&)>& keepPartial)
{
    BusyLock lock(*this);
    if (!lock) {
        Refuse();
        return std::nullopt;
    }
    if (!IsConnected())
        return std::nullopt;
    const std::vector<std::string> name{file.Name()};
    ProgressScope progress(host_, kProgressDelayMs, msg::JoiningParts, name);
    if (!progress)
        return std::nullopt;
    DropArticlesAhead();
    progress->SetTotal(static_cast<long long>(file.articles.size()));
    const std::string step = platform::LoadString(msg::JoinPartsDone);
    JoinResult result = JoinParts(
        nntp_, file, target,
        [&](const JoinProgress& p) {
            progress->SetPosition(static_cast<long long>(p.done));
            progress->SetMessage(platform::FormatSjisMessage(step, {std::to_string(p.done), std::to_string(p.total)}));
            if (host_)
                host_->PumpEvents();
            return !progress->Cancelled();
        },
        [&](const JoinResult& partial) {
            // The question is the caller's; the window must not count down over it.
            progress->Close();
            return keepPartial && keepPartial(partial);
        });
    return result;
}

} // namespace news
