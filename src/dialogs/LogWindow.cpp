#include "dialogs/LogWindow.h"

#include "net/Log.h"
#include "widgets/AppIcons.h"
#include "platform/StringIds.h"
#include "widgets/SjisText.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

#include <fstream>

using namespace widgets;

namespace dialogs {

LogWindow::LogWindow(net::ProtocolLog& log, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      log_(log)
{
    setObjectName(QStringLiteral("dlg119"));
    setWindowTitle(QStringLiteral("Log"));
    setWindowIcon(AppIcon());
    setFont(JapaneseFont());
    setModal(false);
    edit_ = new QPlainTextEdit(this);
    edit_->setObjectName(QStringLiteral("ctl1006"));
    edit_->setReadOnly(true);
    edit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit_->setFont(JapaneseFont());
    auto* save = new QPushButton(QStringLiteral("&Save..."), this);
    save->setObjectName(QStringLiteral("ctl1008"));
    save->setAutoDefault(false);
    auto* clear = new QPushButton(QStringLiteral("&Clear"), this);
    clear->setObjectName(QStringLiteral("ctl1010"));
    clear->setAutoDefault(false);
    connect(save, &QPushButton::clicked, this, &LogWindow::OnSave);
    connect(clear, &QPushButton::clicked, this, &LogWindow::Clear);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(clear);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(edit_);
    layout->addLayout(buttons);
    resize(560, 320);
}

LogWindow::~LogWindow()
{
    if (isVisible())
        log_.SetSink({});
}

void LogWindow::LogLine(std::string_view text)
{
    if (isVisible())
        AppendLogLine(FromSjis(text) + QStringLiteral("\r\n"));
}

int LogWindow::LineCount() const
{
    return edit_->document()->blockCount();
}

void LogWindow::AppendLogLine(const QString& text)
{
    QTextDocument* document = edit_->document();
    if (document->blockCount() > kMaxLines) {
        QTextCursor cut(document);
        cut.movePosition(QTextCursor::Start);
        cut.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, kDropLines);
        cut.removeSelectedText();
    }
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    plain.replace(u'\r', u'\n');
    QTextCursor end(document);
    end.movePosition(QTextCursor::End);
    end.insertText(plain);
    edit_->setTextCursor(end);
    edit_->ensureCursorVisible();
}

void LogWindow::Clear()
{
    edit_->clear();
}

bool LogWindow::SaveTo(const std::filesystem::path& path) const
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    QTextDocument* document = edit_->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        // The empty line after the last line end is not a line of the log.
        if (!block.next().isValid() && block.text().isEmpty())
            break;
        out << ToSjis(block.text()) << '\n';
    }
    out.close();
    return bool(out);
}

void LogWindow::OnSave()
{
    setEnabled(false);
    const QString name = QFileDialog::getSaveFileName(this, QString(), QString(),
                                                      QStringLiteral("Log Files (*.log)"));
    setEnabled(true);
    if (name.isEmpty())
        return;
    if (!SaveTo(std::filesystem::path(name.toStdString())))
        QMessageBox::critical(this, LoadText(platform::IDS_57344), LoadText(platform::IDS_61232));
}

void LogWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The protocol layer records only while someone can read it.
    log_.SetSink([this](std::string_view line) { AppendLogLine(FromSjis(line)); });
}

void LogWindow::hideEvent(QHideEvent* event)
{
    log_.SetSink({});
    QDialog::hideEvent(event);
}

void LogWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    hide();
}

PostStatusDialog::PostStatusDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlg120"));
    setWindowTitle(QStringLiteral("通信中"));
    setFont(JapaneseFont());
    setModal(false);
    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("ctl1037"));
    text_->setMinimumWidth(300);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    show();
}

void PostStatusDialog::SetStatusText(std::string_view text)
{
    text_->setText(FromSjis(text));
}

QString PostStatusDialog::StatusText() const
{
    return text_->text();
}

} // namespace dialogs
