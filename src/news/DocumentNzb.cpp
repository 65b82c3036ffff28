// NZB downloads over the document's connection, under its progress window.
#include "news/DocumentGuards.h"
#include "news/LumeDoc.h"
#include "platform/MessageFormat.h"
#include "platform/StringTable.h"
#include "textcodec/Charsets.h"

namespace news {

std::optional<NzbSummary> CLumeDoc::DownloadNzb(const std::vector<NzbFile>& files, const std::filesystem::path& dir)
{
    BusyLock lock(*this);
    if (!lock) {
        Refuse();
        return std::nullopt;
    }
    if (!IsConnected()) {
        ReportError(host_, platform::IDS_61382);
        return std::nullopt;
    }
    ProgressScope progress(host_, kProgressDelayMs, platform::IDS_61380);
    if (!progress)
        return std::nullopt;
    // The bar counts segments: sizes come from the file and may be anything.
    std::vector<long long> before(files.size() + 1, 0);
    for (std::size_t i = 0; i < files.size(); ++i)
        before[i + 1] = before[i] + static_cast<long long>(files[i].segments.size());
    progress->SetTotal(before.back());
    const std::string entry = platform::LoadString(platform::IDS_61381);
    std::size_t named = SIZE_MAX;
    std::string name;
    return news::DownloadNzb(nntp_, files, dir, [&](const NzbProgress& p) {
        if (p.file != named) {
            named = p.file;
            // Subjects are UTF-8 as the XML gives them; the window takes Shift_JIS.
            name = textcodec::Utf8ToSjis(NzbFileName(files[p.file]).substr(0, 200));
        }
        progress->SetMessage(platform::FormatSjisMessage(
            entry, {std::to_string(p.file + 1), std::to_string(p.files), name, std::to_string(p.segment),
                    std::to_string(p.segments)}));
        progress->SetPosition(before[p.file] + static_cast<long long>(p.segment));
        // Replies on loopback rarely wait, so the windows get their turn here too.
        if (host_)
            host_->PumpEvents();
        return !progress->Cancelled();
    });
}

} // namespace news
