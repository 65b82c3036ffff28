#include "news/PostArticle.h"

#include "news/ServerLogin.h"
#include "net/PostCodec.h"
#include "net/PostText.h"
#include "textcodec/Charsets.h"
#include "textcodec/ConvertFromSjis.h"
#include "platform/Sjis.h"
#include "platform/StringIds.h"
#include "platform/TempFiles.h"
#include "textcodec/Base64.h"
#include "textcodec/BinHex.h"
#include "textcodec/StreamPump.h"
#include "textcodec/Uuencode.h"
#include "textcodec/Yenc.h"

#include "message/HeaderFields.h"

#include <cctype>
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
    p.attachEncoding = form.attachEncoding >= 0 && form.attachEncoding <= 3 ? form.attachEncoding : 0;
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
    add("References:", TrimReferences(form.references));
    for (const auto& [name, value] : form.extraFields)
        add(name.c_str(), value);
    p.messageId = platform::OneLineValue(form.messageId);
    p.cancelSecret = form.cancelSecret;
    return p;
}

std::string UncarriedCharacter(const PostForm& form, const PostParams& settings)
{
    const textcodec::KanjiCode code = settings.PostKanjiCode;
    const std::string name = form.attachPath.empty() ? std::string()
                                                     : textcodec::Utf8ToSjis(form.attachPath.filename().string());
    for (const std::string* text : {&form.subject, &settings.strRealName, &settings.strOrganization, &form.body,
                                    &form.signature, &name, &form.newsgroups, &form.replyTo}) {
        const std::size_t at = textcodec::FindUncarried(*text, code);
        if (at != std::string::npos)
            return text->substr(at, textcodec::CharacterLength(*text, at));
    }
    return {};
}

std::string TrimReferences(std::string_view references)
{
    std::vector<std::string> ids;
    for (std::size_t at = 0; (at = references.find('<', at)) != std::string_view::npos;) {
        const std::size_t close = references.find('>', at);
        if (close == std::string_view::npos)
            break;
        std::string id(references.substr(at, close + 1 - at));
        const bool sound = id.size() <= 250 && id.find('@') != std::string::npos &&
                           id.find_first_of(" \t\r\n<", 1) == std::string::npos;
        if (sound)
            ids.push_back(std::move(id));
        at = close + 1;
    }
    constexpr std::size_t kMaxBytes = 32 * 78;
    std::size_t total = 0;
    for (const std::string& id : ids)
        total += id.size() + 1;
    // RFC 5537 3.4.4: drop from the second on, keep the first and the newest.
    while (ids.size() > 2 && total > kMaxBytes) {
        total -= ids[1].size() + 1;
        ids.erase(ids.begin() + 1);
    }
    std::string out;
    for (const std::string& id : ids)
        out += (out.empty() ? "" : " ") + id;
    return out;
}

PostForm CancelForm(const std::string& messageId, const std::string& newsgroups, const std::string& secret)
{
    PostForm form;
    form.newsgroups = newsgroups;
    form.subject = "cmd cancel " + messageId;
    form.body = "cancel\r\n";
    form.extraFields.emplace_back("Control:", "cancel " + messageId);
    if (!secret.empty())
        form.extraFields.emplace_back("Cancel-Key:", net::CancelKey(secret, messageId));
    form.cancelSecret = secret;
    return form;
}

void MakeSupersede(PostForm& form, const std::string& messageId, const std::string& secret)
{
    form.extraFields.emplace_back("Supersedes:", messageId);
    if (!secret.empty())
        form.extraFields.emplace_back("Cancel-Key:", net::CancelKey(secret, messageId));
    form.cancelSecret = secret;
}

bool IsOwnFrom(std::string_view from, std::string_view address)
{
    std::string_view mailbox = from;
    const std::size_t open = from.rfind('<');
    if (open != std::string_view::npos) {
        const std::size_t close = from.find('>', open);
        mailbox = from.substr(open + 1, close == std::string_view::npos ? std::string_view::npos : close - open - 1);
    } else {
        // "addr (Name)": the address is what comes before the comment.
        mailbox = from.substr(0, from.find('('));
    }
    auto trim = [](std::string_view v) {
        const std::size_t first = v.find_first_not_of(" \t\r\n");
        if (first == std::string_view::npos)
            return std::string_view();
        return v.substr(first, v.find_last_not_of(" \t\r\n") + 1 - first);
    };
    mailbox = trim(mailbox);
    address = trim(address);
    if (address.empty() || mailbox.size() != address.size())
        return false;
    for (std::size_t i = 0; i < address.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(mailbox[i])) != std::tolower(static_cast<unsigned char>(address[i])))
            return false;
    }
    return true;
}

SupersedeDraft MakeSupersedeDraft(std::string_view header, std::string_view body)
{
    SupersedeDraft draft;
    PostForm& form = draft.form;
    form.newsgroups = message::GetHeaderField(header, "Newsgroups", true);
    form.subject = message::GetHeaderField(header, "Subject", true);
    form.distribution = message::GetHeaderField(header, "Distribution", true);
    form.followupTo = message::GetHeaderField(header, "Followup-To", true);
    form.replyTo = message::GetHeaderField(header, "Reply-To", true);
    form.references = message::GetHeaderField(header, "References", false);
    form.body = std::string(body);
    const std::string id = message::GetHeaderField(header, "Message-ID", false);
    const std::size_t open = id.rfind('<');
    const std::size_t close = open == std::string::npos ? std::string::npos : id.find('>', open);
    if (close != std::string::npos)
        draft.supersedes = id.substr(open, close + 1 - open);
    return draft;
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
    case 2: {
        // The "begin" line takes the input's name: give it a safe one through
        // a link in the private temporary folder.
        net::CNntpPostMessageParam named;
        named.attachPath = in;
        const std::filesystem::path link = out.parent_path() / net::BeginLineName(net::AttachmentNameUtf8(named));
        std::error_code error;
        std::filesystem::remove(link, error);
        std::filesystem::create_symlink(std::filesystem::absolute(in, error), link, error);
        if (error)
            return false;
        const bool ok = textcodec::UuencodeFile(link, out) == textcodec::UU_OK;
        std::filesystem::remove(link, error);
        return ok;
    }
    case 3: {
        // One part holding all of the file, so readers check it by its CRC.
        net::CNntpPostMessageParam named;
        named.attachPath = in;
        std::error_code error;
        textcodec::YencPartInfo info;
        info.name = net::AttachmentNameUtf8(named);
        info.fileSize = std::filesystem::file_size(in, error);
        if (error)
            return false;
        info.part = info.total = 1;
        info.partSize = info.fileSize;
        info.lineEnd = "\r\n";
        textcodec::YencEncoder encoder(info);
        textcodec::AtomicOutput file(out);
        return textcodec::PumpFile(in, encoder, file, out) == textcodec::FilePumpStatus::Ok && file.Keep();
    }
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
    if (!form.replaceUncarried) {
        const std::string uncarried = UncarriedCharacter(form, settings);
        if (!uncarried.empty()) {
            outcome.messageId = platform::IDS_61340;
            outcome.args = {uncarried};
            return outcome;
        }
    }
    {
        std::string lines, badField;
        if (!net::ComposeFieldLines(*param, net::GetPostCodec(), lines, badField)) {
            outcome.messageId = platform::IDS_61341;
            outcome.args = {badField};
            return outcome;
        }
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
    nntp.SetTimeouts(settings.timeouts);
    nntp.SetLog(settings.log);
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
    outcome.postedId = nntp.PostedMessageId();
    if (!outcome.posted) {
        outcome.maybePosted = nntp.ArticleSent() && nntp.ReplyCode() == 0;
        if (nntp.ReplyCode() != 0)
            outcome.serverReply = nntp.LastReply();
    }
    nntp.Quit();
    return outcome;
}

} // namespace news
