#pragma once
// The real panes of the main window.

#include "ui/MainFrame.h"

namespace platform { class Registry; }
namespace ui { class Dialogs; class LumeDocument; }

namespace app {

ui::CMainFrame::PaneFactory MakePanes(ui::LumeDocument& document, platform::Registry& registry, ui::Dialogs& dialogs);

} // namespace app
