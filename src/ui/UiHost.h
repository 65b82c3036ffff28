#pragma once
// Message boxes and the rest of what the document asks of the windows.

#include "ui/DocumentHost.h"

#include <QString>
#include <functional>

class QWidget;

namespace ui {

// Shows text as the system's message box (caption "Lumetra"); returns an
// DocumentHost::Answer. Tests answer through the hook instead.
int ShowMessage(QWidget* parent, const QString& text, DocumentHost::Icon icon, bool withCancel = false);
using MessageHook = std::function<int(const QString& text, DocumentHost::Icon icon, bool withCancel)>;
void SetMessageHook(MessageHook hook);

QString AppTitle();

class QtDocumentHost : public DocumentHost {
public:
    explicit QtDocumentHost(QWidget* mainWindow) : main_(mainWindow) {}
    int MessageBox(const std::string& text, Icon icon, bool withCancel) override;
    std::unique_ptr<Progress> MakeProgress(int delayMs) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void PumpEvents(int ms) override;

private:
    QWidget* main_;
};

} // namespace ui
