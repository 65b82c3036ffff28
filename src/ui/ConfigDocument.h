#pragma once
// A stand-in configuration document for the frame until the news document is
// wired in: it keeps the path and the modified flag and checks that a file
// can be read. Tests drive the frame through it.

#include "ui/DocumentHost.h"

namespace ui {

class ConfigDocument : public UiDocument {
public:
    bool OnNewDocument() override;
    bool OnOpenDocument(const std::filesystem::path& path) override;
    bool OnSaveDocument(const std::filesystem::path& path) override;
    bool IsModified() const override { return modified_; }
    void SetModified(bool modified) override { modified_ = modified; }
    bool IsBusy() const override { return busy_; }
    bool ShowAllGroup() const override { return showAll_; }
    bool ShowUnreadGroup() const override { return showUnread_; }
    void OnComposeClosed() override { ++composeClosed_; }
    std::string CurrentGroupName() const override { return group_; }
    int ArticleCount() const override { return articles_; }
    bool AttachSocket(int fd) override;

    bool OnCommand(unsigned id) override;
    bool OnUpdateCommand(CmdUI& state) override;

    // Settable state for the stand-in's users.
    bool busy_ = false;
    bool showAll_ = false;
    bool showUnread_ = true;
    std::string group_;
    int articles_ = 0;
    int composeClosed_ = 0;
    int attachedFd_ = -1;
    std::string content_;

private:
    bool modified_ = false;
};

} // namespace ui
