// Mail and reply mail: the mail program shipped beside the reader takes the
// work; a reply travels to it on the clipboard.
#include "message/MailHandoff.h"
#include "news/FollowUp.h"
#include "news/LumeDoc.h"
#include "platform/Registry.h"

namespace news {

namespace {
constexpr const char* kMailerName = "lumetra-mail";
} // namespace

std::string CLumeDoc::GetMailerPath() { return platform::AppPathLookup(kMailerName); }

void CLumeDoc::MailNew()
{
    // An unregistered program fails silently, as a start that failed would.
    const std::string path = GetMailerPath();
    if (!path.empty() && host_)
        host_->StartProgram(path, {"/m"});
}

void CLumeDoc::MailReply()
{
    if (!host_)
        return;
    host_->BeginWaitCursor();
    struct EndWait {
        DocumentHost* host;
        ~EndWait() { host->EndWaitCursor(); }
    } endWait{host_};

    std::string header, displayed;
    if (!host_->GetShownArticle(header, displayed) || header.empty())
        return;
    const std::string path = GetMailerPath();
    if (path.empty()) {
        ReportError(host_, msg::MailerUnavailable, {kMailerName});
        return;
    }
    // The header once: header lines the pane shows above the body are left out.
    std::string_view body = displayed;
    if (const std::size_t end = DisplayedHeaderEnd(body); end != std::string_view::npos)
        body.remove_prefix(end + 4);
    else if (body.starts_with("\r\n"))
        body.remove_prefix(2);
    const std::string text =
        message::MakeMailHandoff(message::ReplyAddress(header), message::MailArticleText(header, body));
    if (!host_->PutClipboardText(text)) {
        ReportError(host_, msg::ClipboardBusy);
        return;
    }
    if (!host_->StartProgram(path, {"/c2"}))
        ReportError(host_, msg::MailerUnavailable, {kMailerName});
}

} // namespace news
