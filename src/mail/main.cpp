// lumetra-mail: the mail program the reader hands mail to.
//   lumetra-mail /m    a new, empty mail
//   lumetra-mail /c2   a reply to the hand-off text on the clipboard
// Both open the desktop's mail composer through xdg-email, started with an
// argument list; the exit status is the composer's, or 1 (nothing to reply
// to), 2 (wrong command line), 3 (no xdg-email).
#include "message/MailHandoff.h"
#include "textcodec/Charsets.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>

#include <cstdio>
#include <cstring>

namespace {

int RunComposer(const std::vector<std::string>& args)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
    if (program.isEmpty()) {
        std::fputs("lumetra-mail: xdg-email not found\n", stderr);
        return 3;
    }
    QStringList list;
    for (const std::string& arg : args)
        list << QString::fromStdString(arg);
    QProcess composer;
    composer.setProcessChannelMode(QProcess::ForwardedChannels);
    composer.setStandardInputFile(QProcess::nullDevice());
    composer.start(program, list);
    if (!composer.waitForStarted(-1)) {
        std::fputs("lumetra-mail: xdg-email could not be started\n", stderr);
        return 3;
    }
    composer.waitForFinished(-1);
    return composer.exitStatus() == QProcess::NormalExit ? composer.exitCode() : 3;
}

const char* const kUsage = "usage: lumetra-mail /m | /c2\n"
                          "  /m    open the desktop's mail composer with a new mail\n"
                          "  /c2   reply to the article the newsreader put on the clipboard\n"
                          "  --help, --version\n";

} // namespace

int main(int argc, char** argv)
{
    const char* mode = argc == 2 ? argv[1] : "";
    if (std::strcmp(mode, "--help") == 0 || std::strcmp(mode, "-h") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (std::strcmp(mode, "--version") == 0) {
        std::fputs("lumetra-mail " LUMETRA_VERSION "\n", stdout);
        return 0;
    }
    if (std::strcmp(mode, "/m") == 0) {
        QCoreApplication app(argc, argv);
        return RunComposer(message::MailComposerArguments(nullptr));
    }
    if (std::strcmp(mode, "/c2") != 0) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    QGuiApplication app(argc, argv);
    const QByteArray text = QGuiApplication::clipboard()->text().toUtf8();
    const auto draft = message::ReadMailHandoff(textcodec::Utf8ToSjis(std::string_view(text.constData(), text.size())));
    if (!draft) {
        std::fputs("lumetra-mail: the clipboard holds no reply from the newsreader\n", stderr);
        return 1;
    }
    return RunComposer(message::MailComposerArguments(&*draft));
}
