#include "ui/ConfigDocument.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace ui {

void UiDocument::AddView(CView* view)
{
    if (std::find(views_.begin(), views_.end(), view) == views_.end())
        views_.push_back(view);
}

void UiDocument::RemoveView(CView* view)
{
    views_.erase(std::remove(views_.begin(), views_.end(), view), views_.end());
}

void UiDocument::UpdateAllViews(CView* sender, long hint)
{
    // A view may go away while others handle the hint: walk a copy.
    const std::vector<CView*> views = views_;
    for (CView* view : views) {
        if (view != sender && std::find(views_.begin(), views_.end(), view) != views_.end())
            view->OnUpdate(sender, hint);
    }
}

bool ConfigDocument::OnNewDocument()
{
    content_ = "[config]\r\n";
    modified_ = false;
    SetPathName({});
    return true;
}

bool ConfigDocument::OnOpenDocument(const std::filesystem::path& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return false;
    content_ = std::move(text);
    modified_ = false;
    return true;
}

bool ConfigDocument::OnSaveDocument(const std::filesystem::path& path)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content_;
    out.close();
    if (!out)
        return false;
    modified_ = false;
    return true;
}

bool ConfigDocument::AttachSocket(int fd)
{
    if (attachedFd_ >= 0)
        ::close(attachedFd_);
    attachedFd_ = fd;
    return fd >= 0;
}

bool ConfigDocument::OnCommand(unsigned)
{
    return false;
}

bool ConfigDocument::OnUpdateCommand(CmdUI&)
{
    return false;
}

} // namespace ui
