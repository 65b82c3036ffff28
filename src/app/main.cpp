#include "app/LumeApp.h"
#include "app/SingleInstance.h"
#include "platform/Registry.h"
#include "ui/AppIcons.h"
#include "ui/ConfigDocument.h"
#include "ui/SjisText.h"
#include "ui/UiHost.h"

#include <QApplication>
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

    app::SingleInstance instance(app::SingleInstance::DefaultName());
    if (instance.HandOff(app::CLumeApp::FileFromCommandLine(commandLine)))
        return 0;
    instance.Listen();

    ui::ConfigDocument document;
    app::CLumeApp lume(platform::Registry::User(), document);
    if (!lume.InitInstance(commandLine))
        return 1;
    lume.ListenForHandOffs(&instance);
    const int result = QApplication::exec();
    lume.ExitInstance();
    return result;
}
