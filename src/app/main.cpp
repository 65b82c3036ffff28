#include "app/LumeApp.h"
#include "app/SingleInstance.h"
#include "app/PaneFactory.h"
#include "app/QuitSignals.h"
#include "platform/Registry.h"
#include "platform/TempFiles.h"
#include "widgets/AppIcons.h"
#include "dialogs/Dialogs.h"
#include "host/HostedDocument.h"
#include "host/PasswordStore.h"
#include "news/HeaderStore.h"
#include "widgets/SjisText.h"

#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>

#include <cstdlib>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumetra"));
    QApplication::setOrganizationName(QStringLiteral("Quorvane"));
    QApplication::setWindowIcon(widgets::AppIcon());
    QApplication::setFont(widgets::JapaneseFont());

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

    platform::Registry& registry = platform::Registry::User();
    dialogs::QtDialogs dialogs;
    const auto passwords = host::MakeKeychainStore();
    host::HostedDocument document(dialogs, &registry, passwords.get());
    document.Doc().UseHeaderStore(news::HeaderStore::DefaultPath());
    app::CLumeApp lume(registry, document, dialogs, app::MakePanes(document, registry, dialogs));
    document.Doc().SetUntitledRecoveryFolder(platform::UserStateFolder());
    // Dialogs at start-up already run the event loop, so signals are heard from here on.
    app::QuitSignals quitSignals;
    QObject::connect(&quitSignals, &app::QuitSignals::Received, &lume, [&lume](int number) {
        // Asked again while an operation still holds the loop: go now.
        if (lume.Leaving()) {
            platform::RemoveTempDirectory();
            std::_Exit(128 + number);
        }
        lume.LeaveWithoutAsking();
        QApplication::exit(0);
    });
    if (!lume.InitInstance(commandLine))
        return 1;
    lume.ListenForHandOffs(&instance);
    const int result = lume.Leaving() ? 0 : QApplication::exec();
    lume.ExitInstance();
    return result;
}
