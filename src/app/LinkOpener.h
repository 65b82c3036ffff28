#pragma once
// Opens a news: or nntp: link in the main window with the configuration it
// has open: online first when needed, then the group, or the one article.

#include <QString>

#include <functional>

namespace news { class CLumeDoc; }
namespace dialogs { class Dialogs; }
namespace ui { class CMainFrame; }

namespace app {

class LinkOpener {
public:
    // note: each failure as one line, also where a message box shows it
    // (the program puts it on stderr for whoever started it).
    using Note = std::function<void(const QString& text)>;
    LinkOpener(ui::CMainFrame& frame, news::CLumeDoc& doc, dialogs::Dialogs& dialogs, Note note = {});

    // True when the group was opened or the article is shown.
    bool Open(const QString& text);

private:
    // The note and a message box; false.
    bool Fail(const QString& text);
    // The note alone, where a message box was shown already; false.
    bool Told(const QString& text);

    ui::CMainFrame& frame_;
    news::CLumeDoc& doc_;
    dialogs::Dialogs& dialogs_;
    Note note_;
};

} // namespace app
