#pragma once
// Commands by number: one QAction per command id, sent along a chain of
// targets (active pane, document, frame, application). The first target that
// knows a command handles it and decides its state; a command nobody knows is
// disabled.

#include <QObject>
#include <QTimer>

#include <functional>
#include <map>
#include <vector>

class QAction;
class QMenu;

namespace ui {

// State of one command, filled by the target that knows it.
struct CmdUI {
    unsigned id = 0;
    bool enabled = true;
    bool checked = false;
    bool checkable = false;
    void Enable(bool on = true) { enabled = on; }
    void SetCheck(bool on) { checkable = true; checked = on; }
};

class CommandTarget {
public:
    virtual ~CommandTarget() = default;
    // true when this target carries out id.
    virtual bool OnCommand(unsigned id) = 0;
    // true when this target knows id; it may change the state then.
    virtual bool OnUpdateCommand(CmdUI& state) = 0;
};

class CommandRouter : public QObject {
    Q_OBJECT
public:
    using Chain = std::function<std::vector<CommandTarget*>()>;

    explicit CommandRouter(QObject* parent = nullptr);

    void SetChain(Chain chain) { chain_ = std::move(chain); }
    // The action of id, made on first use with its prompt and tool tip.
    QAction* Action(unsigned id);
    QAction* FindAction(unsigned id) const;
    unsigned IdOf(const QAction* action) const;

    // The state the chain gives id now (disabled when no target knows it).
    CmdUI Query(unsigned id) const;
    // Runs id when it is enabled; false when no one carried it out.
    bool Execute(unsigned id);
    void Update(unsigned id);
    void UpdateAll();
    // Menu items are brought up to date just before the menu opens.
    void WatchMenu(QMenu* menu);
    // The tool bar's buttons follow an idle timer.
    void StartIdleUpdates(int intervalMs = 200);

signals:
    void Executed(unsigned id);

private:
    void Apply(QAction* action, const CmdUI& state);

    Chain chain_;
    std::map<unsigned, QAction*> actions_;
    QTimer idle_;
};

} // namespace ui
