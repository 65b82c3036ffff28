#pragma once
// The state a command update asks for (the ids are in platform/CommandIds.h).

#include "platform/CommandIds.h"

namespace news {

struct CommandState {
    bool enabled = true;
    bool checkable = false;
    bool checked = false;
    void Enable(bool on) { enabled = on; }
    void SetCheck(bool on)
    {
        checkable = true;
        checked = on;
    }
};

} // namespace news
