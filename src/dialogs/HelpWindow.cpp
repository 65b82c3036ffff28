#include "dialogs/HelpWindow.h"

#include "dialogs/Dialogs.h"
#include "widgets/SjisText.h"

#include <QFile>

#include <algorithm>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

using namespace widgets;

namespace dialogs {

namespace {

struct Topic {
    const char* file;
    const char* title;
};

// The contents, in reading order.
const Topic kTopics[] = {
    {"index.html", "目次"},
    {"start.html", "はじめに: サーバの設定"},
    {"panes.html", "画面とキー操作"},
    {"reading.html", "記事を読む・既読にする"},
    {"codes.html", "日本語の文字コード"},
    {"attach.html", "添付ファイル"},
    {"posting.html", "投稿とフォローアップ"},
    {"signature.html", "署名"},
    {"settings.html", "環境設定"},
    {"files.html", "ファイルとその場所"},
    {"trouble.html", "困ったときは"},
    {"usinghelp.html", "ヘルプの使い方"},
};

struct WindowPage {
    const char* objectName;
    const char* page;
};

// Windows and dialogs that have a page of their own.
const WindowPage kWindowPages[] = {
    {"CMainFrame", "panes.html"},
    {"dlg105", "panes.html#subscribe"},
    {"dlg112", "panes.html#subscribe"},
    {"dlg139", "panes.html#group"},
    {"dlg115", "reading.html#mark"},
    {"dlg122", "reading.html#reload"},
    {"dlg133", "reading.html#search"},
    {"dlg135", "reading.html#limit"},
    {"dlg106", "reading.html"},
    {"dlg132", "trouble.html"},
    {"dlg119", "trouble.html#log"},
    {"dlg120", "posting.html"},
    {"dlg118", "posting.html#followup"},
    {"CNewsPostWnd", "posting.html"},
    {"CConfigSheet", "settings.html"},
    {"dlg100", "index.html"},
};

QString ReadPage(const QString& file)
{
    QFile f(HelpWindow::Folder() + file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

} // namespace

QString HelpWindow::Folder() { return QStringLiteral(":/help/"); }

QStringList HelpWindow::Pages()
{
    QStringList pages;
    for (const Topic& topic : kTopics)
        pages << QString::fromLatin1(topic.file);
    return pages;
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("%1 ヘルプ").arg(AppTitle()));
    setFont(JapaneseFont());

    find_ = new QLineEdit(this);
    find_->setObjectName(QStringLiteral("find"));
    find_->setPlaceholderText(QStringLiteral("検索する言葉"));
    find_->setClearButtonEnabled(true);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("topics"));
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("page"));
    browser_->setSearchPaths({Folder()});
    browser_->setOpenExternalLinks(true);

    auto* back = new QPushButton(QStringLiteral("戻る(&B)"), this);
    auto* forward = new QPushButton(QStringLiteral("進む(&F)"), this);
    auto* contents = new QPushButton(QStringLiteral("目次(&C)"), this);
    connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(contents, &QPushButton::clicked, this, [this] { ShowPage(QString()); });
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QWidget::setEnabled);
    back->setEnabled(false);
    forward->setEnabled(false);

    connect(find_, &QLineEdit::textChanged, this, &HelpWindow::Search);
    connect(list_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { browser_->setSource(QUrl(item->data(Qt::UserRole).toString())); });
    connect(list_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { browser_->setSource(QUrl(item->data(Qt::UserRole).toString())); });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addWidget(contents);
    buttons->addStretch();
    // Without a window manager's title bar this is the only way out.
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setObjectName(QStringLiteral("close"));
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    buttons->addWidget(close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    auto* side = new QWidget(this);
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->addWidget(find_);
    sideLayout->addWidget(list_);
    auto* split = new QSplitter(this);
    split->addWidget(side);
    split->addWidget(browser_);
    split->setStretchFactor(1, 1);
    split->setSizes({200, 520});
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(split, 1);
    resize(760, 560);
    ShowContents();
}

void HelpWindow::ShowContents()
{
    list_->clear();
    for (const Topic& topic : kTopics) {
        auto* item = new QListWidgetItem(QString::fromUtf8(topic.title), list_);
        item->setData(Qt::UserRole, QString::fromLatin1(topic.file));
    }
}

void HelpWindow::ShowPage(const QString& page)
{
    const QString file = page.section(u'#', 0, 0);
    const bool known = Pages().contains(file);
    browser_->setSource(QUrl(known ? page : Pages().constFirst()));
}

void HelpWindow::Search(const QString& text)
{
    const QStringList words = text.simplified().split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty()) {
        ShowContents();
        return;
    }
    list_->clear();
    for (const Topic& topic : kTopics) {
        QTextDocument doc;
        doc.setHtml(ReadPage(QString::fromLatin1(topic.file)));
        const QString plain = doc.toPlainText();
        const bool all = std::all_of(words.begin(), words.end(),
                                     [&](const QString& w) { return plain.contains(w, Qt::CaseInsensitive); });
        if (!all)
            continue;
        auto* item = new QListWidgetItem(QString::fromUtf8(topic.title), list_);
        item->setData(Qt::UserRole, QString::fromLatin1(topic.file));
    }
    if (list_->count() == 0)
        new QListWidgetItem(QStringLiteral("(見つかりません)"), list_);
}

QString HelpPageFor(const QWidget* w)
{
    for (; w; w = w->parentWidget()) {
        for (const WindowPage& entry : kWindowPages)
            if (w->objectName() == QLatin1String(entry.objectName))
                return QString::fromLatin1(entry.page);
    }
    return {};
}

} // namespace dialogs
