#pragma once
// The real panes of the main window.

#include "ui/MainFrame.h"

namespace platform { class Registry; }
namespace dialogs { class Dialogs; }
namespace host { class HostedDocument; }

namespace app {

ui::CMainFrame::PaneFactory MakePanes(host::HostedDocument& document, platform::Registry& registry, dialogs::Dialogs& dialogs);

} // namespace app
