#pragma once
// The help window: Japanese pages built into the program (res/help), a
// contents list, full-text search, and links between pages.

#include <QStringList>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QTextBrowser;

namespace dialogs {

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // page is a file name of the help pages, with an optional #anchor; ""
    // shows the contents. Unknown pages show the contents too.
    void ShowPage(const QString& page);
    // The file names of every page, contents first.
    static QStringList Pages();
    // Where the pages are (a resource folder).
    static QString Folder();
    QTextBrowser* Browser() const { return browser_; }
    // Lists the pages whose text holds every word of text (blank-separated).
    void Search(const QString& text);

private:
    void ShowContents();

    QLineEdit* find_ = nullptr;
    QListWidget* list_ = nullptr;
    QTextBrowser* browser_ = nullptr;
};

// The help page of the window or dialog w belongs to: its own object name
// (dlgNNN, a pane) or that of the nearest window holding it.
QString HelpPageFor(const QWidget* w);

} // namespace dialogs
