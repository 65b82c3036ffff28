#pragma once
// The charsets 表示 → 文字コード offers for reading the shown article again,
// one command each from cmd::ReadAsAuto on. 自動 (no charset) reads it as it
// declares and looks.

#include "platform/CommandIds.h"

#include <array>

namespace ui {

struct ReadingCharset {
    const char* label;   // menu text, UTF-8
    const char* charset; // iconv name; empty for 自動
    bool groupEnd;       // a separator follows
};

inline constexpr std::array<ReadingCharset, 16> kReadingCharsets{{
    {"自動(&A)", "", true},
    {"JIS (ISO-2022-JP)(&J)", "ISO-2022-JP", false},
    {"Shift_JIS(&S)", "SHIFT_JIS", false},
    {"EUC-JP(&E)", "EUC-JP", false},
    {"UTF-8(&U)", "UTF-8", true},
    {"西欧 (ISO-8859-1)", "ISO-8859-1", false},
    {"西欧 (ISO-8859-15)", "ISO-8859-15", false},
    {"西欧 (Windows-1252)", "WINDOWS-1252", false},
    {"中欧 (ISO-8859-2)", "ISO-8859-2", false},
    {"ギリシャ語 (ISO-8859-7)", "ISO-8859-7", false},
    {"キリル文字 (KOI8-R)", "KOI8-R", false},
    {"キリル文字 (Windows-1251)", "WINDOWS-1251", false},
    {"韓国語 (EUC-KR)", "EUC-KR", false},
    {"簡体字中国語 (GB18030)", "GB18030", false},
    {"繁体字中国語 (Big5)", "BIG5", false},
    {"UTF-7", "UTF-7", false},
}};
static_assert(kReadingCharsets.size() == platform::cmd::ReadAsLast - platform::cmd::ReadAsAuto + 1);

} // namespace ui
