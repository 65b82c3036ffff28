#include "ui/LumeDocument.h"

using namespace news;

namespace ui {

LumeDocument::LumeDocument(news::DocumentHost& host, platform::Registry& registry) : doc_(&host, registry) {}

bool LumeDocument::OnUpdateCommand(CmdUI& state)
{
    CommandState news;
    if (!doc_.OnUpdateCommand(state.id, news))
        return false;
    state.Enable(news.enabled);
    if (news.checkable)
        state.SetCheck(news.checked);
    return true;
}

// Reading may show a message and so repaint the panes: they let go first.
bool LumeDocument::OnNewDocument()
{
    if (!doc_.IsBusy())
        doc_.UpdateAllViews(nullptr, Hint::None);
    return doc_.OnNewDocument();
}

bool LumeDocument::OnOpenDocument(const std::filesystem::path& path)
{
    if (!doc_.IsBusy())
        doc_.UpdateAllViews(nullptr, Hint::None);
    return doc_.OnOpenDocument(path);
}

std::string LumeDocument::CurrentGroupName() const
{
    const CNewsGroup* group = doc_.GetCurrentGroup();
    return group ? group->m_strName : std::string();
}

int LumeDocument::ArticleCount() const
{
    return int(doc_.Articles().size());
}

} // namespace ui
