// What the document and the post window build before posting: References
// fit to send, whose article is one's own, the supersede draft and the cancel.
#include "message/HeaderFields.h"
#include "net/PostText.h"
#include "news/PostArticle.h"

#include <gtest/gtest.h>

namespace {

std::string Ids(int count, int from = 0)
{
    std::string out;
    for (int i = from; i < from + count; ++i)
        out += (out.empty() ? "<" : " <") + std::string(60, 'r') + std::to_string(i) + "@example.invalid>";
    return out;
}

TEST(PostForm, TrimReferencesKeepsSoundIdsFirstAndNewest)
{
    const std::string huge = "<" + std::string(200000, 'h') + "@example.invalid>";
    const struct {
        const char* name;
        std::string in, out;
    } rows[] = {
        {"kept as they are", "<a@x> <b@x>", "<a@x> <b@x>"},
        {"folded input", "<a@x>\r\n\t<b@x>", "<a@x> <b@x>"},
        {"not Message-IDs dropped", "<a@x> <no-at> <b c@x> <d\r\n@x> <" + std::string(250, 'l') + "@x> <z@x>",
         "<a@x> <z@x>"},
        {"a 200 KB id", "<a@x> " + huge + " <z@x>", "<a@x> <z@x>"},
        {"unclosed at the end", "<a@x> <b@x", "<a@x>"},
        {"nothing sound", "junk <> <x>", ""},
        {"long chain: first and the newest that fit", Ids(100), Ids(1) + " " + Ids(29, 71)},
    };
    for (const auto& row : rows) {
        const std::string trimmed = news::TrimReferences(row.in);
        EXPECT_EQ(trimmed, row.out) << row.name;
        EXPECT_LE(trimmed.size(), 32u * 78u) << row.name;
    }
}

TEST(PostForm, OwnArticleIsTheConfiguredAddress)
{
    const struct {
        const char* from;
        const char* address;
        bool own;
    } rows[] = {
        {"Taro <taro@example.invalid>", "taro@example.invalid", true},
        {"taro@example.invalid (Taro)", "taro@example.invalid", true},
        {"  TARO@Example.INVALID ", "taro@example.invalid", true},
        {"=?ISO-2022-JP?B?GyRCQkBPOhsoQg==?= <taro@example.invalid>", " taro@example.invalid", true},
        {"Taro <taro@example.invalid.evil>", "taro@example.invalid", false},
        {"\"taro@example.invalid\" <evil@example.invalid>", "taro@example.invalid", false},
        {"other@example.invalid", "taro@example.invalid", false},
        {"Taro <>", "", false},
        {"", "", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(news::IsOwnFrom(row.from, row.address), row.own) << row.from << " / " << row.address;
}

TEST(PostForm, SupersedeAndCancelOfAnArticle)
{
    const std::string header = "Path: x!not-for-mail\r\nFrom: taro@example.invalid\r\nNewsgroups: local.test,fj.test\r\n"
                               "Subject: =?ISO-2022-JP?B?GyRCRnxLXBsoQg==?= again\r\nReferences: <p@x>\r\n"
                               "Followup-To: poster\r\nReply-To: r@example.invalid\r\nMessage-ID: <m1@example.invalid>\r\n";
    const news::SupersedeDraft draft = news::MakeSupersedeDraft(header, "text\r\n");
    EXPECT_EQ(draft.supersedes, "<m1@example.invalid>");
    EXPECT_EQ(draft.form.newsgroups + "|" + draft.form.followupTo + "|" + draft.form.replyTo + "|" +
                  draft.form.references + "|" + draft.form.body,
              "local.test,fj.test|poster|r@example.invalid|<p@x>|text\r\n");
    EXPECT_EQ(draft.form.subject, "\x93\xfa\x96\x7b again");
    EXPECT_EQ(news::MakeSupersedeDraft("Subject: x\r\n", "").supersedes, "");

    for (const std::string secret : {"", "s3cret"}) {
        news::PostForm supersede = draft.form;
        news::MakeSupersede(supersede, draft.supersedes, secret);
        const news::PostForm cancel = news::CancelForm(draft.supersedes, draft.form.newsgroups, secret);
        std::vector<std::pair<std::string, std::string>> expected{{"Control:", "cancel <m1@example.invalid>"}};
        if (!secret.empty())
            expected.emplace_back("Cancel-Key:", net::CancelKey(secret, "<m1@example.invalid>"));
        EXPECT_EQ(cancel.extraFields, expected);
        EXPECT_EQ(cancel.newsgroups, "local.test,fj.test");
        expected[0] = {"Supersedes:", "<m1@example.invalid>"};
        EXPECT_EQ(supersede.extraFields, expected);
        EXPECT_EQ(supersede.cancelSecret, secret);
    }
}

} // namespace
