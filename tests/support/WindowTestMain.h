#pragma once
// The main of the window tests: offscreen, Qt's own texts in Japanese, and a
// watchdog that fails a test whose modal window nobody answers.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLibraryInfo>
#include <QPointer>
#include <QTimer>
#include <QTranslator>

#include <cstdlib>

// Leak checker suppressions for every Qt test program (include this header
// once, from its main): fontconfig keeps its configuration until the process
// ends and Qt never frees it.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

namespace testutil {

inline int RunWindowTests(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    // As the application does: Qt's own buttons in Japanese.
    QTranslator qtJapanese;
    if (qtJapanese.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtJapanese);
    // A window nobody answers would hang the run: one still up on two ticks
    // in a row fails the test and is closed.
    QPointer<QWidget> waiting;
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [&waiting] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal == waiting) {
            ADD_FAILURE() << "a window waited for an answer nobody gave: " << modal->windowTitle().toStdString();
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            else
                modal->close();
            modal = nullptr;
        }
        waiting = modal;
    });
    watchdog.start(3000);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

} // namespace testutil
