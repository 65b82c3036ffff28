#include "app/PaneFactory.h"

#include "ui/CArticleView.h"
#include "ui/CBodyView.h"
#include "ui/CGroupView.h"
#include "ui/LumeDocument.h"
#include "ui/MainFrame.h"

namespace app {

void InstallPanes(platform::Registry& registry)
{
    ui::CMainFrame::SetPaneFactory([&registry](int index, ui::UiDocument& document, ui::CMainFrame& frame) -> QWidget* {
        auto* doc = dynamic_cast<ui::LumeDocument*>(&document);
        if (!doc)
            return nullptr;
        doc->Host().SetForwarder([&frame](::DocumentHost::Pane pane, unsigned id) {
            const int i = pane == ::DocumentHost::Pane::Body ? ui::CMainFrame::BodyPane : ui::CMainFrame::ArticlePane;
            if (ui::CView* view = frame.View(i))
                view->OnCommand(id);
        });
        if (index == ui::CMainFrame::GroupPane)
            return new ui::CGroupView(*doc, registry, &frame);
        if (index == ui::CMainFrame::ArticlePane)
            return ui::MakeArticleView(*doc, frame, registry);
        if (index == ui::CMainFrame::BodyPane)
            return new ui::CBodyView(*doc, registry, &frame);
        return nullptr;
    });
}

} // namespace app
