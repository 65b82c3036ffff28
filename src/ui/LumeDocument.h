#pragma once
// The news document behind the windows: CLumeDoc and its commands in the
// router's terms.

#include "news/DocumentHost.h"
#include "news/LumeDoc.h"
#include "ui/CommandRouter.h"

#include <filesystem>
#include <string>

namespace ui {

// Owns the document and its host; the command router's document target.
class LumeDocument : public CommandTarget {
public:
    LumeDocument(news::DocumentHost& host, platform::Registry& registry);
    news::CLumeDoc& Doc() { return doc_; }
    const news::CLumeDoc& Doc() const { return doc_; }

    // The panes hold pointers into the group table and the article list:
    // these tell them (hint 0) before the document empties them.
    bool OnNewDocument();
    bool OnOpenDocument(const std::filesystem::path& path);
    // Name and article count of the group the article list shows ("" when none).
    std::string CurrentGroupName() const;
    int ArticleCount() const;

    bool OnCommand(unsigned id) override { return doc_.OnCommand(id); }
    bool OnUpdateCommand(CmdUI& state) override;

private:
    news::CLumeDoc doc_;
};

} // namespace ui
