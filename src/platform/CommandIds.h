#pragma once
// Command numbers, shared by the document and the windows. A command's
// prompt and tool tip are the string-table entry of the same number.

namespace platform::cmd {

inline constexpr unsigned Online = 32771;
inline constexpr unsigned Unsubscribe = 32773;
inline constexpr unsigned Subscribe = 32774;
inline constexpr unsigned Settings = 32782;
inline constexpr unsigned Font = 32783;
inline constexpr unsigned ListFont = 32890; // the font of the group tree or the article list
inline constexpr unsigned Find = 32786;
inline constexpr unsigned FindPrev = 32787;
inline constexpr unsigned FindNext = 32788;
inline constexpr unsigned AttachShow = 32789;
inline constexpr unsigned ShowUnreadGroups = 32794;
inline constexpr unsigned ShowAllGroups = 32795;
inline constexpr unsigned ExpandAll = 32796;
inline constexpr unsigned ExpandOne = 32797;
inline constexpr unsigned Collapse = 32798;
inline constexpr unsigned FollowUp = 32800;
inline constexpr unsigned NewMail = 32801;
inline constexpr unsigned NextArticle = 32802;
inline constexpr unsigned PrevArticle = 32803;
inline constexpr unsigned AttachSource = 32806;
inline constexpr unsigned WordWrap = 32808;
inline constexpr unsigned MarkRead = 32809;
inline constexpr unsigned NewArticle = 32810;
inline constexpr unsigned JumpUrl = 32811;
inline constexpr unsigned Reload = 32813;
inline constexpr unsigned LogWindow = 32814;
inline constexpr unsigned CollapseAll = 32815;
inline constexpr unsigned CopyAll = 32816;
inline constexpr unsigned EditSignatures = 32817;
inline constexpr unsigned SkipThread = 32818;
inline constexpr unsigned NextUnread = 32819;
inline constexpr unsigned ReplyMail = 32820;
inline constexpr unsigned PageForward = 32821;
inline constexpr unsigned PageBackward = 32823;
inline constexpr unsigned ShowHeader = 32836;
inline constexpr unsigned AttachSave = 32849;
inline constexpr unsigned AttachPrint = 32850;
inline constexpr unsigned SaveArticle = 32851;
inline constexpr unsigned MarkUnread = 32870;
inline constexpr unsigned MarkThreadUnread = 32871;
inline constexpr unsigned PrevUnread = 32872;
inline constexpr unsigned ShowUnreadCounts = 32873;
inline constexpr unsigned IgnoreAuthor = 32874;
inline constexpr unsigned IgnoreThread = 32875;
inline constexpr unsigned WatchThread = 32876;
inline constexpr unsigned EditScoreRules = 32877;
inline constexpr unsigned ShowKilled = 32878;
inline constexpr unsigned CancelArticle = 32892;
inline constexpr unsigned SupersedeArticle = 32893;
inline constexpr unsigned OpenNzb = 32895;
inline constexpr unsigned JoinParts = 32896;
// The shown article read again in one charset: 自動, then the others in
// menu order (ui/ReadingCharsets.h).
inline constexpr unsigned ReadAsAuto = 32900;
inline constexpr unsigned ReadAsLast = 32915;

inline constexpr unsigned FileNew = 57600;
inline constexpr unsigned FileOpen = 57601;
inline constexpr unsigned FileSave = 57603;
inline constexpr unsigned FileSaveAs = 57604;
inline constexpr unsigned FilePrintSetup = 57606;
inline constexpr unsigned FilePrint = 57607;
inline constexpr unsigned FileMru1 = 57616;
inline constexpr unsigned FileMru4 = 57619;
inline constexpr unsigned EditClear = 57632;
inline constexpr unsigned EditCopy = 57634;
inline constexpr unsigned EditCut = 57635;
inline constexpr unsigned EditPaste = 57637;
inline constexpr unsigned EditSelectAll = 57642;
inline constexpr unsigned EditUndo = 57643;
inline constexpr unsigned AppAbout = 57664;
inline constexpr unsigned AppExit = 57665;
inline constexpr unsigned HelpIndex = 57666;
inline constexpr unsigned HelpUsing = 57668;
inline constexpr unsigned ContextHelp = 57669;
inline constexpr unsigned Help = 57670;
inline constexpr unsigned DefaultHelp = 57671;
inline constexpr unsigned NextPane = 57680;
inline constexpr unsigned PrevPane = 57681;
inline constexpr unsigned ViewToolBar = 59392;
inline constexpr unsigned ViewStatusBar = 59393;

} // namespace platform::cmd

// The post window's own menu.
namespace platform::postcmd {

inline constexpr unsigned Signature1 = 101; // 102, 103 follow
inline constexpr unsigned AutoInsert = 1026;
inline constexpr unsigned InsertFile = 32776;
inline constexpr unsigned Send = 32775;
inline constexpr unsigned Font = 32783;
inline constexpr unsigned WordWrap = 32789;
inline constexpr unsigned HelpPost = 32852;
inline constexpr unsigned Exit = 40003;
inline constexpr unsigned InsertSignature = 40007;

} // namespace platform::postcmd
