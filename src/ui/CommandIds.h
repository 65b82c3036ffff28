#pragma once
// Command, control and resource numbers shared by the windows.

namespace ui::cmd {

enum : unsigned {
    FileNew = 57600, FileOpen = 57601, FileSave = 57603, FileSaveAs = 57604,
    FilePrintSetup = 57606, FilePrint = 57607, FileMru1 = 57616, FileMru4 = 57619,
    AppExit = 57665, AppAbout = 57664,
    EditCopy = 57634, EditCut = 57635, EditPaste = 57637, EditUndo = 57643, EditSelectAll = 57642,
    CopyAll = 32816, Find = 32786, FindPrev = 32787, FindNext = 32788, JumpUrl = 32811,
    Online = 32771, LogWindow = 32814,
    Unsubscribe = 32773, Subscribe = 32774, ShowUnreadGroups = 32794, ShowAllGroups = 32795,
    ExpandOne = 32797, ExpandAll = 32796, Collapse = 32798, CollapseAll = 32815,
    PrevArticle = 32803, NextArticle = 32802, NextUnread = 32819, SkipThread = 32818,
    MarkRead = 32809, Reload = 32813, NewArticle = 32810, FollowUp = 32800,
    NewMail = 32801, ReplyMail = 32820, SaveArticle = 32851,
    AttachSave = 32849, AttachShow = 32789, AttachPrint = 32850, AttachSource = 32806,
    Settings = 32782, EditSignatures = 32817, Font = 32783, ShowHeader = 32836, WordWrap = 32808,
    ViewToolBar = 59392, ViewStatusBar = 59393,
    PageForward = 32821, PageBackward = 32823,
    NextPane = 57680, PrevPane = 57681,
    HelpIndex = 57666, HelpUsing = 57668, ContextHelp = 57669, Help = 57670, DefaultHelp = 57671,
};

} // namespace ui::cmd

namespace ui::res {

enum : unsigned {
    DocTemplate = 2, AboutDialog = 100, ProgressDialog = 106, LogDialog = 119, PostStatusDialog = 120,
    ConnectDialog = 132, IndicatorLineCount = 136, IndicatorGroup = 137, ToolBar = 138,
    AppTitle = 57344,
    MsgWinsockInit = 61231, MsgLogCreateFailed = 61232,
};

} // namespace ui::res
