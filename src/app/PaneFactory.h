#pragma once
// The real panes of the main window, in place of the placeholders.
namespace platform { class Registry; }

namespace app {

void InstallPanes(platform::Registry& registry);

} // namespace app
