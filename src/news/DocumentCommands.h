#pragma once
// Command ids the document handles, and the state an update asks for.

namespace cmd {
inline constexpr unsigned Online = 32771;
inline constexpr unsigned Settings = 32782;
inline constexpr unsigned Find = 32786;
inline constexpr unsigned FindPrev = 32787;
inline constexpr unsigned FindNext = 32788;
inline constexpr unsigned FollowUp = 32800;
inline constexpr unsigned NextArticle = 32802;
inline constexpr unsigned PrevArticle = 32803;
inline constexpr unsigned MarkRead = 32809;
inline constexpr unsigned NewArticle = 32810;
inline constexpr unsigned Reload = 32813;
inline constexpr unsigned NextUnread = 32819;
inline constexpr unsigned PageForward = 32821;
inline constexpr unsigned PageBackward = 32823;
inline constexpr unsigned ShowHeader = 32836;
inline constexpr unsigned Print = 57607;
} // namespace cmd

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
