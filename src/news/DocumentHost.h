#pragma once
// What the document needs from the windows. The Qt side implements it; tests
// use a recording fake. More calls (dialogs, progress window, the event pump)
// join it as the document's online work arrives.

#include "platform/StringIds.h"

#include <string>
#include <vector>

enum class MessageIcon { Stop, Information, Question };

class DocumentHost {
public:
    virtual ~DocumentHost() = default;
    // Shows string-table entry id, formatted printf-style with args (each a
    // %s or %d of the entry, in order; file paths in their native form). Returns the button pressed (IDOK = 1
    // for plain messages).
    virtual int ShowMessage(unsigned id, MessageIcon icon, const std::vector<std::string>& args) = 0;
};

// Message ids of the string table used by the configuration and read marks.
namespace msg {
inline constexpr unsigned SaveRecordFailed = platform::IDS_61222;   // 記録ファイルの保存に失敗しました
inline constexpr unsigned NoRecordFileName = platform::IDS_61223;   // 記録ファイル名を指定してください
inline constexpr unsigned OpenCreateFailed = platform::IDS_61239;   // ファイル(%s)のオープン（作成）に失敗しました。
inline constexpr unsigned WriteFileFailed = platform::IDS_61241;    // ファイル(%s)の書き込みに失敗しました。
inline constexpr unsigned ReadFileFailed = platform::IDS_61242;     // ファイル(%s)の読み込みに失敗しました。
inline constexpr unsigned DeleteFileFailed = platform::IDS_61274;   // ファイル[%s]の削除に失敗しました。…
inline constexpr unsigned OutOfMemory = platform::IDS_61282;        // メモリ不足のため処理を継続できません。
} // namespace msg

// Shows a stop message when a host is present.
inline void ReportError(DocumentHost* host, unsigned id, std::vector<std::string> args = {})
{
    if (host)
        host->ShowMessage(id, MessageIcon::Stop, args);
}
