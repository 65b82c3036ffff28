#pragma once
// The one crossing point between the core's Shift_JIS (CP932) bytes and Qt's
// Unicode strings, plus the string table and the Japanese fonts of the windows.

#include <QFont>
#include <QString>
#include <string>
#include <string_view>
#include <vector>

namespace widgets {

// Bytes that are not valid Shift_JIS come out as U+FFFD; ok (when given)
// tells. Escaped characters (textcodec/Charsets.h) come out as themselves.
QString FromSjis(std::string_view bytes, bool* ok = nullptr);
// The same, added to the end of to.
void AppendSjis(QString& to, std::string_view bytes, bool* ok = nullptr);
// Characters without a CP932 code come out as escapes; ok (when given) tells.
std::string ToSjis(const QString& text, bool* ok = nullptr);

// A string-table text with its %s and %d filled from args in order: file
// paths come as UTF-8, other texts as Shift_JIS.
QString FormatMessage(const std::string& format, const std::vector<std::string>& args);

// String table entry id as Unicode; empty when unknown.
QString LoadText(unsigned id);
// A command's status-bar prompt (before the line feed) and tool tip (after it).
QString PromptOf(unsigned id);
QString TipOf(unsigned id);

// The window font: a Japanese family that has double-width kanji.
QFont JapaneseFont(int pointSize = 9);
constexpr const char* kJapaneseFamily = "IPAGothic";

} // namespace widgets
