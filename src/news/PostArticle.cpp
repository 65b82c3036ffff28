#include "news/PostArticle.h"

#include "news/ServerLogin.h"
#include "platform/Sjis.h"
#include "platform/StringIds.h"
#include "platform/TempFiles.h"
#include "textcodec/Base64.h"
#include "textcodec/BinHex.h"
#include "textcodec/Uuencode.h"

#include <system_error>

namespace news {

std::string NormaliseGroupList(std::string_view text)
{
    std::string out;
    std::string piece;
    auto flush = [&] {
        if (piece.empty())
            return;
        if (!out.empty())
            out += ',';
        out += piece;
        piece.clear();
    };
    for (char c : text) {
        if (c == ' ' || c == ',' || c == '\t' || c == '\r' || c == '\n' || c == '\0')
            flush();
        else
            piece += c;
    }
    flush();
    return out;
}

std::optional<net::CNntpPostMessageParam> BuildPostParam(const PostForm& form, const PostParams& settings)
{
    const std::string newsgroups = NormaliseGroupList(form.newsgroups);
    if (newsgroups.empty())
        return std::nullopt;
    net::CNntpPostMessageParam p;
    p.kanjiCode = settings.PostKanjiCode;
    p.attachEncoding = form.attachEncoding >= 0 && form.attachEncoding <= 2 ? form.attachEncoding : 0;
    auto add = [&p](const char* name, const std::string& value) {
        if (value.empty())
            return;
        p.fieldNames.emplace_back(name);
        p.fieldValues.push_back(platform::OneLineValue(value));
    };
    add("Distribution:", NormaliseGroupList(form.distribution));
    add("Followup-To:", NormaliseGroupList(form.followupTo));
    add("Newsgroups:", newsgroups);
    add("Reply-To:", form.replyTo);
    add("Subject:", form.subject);
    add("Organization:", settings.strOrganization);
    p.fieldNames.emplace_back("X-Newsreader:");
    p.fieldValues.emplace_back(kNewsreaderName);
    p.fieldNames.emplace_back("From:");
    p.fieldValues.push_back(platform::OneLineValue(
        settings.strRealName.empty() ? settings.strMailAddress
                                     : settings.strRealName + " <" + settings.strMailAddress + ">"));
    p.attachPath = form.attachPath;

    std::string body = form.body;
    if (body.empty() || body.back() != '\n')
        body += "\r\n";
    body += "\r\n";
    p.bodyTexts.push_back(std::move(body));
    if (!form.signature.empty())
        p.bodyTexts.push_back("-- \r\n" + form.signature);
    add("References:", form.references);
    return p;
}

namespace {

// The encoded attachment lives only as long as the posting.
struct TempFile {
    std::filesystem::path path;
    ~TempFile()
    {
        std::error_code ignored;
        if (!path.empty())
            std::filesystem::remove(path, ignored);
    }
};

bool EncodeAttachment(int encoding, const std::filesystem::path& in, const std::filesystem::path& out)
{
    switch (encoding) {
    case 1:
        return textcodec::BinHexEncodeFile(in, out);
    case 2:
        return textcodec::UuencodeFile(in, out) == textcodec::UU_OK;
    default:
        return textcodec::Base64EncodeFile(in, out);
    }
}

} // namespace

PostOutcome PostArticle(const PostForm& form, const PostParams& settings, const PostHooks& hooks)
{
    PostOutcome outcome;
    std::optional<net::CNntpPostMessageParam> param = BuildPostParam(form, settings);
    if (!param) {
        outcome.messageId = platform::IDS_61264;
        return outcome;
    }
    TempFile encoded;
    if (!param->attachPath.empty()) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(param->attachPath, error)) {
            outcome.messageId = platform::IDS_61260;
            outcome.args = {param->attachPath.string()};
            return outcome;
        }
        encoded.path = platform::MakeTempFileName("bin", 0);
        if (encoded.path.empty() || !EncodeAttachment(param->attachEncoding, param->attachPath, encoded.path)) {
            outcome.messageId = platform::IDS_61261;
            outcome.args = {param->attachPath.string()};
            return outcome;
        }
        param->encodedPath = encoded.path;
    }

    net::CNntp nntp;
    if (hooks.status)
        nntp.SetStatusWindow(hooks.status);
    nntp.SetErrorReporter([&outcome, &hooks](const std::string& text) {
        outcome.serverReply = text;
        if (hooks.error)
            hooks.error(text);
    });
    if (hooks.pump)
        nntp.SetPump(hooks.pump);
    if (!hooks.caFile.empty())
        nntp.Tcp().SetCaFile(hooks.caFile);
    nntp.SetSecurity(settings.security);
    nntp.SetLoginHandler(settings.askLogin);
    nntp.SetTrustHandler(settings.askTrust);
    nntp.SetFailureHandler([&outcome](net::SessionFailure failure, const std::string& detail) {
        if (const unsigned id = SessionFailureMessage(failure)) {
            outcome.messageId = id;
            outcome.args = {detail};
        }
    });
    if (!nntp.Open(settings.strNntpServer, 1, settings.nNntpPort))
        return outcome;
    if (!nntp.StartSession(false)) {
        if (outcome.messageId == 0)
            outcome.serverReply = nntp.LastReply();
        return outcome;
    }
    outcome.posted = nntp.Post(*param) == 1;
    if (!outcome.posted) {
        outcome.maybePosted = nntp.ArticleSent() && nntp.ReplyCode() == 0;
        if (nntp.ReplyCode() != 0)
            outcome.serverReply = nntp.LastReply();
    }
    nntp.Quit();
    return outcome;
}

} // namespace news
