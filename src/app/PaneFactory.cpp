#include "app/PaneFactory.h"

#include "ui/CArticleView.h"
#include "ui/CBodyView.h"
#include "ui/CGroupView.h"
#include "host/HostedDocument.h"

#include <QPointer>

using namespace news;

namespace app {

ui::CMainFrame::PaneFactory MakePanes(host::HostedDocument& document, platform::Registry& registry, dialogs::Dialogs& dialogs)
{
    return [&document, &registry, &dialogs](int index, ui::CMainFrame& frame) -> ui::FramePane* {
        CLumeDoc& doc = document.Doc();
        if (index == ui::CMainFrame::GroupPane)
            return new ui::CGroupView(doc, registry, dialogs, &frame);
        if (index == ui::CMainFrame::ArticlePane) {
            auto* view = new ui::CArticleView(doc, registry, dialogs, &frame);
            QPointer<ui::CArticleView> guard(view);
            document.Host().SetConnectStep([guard](const std::string& server, int port) {
                return guard ? guard->ConnectServer(server, port) : -1;
            });
            return view;
        }
        auto* view = new ui::CBodyView(doc, registry, dialogs, &frame);
        QPointer<ui::CBodyView> guard(view);
        document.Host().SetShownArticle([guard](std::string& header, std::string& displayed) {
            return guard && guard->ShownArticle(header, displayed);
        }, [guard] { return guard && guard->ArticleShown(); });
        return view;
    };
}

} // namespace app
