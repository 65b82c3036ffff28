#include "ui/CommandRouter.h"

#include "widgets/SjisText.h"

#include <QAction>
#include <QMenu>

using namespace widgets;

namespace ui {

CommandRouter::CommandRouter(QObject* parent) : QObject(parent)
{
    connect(&idle_, &QTimer::timeout, this, &CommandRouter::UpdateAll);
}

QAction* CommandRouter::Action(unsigned id)
{
    if (QAction* found = FindAction(id))
        return found;
    auto* action = new QAction(this);
    action->setObjectName(QStringLiteral("cmd%1").arg(id));
    action->setData(id);
    action->setStatusTip(PromptOf(id));
    const QString tip = TipOf(id);
    if (!tip.isEmpty())
        action->setToolTip(tip);
    connect(action, &QAction::triggered, this, [this, id] { Execute(id); });
    actions_[id] = action;
    return action;
}

QAction* CommandRouter::FindAction(unsigned id) const
{
    auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

unsigned CommandRouter::IdOf(const QAction* action) const
{
    return action ? action->data().toUInt() : 0;
}

CmdUI CommandRouter::Query(unsigned id) const
{
    CmdUI state;
    state.id = id;
    if (chain_) {
        for (CommandTarget* target : chain_()) {
            if (target && target->OnUpdateCommand(state))
                return state;
        }
    }
    state.enabled = false;
    return state;
}

bool CommandRouter::Execute(unsigned id)
{
    const CmdUI state = Query(id);
    if (!state.enabled || !chain_)
        return false;
    bool done = false;
    for (CommandTarget* target : chain_()) {
        if (target && target->OnCommand(id)) {
            done = true;
            break;
        }
    }
    if (done) {
        emit Executed(id);
        Update(id);
    }
    return done;
}

void CommandRouter::Apply(QAction* action, const CmdUI& state)
{
    action->setEnabled(state.enabled);
    if (state.checkable) {
        if (!action->isCheckable())
            action->setCheckable(true);
        action->setChecked(state.checked);
    } else if (action->isCheckable()) {
        action->setChecked(false);
        action->setCheckable(false);
    }
}

void CommandRouter::Update(unsigned id)
{
    if (QAction* action = FindAction(id))
        Apply(action, Query(id));
}

void CommandRouter::UpdateAll()
{
    for (auto& [id, action] : actions_)
        Apply(action, Query(id));
}

void CommandRouter::WatchMenu(QMenu* menu)
{
    connect(menu, &QMenu::aboutToShow, this, [this, menu] {
        for (QAction* action : menu->actions()) {
            const unsigned id = IdOf(action);
            if (id && FindAction(id) == action)
                Apply(action, Query(id));
        }
    });
}

void CommandRouter::StartIdleUpdates(int intervalMs)
{
    idle_.start(intervalMs);
}

} // namespace ui
