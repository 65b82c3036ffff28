#include "app/LumeApp.h"
#include "app/NewsLink.h"
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
#include <QUrl>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* const kUsage =
    "usage: lumetra [FILE.lum | news:GROUP | news:MESSAGE-ID | nntp://SERVER/GROUP/NUMBER]\n"
    "  FILE.lum      open that configuration (else the most recent one)\n"
    "  news:GROUP    open the group with the open or most recent configuration\n"
    "  news:ID       show the article with that Message-ID (news:<id> too)\n"
    "  nntp://SERVER/GROUP/NUMBER  show that article of the group\n"
    "A running Lumetra on the same display takes the file or link over.\n"
    "  -h, --help    this text\n"
    "  --version     the version\n";

} // namespace

int main(int argc, char** argv)
{
    // Answered before Qt starts, so they work without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("lumetra " LUMETRA_VERSION "\n", stdout);
            return 0;
        }
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumetra"));
    QApplication::setOrganizationName(QStringLiteral("Quorvane"));
    // Wayland compositors find the window's icon and name by it.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quorvane.Lumetra"));
    QApplication::setWindowIcon(widgets::AppIcon());
    QApplication::setFont(widgets::JapaneseFont());

    // Qt's own buttons (Yes, No, Cancel, file dialogs) in Japanese.
    QTranslator qtJapanese;
    if (qtJapanese.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtJapanese);

    QStringList words = QApplication::arguments();
    words.removeFirst();
    // The desktop may name a local file by its file: URL (Exec=lumetra %u).
    if (words.size() == 1 && words[0].startsWith(QStringLiteral("file:"), Qt::CaseInsensitive))
        words[0] = QUrl(words[0]).toLocalFile();
    const QString commandLine = words.join(u' ');

    // The running instance has its own working folder: hand over a full path.
    // A link goes over as it is.
    QString file = app::CLumeApp::FileFromCommandLine(commandLine);
    if (app::IsNewsLink(commandLine.trimmed().toStdString()))
        file = commandLine.trimmed();
    else if (!file.isEmpty())
        file = QFileInfo(file).absoluteFilePath();
    app::SingleInstance instance(app::SingleInstance::DefaultName());
    if (instance.HandOff(file))
        return 0;
    instance.Listen();

    platform::Registry& registry = platform::Registry::User();
    dialogs::QtDialogs dialogs;
    const auto passwords = host::MakeKeychainStore();
    host::HostedDocument document(dialogs, registry, passwords.get());
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
