#pragma once
// The document's own questions (read limit, reload range) are windows of their
// own that would wait for a user. Every test in this program gets them
// answered No / Cancel, as before they had windows; a test about them asks for
// the real windows with RealQuestions.
#include "ui/GroupReadDialogs.h"

inline void QuietQuestions()
{
    ui::ReadLimitDialog::SetHook([](int&) { return 7; });
    ui::ReloadRangeDialog::SetHook([](int&, int&) { return 2; });
}

struct RealQuestions {
    RealQuestions()
    {
        ui::ReadLimitDialog::SetHook({});
        ui::ReloadRangeDialog::SetHook({});
    }
    ~RealQuestions() { QuietQuestions(); }
};
