#include "app/LumeApp.h"
#include "app/SingleInstance.h"
#include "platform/Registry.h"
#include "ui/AppIcons.h"
#include "ui/CArticleView.h"
#include "ui/MainFrame.h"
#include "ui/LumeDocument.h"
#include "ui/SjisText.h"
#include "ui/UiHost.h"

#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumetra"));
    QApplication::setOrganizationName(QStringLiteral("Quorvane"));
    QApplication::setWindowIcon(ui::AppIcon());
    QApplication::setFont(ui::JapaneseFont());

    // Qt's own buttons (Yes, No, Cancel, file dialogs) in Japanese.
    QTranslator qtJapanese;
    if (qtJapanese.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtJapanese);

    QStringList words = QApplication::arguments();
    words.removeFirst();
    const QString commandLine = words.join(u' ');

    // The running instance has its own working folder: hand over a full path.
    QString file = app::CLumeApp::FileFromCommandLine(commandLine);
    if (!file.isEmpty())
        file = QFileInfo(file).absoluteFilePath();
    app::SingleInstance instance(app::SingleInstance::DefaultName());
    if (instance.HandOff(file))
        return 0;
    instance.Listen();

    ui::CMainFrame::SetPaneFactory([](int index, ui::UiDocument& doc, ui::CMainFrame& frame) -> QWidget* {
        if (auto* news = dynamic_cast<ui::LumeDocument*>(&doc))
            news->Host().SetForwarder([&frame](::DocumentHost::Pane pane, unsigned id) {
                const int i = pane == ::DocumentHost::Pane::Body ? ui::CMainFrame::BodyPane
                                                                 : ui::CMainFrame::ArticlePane;
                if (ui::CView* view = frame.View(i))
                    view->OnCommand(id);
            });
        if (index == ui::CMainFrame::ArticlePane)
            return ui::MakeArticleView(doc, frame, platform::Registry::User());
        return nullptr;
    });
    ui::LumeDocument document(&platform::Registry::User());
    app::CLumeApp lume(platform::Registry::User(), document);
    if (!lume.InitInstance(commandLine))
        return 1;
    document.Host().SetWindow(static_cast<QWidget*>(lume.Frame()));
    lume.ListenForHandOffs(&instance);
    const int result = QApplication::exec();
    lume.ExitInstance();
    return result;
}
