// ファイル → NZB を開く: the frame asks for the file and the folder, the
// document downloads under its progress window, the frame shows what came.
#include "ui/MainFrame.h"

#include "dialogs/Dialogs.h"
#include "news/Nzb.h"
#include "platform/StringIds.h"
#include "platform/StringTable.h"
#include "ui/LumeDocument.h"
#include "widgets/SjisText.h"

#include <QFileInfo>

namespace ui {

void CMainFrame::OpenNzb()
{
    const QString file = dialogs_.AskOpenFile(this, widgets::LoadText(platform::IDS_61384),
                                              QStringLiteral("NZB (*.nzb);;All Files (*)"));
    if (file.isEmpty())
        return;
    const news::NzbDocument nzb = news::ReadNzbFile(file.toStdString());
    if (!nzb.error.empty()) {
        dialogs_.Message(this,
                         widgets::FormatMessage(platform::LoadString(platform::IDS_61383),
                                                {file.toStdString(), nzb.error}),
                         news::MessageIcon::Stop);
        return;
    }
    const QString folder =
        dialogs_.AskFolder(this, widgets::LoadText(platform::IDS_61385), QFileInfo(file).absolutePath());
    if (folder.isEmpty())
        return;
    const std::optional<news::NzbSummary> summary = document_.Doc().DownloadNzb(nzb.files, folder.toStdString());
    if (summary)
        dialogs_.ShowNzbSummary(this, *summary, folder);
}

} // namespace ui
