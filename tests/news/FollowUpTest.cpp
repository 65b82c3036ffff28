// Follow-up fields and quoting as a table.
#include "news/FollowUp.h"
#include "textcodec/Charsets.h"

#include <gtest/gtest.h>

using namespace news;
using namespace std::string_literals;

namespace {

std::string S(const char* utf8) { return textcodec::Utf8ToSjis(utf8); }

const std::string kFrom = "From: Taro Yamada <taro@example.jp>\r\n", kId = "Message-ID: <m1@example.jp>\r\n";

TEST(FollowUp, FieldsAndQuotedBody)
{
    const FollowUpOptions plain{true, false, 2, ">"};
    const struct {
        std::string header, body;
        std::vector<bool> selected; // empty: all
        FollowUpOptions options;
        std::string fields; // newsgroups|subject|followupTo|distribution|references, then the body
    } rows[] = {
        {"Followup-To: poster\r\nNewsgroups: a.b\r\nSubject: t\r\n", "", {}, plain, "poster|Re: t|poster||"},
        {"Newsgroups: a.b, c.d\r\nDistribution: jp\r\nSubject: RE: t\r\n", "", {true, false}, plain, "a.b|RE: t||jp|"},
        {"Subject: =?ISO-2022-JP?B?GyRCRnxLXBsoQg==?=\r\nReferences: <r0@x>\r\n  <r1@x>\r\n" + kId, "", {}, plain,
         S("|Re: 日本|||<r0@x> <r1@x> <m1@example.jp>")},
        {"Subject: =?ISO-2022-JP?Q?a=0D=0AControl:_cancel?=\r\nDistribution: =?US-ASCII?Q?jp=0D=0AX:_x?=\r\n"
         "References: <r\0@x>\r\nMessage-ID: <m\0@x>\r\n"s, "", {}, plain, "|Re: a  Control: cancel||jp  X: x|<m @x>"},
        {"Subject: t\r\n", "a\r\n\r\nb\n\nc\rX\n", {}, plain, "|Re: t|||>a\r\n>\r\n>b\r\n>c\r\n"},
        {"Subject: t\r\n", "a\r\n", {}, {false, false, 0, ">"}, "|Re: t|||"},
        {kFrom, "a\r\n", {}, {true, true, 2, "| "}, "||||taro| a\r\n"},
        {"Subject: t\r\n", "a\r\n", {}, {true, true, 2, ">"}, "|Re: t|||>a\r\n"},
        {kFrom + "Subject: t\r\n" + kId, "a\r\n", {}, {true, false, 0, ">"},
         "|Re: t|||<m1@example.jp>In message <m1@example.jp>\r\n   \"t\"\r\n"
         "   \"Taro Yamada <taro@example.jp>\" wrote.\r\n\r\n>a\r\n"},
        {kFrom + "Subject: t\r\n", "a\r\n", {}, {true, false, 1, ">"},
         S("|Re: t||| \"t \" において、\r\n Taro Yamada <taro@example.jp> さんは書きました。\r\n\r\n>a\r\n")},
    };
    for (const auto& row : rows) {
        FollowUpChoice choice{SplitGroupItems(FollowUpGroups(row.header)), row.selected, row.options};
        choice.selected.resize(choice.groups.size(), true);
        const FollowUpFields f = MakeFollowUpFields(row.header, row.body, choice);
        EXPECT_EQ(f.newsgroups + "|" + f.subject + "|" + f.followupTo + "|" + f.distribution + "|" + f.references + f.body,
                  row.fields);
    }
}

TEST(FollowUp, LongChainKeepsRootAndNewestWithinTheLineLimit)
{
    std::string header = "References: <root@x>", kept = "<root@x>";
    for (int i = 0; i < 40; ++i) {
        const std::string id = " <reply" + std::to_string(i) + "-0123456789abcdef@example.invalid>";
        header += "\r\n" + id, kept += i >= 18 ? id : ""; // "References: " and all kept fit in 998 bytes
    }
    EXPECT_EQ(FollowUpReferences(header + "\r\n" + kId), kept + " <m1@example.jp>");
}

} // namespace
