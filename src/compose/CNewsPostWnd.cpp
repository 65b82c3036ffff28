#include "compose/CNewsPostWnd.h"

#include "compose/PostWindowImages.h"
#include "platform/CommandIds.h"
#include "platform/Registry.h"
#include "platform/Sjis.h"
#include "platform/StringIds.h"
#include "platform/StringTable.h"
#include "dialogs/Dialogs.h"
#include "widgets/LogFontRecord.h"
#include "dialogs/LogWindow.h"
#include "widgets/SjisText.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QToolBar>

#include <algorithm>
#include <cstring>

using namespace news;

namespace compose {

namespace cmd = platform::cmd;
namespace pcmd = platform::postcmd;

namespace {

const char* const kSection = "NewsPostWindow";
const char* const kBarState = "PostWindow";

QString Text(unsigned id) { return widgets::FromSjis(platform::LoadString(id)); }

std::string Sjis(const QLineEdit* edit) { return widgets::ToSjis(edit->text()); }

// The editor's text in Shift_JIS with CR LF line ends; with wrap, each line
// the editor broke on its own ends there too.
std::string EditorText(const QPlainTextEdit* editor, bool softBreaks)
{
    QString out;
    for (QTextBlock block = editor->document()->begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        const QTextLayout* layout = block.layout();
        if (softBreaks && layout && layout->lineCount() > 1) {
            for (int i = 0; i < layout->lineCount(); ++i) {
                const QTextLine line = layout->lineAt(i);
                out += text.mid(line.textStart(), line.textLength());
                if (i + 1 < layout->lineCount())
                    out += QStringLiteral("\r\n");
            }
        } else {
            out += text;
        }
        if (block.next().isValid())
            out += QStringLiteral("\r\n");
    }
    return widgets::ToSjis(out);
}

// Shift_JIS with CR LF or LF line ends, as the editor holds text.
QString EditorForm(const std::string& sjis)
{
    std::string text;
    text.reserve(sjis.size());
    for (char c : sjis)
        if (c != '\r')
            text += c;
    return widgets::FromSjis(text);
}

} // namespace

CNewsPostWnd::CNewsPostWnd(const PostParams& settings, platform::Registry& registry, dialogs::Dialogs& dialogs,
                           QWidget* parent)
    : QMainWindow(parent), settings_(settings), registry_(registry), dialogs_(dialogs), signatures_(registry)
{
    setObjectName(QStringLiteral("NewsPostWnd"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Text(platform::IDS_104));
    setFont(widgets::JapaneseFont());
    wordWrap_ = registry_.GetInt(kSection, "bWordWrap", 1) != 0;
    autoInsert_ = signatures_.GetSignAutoInsert();
    BuildForm();
    BuildMenus();
    newsgroups_->setText(widgets::FromSjis(settings_.strNewsgroups));
    distribution_->setText(widgets::FromSjis(settings_.strDistribution));
    attach_->setText(QString::fromStdString(settings_.attachPath.string()));
    if (const std::optional<QFont> font = widgets::ReadFontSetting(registry_, kSection)) {
        wrapBody_->setFont(*font);
        plainBody_->setFont(*font);
    }
    SetWordWrap(wordWrap_);
    RestoreLayout();
    UpdateCommandStates();
}

CNewsPostWnd::~CNewsPostWnd() = default;

void CNewsPostWnd::BuildForm()
{
    auto* form = new QWidget(this);
    form->setObjectName(QStringLiteral("dlg123"));
    auto* grid = new QGridLayout(form);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setVerticalSpacing(4);
    int row = 0;
    auto field = [&](int id, const QString& label) {
        auto* edit = new QLineEdit(form);
        edit->setObjectName(QStringLiteral("ctl%1").arg(id));
        auto* text = new QLabel(label, form);
        text->setBuddy(edit);
        grid->addWidget(text, row, 0);
        grid->addWidget(edit, row, 1, 1, 3);
        ++row;
        return edit;
    };
    distribution_ = field(1001, QStringLiteral("ﾃﾞｨｽﾄﾘﾋﾞｭｰｼｮﾝ(&D):"));
    newsgroups_ = field(1002, QStringLiteral("ﾆｭｰｽｸﾞﾙｰﾌﾟ(&W):"));
    subject_ = field(1012, QStringLiteral("題名(&J):"));
    replyTo_ = field(1014, QStringLiteral("返信先(&R):"));
    followupTo_ = field(1007, QStringLiteral("ﾌｫﾛｰｱｯﾌﾟ(&U):"));
    attach_ = field(1015, QStringLiteral("添付ﾌｧｲﾙ(&A):"));
    // The attachment row also holds the encoding and the browse button.
    grid->removeWidget(attach_);
    grid->addWidget(attach_, row - 1, 1);
    encoding_ = new QComboBox(form);
    encoding_->setObjectName(QStringLiteral("ctl1032"));
    encoding_->addItems({QStringLiteral("BASE64"), QStringLiteral("BinHex4.0"), QStringLiteral("uuencode"), QStringLiteral("yEnc")});
    grid->addWidget(encoding_, row - 1, 2);
    auto* browse = new QPushButton(QStringLiteral("参照(&B)..."), form);
    browse->setObjectName(QStringLiteral("ctl1027"));
    grid->addWidget(browse, row - 1, 3);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString path = dialogs_.AskOpenFile(this, Text(platform::IDS_61262), QStringLiteral("All Files (*)"));
        if (!path.isEmpty())
            attach_->setText(path);
    });

    auto makeBody = [&](int id, QPlainTextEdit::LineWrapMode mode) {
        auto* body = new QPlainTextEdit(form);
        body->setObjectName(QStringLiteral("ctl%1").arg(id));
        body->setLineWrapMode(mode);
        body->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        body->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        body->installEventFilter(this);
        body->viewport()->installEventFilter(this);
        connect(body, &QPlainTextEdit::cursorPositionChanged, this, [this] { UpdateCommandStates(); });
        grid->addWidget(body, row, 0, 1, 4);
        return body;
    };
    wrapBody_ = makeBody(1058, QPlainTextEdit::WidgetWidth);
    plainBody_ = makeBody(1019, QPlainTextEdit::NoWrap);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(1, 1);
    setCentralWidget(form);
    connect(newsgroups_, &QLineEdit::textChanged, this, [this] { UpdateCommandStates(); });
}

void CNewsPostWnd::BuildMenus()
{
    auto item = [this](QMenu* menu, unsigned id, const QString& text, bool checkable = false) {
        QAction* action = menu->addAction(text);
        action->setCheckable(checkable);
        action->setObjectName(QStringLiteral("cmd%1").arg(id));
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
        actions_[id] = action;
        return action;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    item(file, pcmd::InsertFile, QStringLiteral("カーソル位置に読み込み(&I)..."));
    file->addSeparator();
    item(file, pcmd::Send, QStringLiteral("送信(&P)..."))->setShortcut(QKeySequence(QStringLiteral("Alt+S")));
    file->addSeparator();
    item(file, pcmd::Exit, QStringLiteral("終了(&X)"));
    QMenu* edit = menuBar()->addMenu(QStringLiteral("編集(&E)"));
    item(edit, cmd::EditUndo, QStringLiteral("元に戻す(&U)"))->setShortcut(QKeySequence::Undo);
    edit->addSeparator();
    item(edit, cmd::EditCut, QStringLiteral("切り取り(&T)"))->setShortcut(QKeySequence::Cut);
    item(edit, cmd::EditCopy, QStringLiteral("コピー(&C)"))->setShortcut(QKeySequence::Copy);
    item(edit, cmd::EditPaste, QStringLiteral("貼り付け(&P)"))->setShortcut(QKeySequence::Paste);
    item(edit, cmd::EditClear, QStringLiteral("削除(&D)"));
    edit->addSeparator();
    item(edit, cmd::EditSelectAll, QStringLiteral("すべて選択(&A)"))->setShortcut(QKeySequence::SelectAll);
    QMenu* sign = menuBar()->addMenu(QStringLiteral("署名(&G)"));
    item(sign, pcmd::InsertSignature, QStringLiteral("署名の挿入(&I)"));
    item(sign, pcmd::AutoInsert, QStringLiteral("署名の自動追加(&A)"), true);
    sign->addSeparator();
    item(sign, pcmd::Signature1, QStringLiteral("署名１(&1)"), true);
    item(sign, pcmd::Signature1 + 1, QStringLiteral("署名２(&2)"), true);
    item(sign, pcmd::Signature1 + 2, QStringLiteral("署名３(&3)"), true);
    QMenu* options = menuBar()->addMenu(QStringLiteral("オプション(&O)"));
    item(options, pcmd::WordWrap, QStringLiteral("行の自動折り返し(&W)"), true);
    item(options, pcmd::Font, QStringLiteral("フォントの設定(&F)..."));
    QMenu* help = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    item(help, pcmd::HelpPost, QStringLiteral("記事の投稿ウインドウの使い方(&U)"));

    QToolBar* bar = addToolBar(QStringLiteral("PostWindow"));
    bar->setObjectName(QStringLiteral("bar59392"));
    bar->setIconSize(QSize(20, 20));
    static const std::pair<unsigned, const char*> buttons[] = {
        {pcmd::InsertFile, "ファイルの読み込み"}, {0, nullptr},
        {cmd::EditCut, "切り取り"},               {cmd::EditCopy, "コピー"},
        {cmd::EditPaste, "貼り付け"},             {0, nullptr},
        {pcmd::InsertSignature, "署名の挿入"},    {pcmd::WordWrap, "行の自動折り返し"},
        {0, nullptr},                             {pcmd::Send, "送信"},
    };
    for (const auto& [id, tip] : buttons) {
        if (id == 0) {
            bar->addSeparator();
            continue;
        }
        QAction* action = actions_[id];
        action->setIcon(QIcon(PostWindowImage(id)));
        action->setToolTip(QString::fromUtf8(tip));
        bar->addAction(action);
    }
    columns_ = new QLabel(this);
    columns_->setObjectName(QStringLiteral("pane61228"));
    statusBar()->setObjectName(QStringLiteral("bar59393"));
    statusBar()->addPermanentWidget(columns_);
}

void CNewsPostWnd::RestoreLayout()
{
    std::int32_t rc[4] = {};
    if (registry_.GetBinaryExact(kSection, "rcFrame", rc, sizeof rc)) {
        const QScreen* screen = QApplication::primaryScreen();
        const QSize area = screen ? screen->size() : QSize(1024, 768);
        // Only a position that leaves the window reachable on this screen.
        if (rc[0] >= 0 && rc[0] <= area.width() - 20 && rc[1] >= 0 && rc[1] <= area.height() - 20 && rc[2] > rc[0] &&
            rc[3] > rc[1])
            setGeometry(rc[0], rc[1], rc[2] - rc[0], rc[3] - rc[1]);
    } else {
        resize(640, 520);
    }
    std::vector<std::uint8_t> state;
    if (registry_.GetBinary(kBarState, "State", state) > 0)
        restoreState(QByteArray(reinterpret_cast<const char*>(state.data()), qsizetype(state.size())));
    statusBar()->setVisible(registry_.GetInt(kBarState, "StatusBar", 1) != 0);
}

void CNewsPostWnd::SaveLayout()
{
    const QByteArray state = saveState();
    registry_.WriteBinary(kBarState, "State", state.constData(), std::size_t(state.size()));
    registry_.WriteInt(kBarState, "StatusBar", statusBar()->isVisible() ? 1 : 0);
    const QRect r = (isMaximized() || isMinimized()) ? normalGeometry() : geometry();
    const std::int32_t rc[4] = {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    registry_.WriteBinary(kSection, "rcFrame", rc, sizeof rc);
    registry_.WriteInt(kSection, "bWordWrap", wordWrap_ ? 1 : 0);
    signatures_.SetSignAutoInsert(autoInsert_);
}

QPlainTextEdit* CNewsPostWnd::Body() const { return wordWrap_ ? wrapBody_ : plainBody_; }

void CNewsPostWnd::SetWordWrap(bool on)
{
    QPlainTextEdit* from = Body();
    wordWrap_ = on;
    QPlainTextEdit* to = Body();
    if (from != to) {
        const bool modified = from->document()->isModified();
        to->setPlainText(from->toPlainText());
        to->setFont(from->font());
        to->document()->setModified(modified);
        const bool focused = from->hasFocus();
        from->hide();
        to->show();
        if (focused)
            to->setFocus();
    } else {
        (on ? plainBody_ : wrapBody_)->hide();
        to->show();
    }
    UpdateColumns();
}

int CNewsPostWnd::Columns() const
{
    const QPlainTextEdit* body = Body();
    const int average = std::max(1, QFontMetrics(body->font()).averageCharWidth());
    // Lines are laid out inside the document's margin on either side, not the whole viewport.
    const int width = body->viewport()->width() - 2 * static_cast<int>(body->document()->documentMargin());
    return std::max(0, width / average);
}

void CNewsPostWnd::UpdateColumns()
{
    columns_->setText(widgets::FormatMessage(platform::LoadString(platform::IDS_61228), {std::to_string(Columns())}));
}

bool CNewsPostWnd::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize || event->type() == QEvent::FontChange)
        UpdateColumns();
    return QMainWindow::eventFilter(watched, event);
}

void CNewsPostWnd::SetFollowUpFields(const std::string& distribution, const std::string& subject,
                                     const std::string& newsgroups, const std::string& followupTo,
                                     const std::string& references, const std::string& body)
{
    // Values from another article stay on one line.
    distribution_->setText(widgets::FromSjis(platform::OneLineValue(distribution)));
    subject_->setText(widgets::FromSjis(platform::OneLineValue(subject)));
    newsgroups_->setText(widgets::FromSjis(platform::OneLineValue(newsgroups)));
    followupTo_->setText(widgets::FromSjis(platform::OneLineValue(followupTo)));
    references_ = platform::OneLineValue(references);
    Body()->setPlainText(EditorForm(body));
    UpdateCommandStates();
}

void CNewsPostWnd::SetSupersedeFields(const std::string& header, const std::string& body)
{
    const SupersedeDraft draft = MakeSupersedeDraft(header, body);
    SetFollowUpFields(draft.form.distribution, draft.form.subject, draft.form.newsgroups, draft.form.followupTo,
                      draft.form.references, draft.form.body);
    replyTo_->setText(widgets::FromSjis(platform::OneLineValue(draft.form.replyTo)));
    supersedes_ = draft.supersedes;
}

PostForm CNewsPostWnd::Form() const
{
    PostForm form;
    form.distribution = Sjis(distribution_);
    form.newsgroups = Sjis(newsgroups_);
    form.subject = Sjis(subject_);
    form.replyTo = Sjis(replyTo_);
    form.followupTo = Sjis(followupTo_);
    form.attachPath = attach_->text().trimmed().toStdString();
    form.attachEncoding = encoding_->currentIndex() < 0 ? 0 : encoding_->currentIndex();
    form.body = EditorText(Body(), wordWrap_);
    form.references = references_;
    if (autoInsert_)
        form.signature = signatures_.GetSignature(signatures_.GetSignSelect());
    return form;
}

int CNewsPostWnd::Ask(unsigned id)
{
    return dialogs_.Message(this, Text(id), MessageIcon::Question);
}

bool CNewsPostWnd::Send()
{
    if (posting_)
        return false;
    if (Ask(platform::IDS_61272) != IDYES)
        return false;
    // Taken now: what is posted is what the user confirmed.
    PostForm form = Form();
    PostParams settings = settings_;
    const std::string uncarried = UncarriedCharacter(form, settings);
    if (!uncarried.empty()) {
        switch (dialogs_.AskUncarried(this, widgets::FromSjis(uncarried))) {
        case dialogs::Dialogs::UncarriedChoice::Utf8:
            settings.PostKanjiCode = textcodec::KanjiCode::Utf8;
            break;
        case dialogs::Dialogs::UncarriedChoice::Replace:
            form.replaceUncarried = true;
            break;
        case dialogs::Dialogs::UncarriedChoice::Cancel:
            return false;
        }
    }
    if (cancelSecret_)
        form.cancelSecret = cancelSecret_(settings.strMailAddress);
    if (!supersedes_.empty())
        MakeSupersede(form, supersedes_, form.cancelSecret);
    form.messageId = unansweredId_;
    posting_ = true;
    setEnabled(false);
    PostOutcome outcome;
    {
        dialogs::PostStatusDialog status(this);
        PostHooks hooks;
        hooks.status = [&status](const std::string& text) { status.SetStatusText(text); };
        hooks.pump = [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); };
        outcome = PostArticle(form, settings, hooks);
    }
    setEnabled(true);
    posting_ = false;
    if (!outcome.posted) {
        if (outcome.maybePosted && !outcome.postedId.empty())
            unansweredId_ = outcome.postedId;
        ShowFailure(outcome);
        return false;
    }
    wrapBody_->document()->setModified(false);
    plainBody_->document()->setModified(false);
    close();
    return true;
}

void CNewsPostWnd::ShowFailure(const PostOutcome& outcome)
{
    if (outcome.messageId != 0) {
        dialogs_.Message(this, widgets::FormatMessage(platform::LoadString(outcome.messageId), outcome.args),
                         MessageIcon::Stop);
        return;
    }
    QString reply = QString::fromLatin1(outcome.serverReply.c_str()).trimmed();
    QString text = outcome.maybePosted
                       ? QStringLiteral("記事は送信しましたが、サーバから応答がありません。投稿されている可能性があります。")
                       : QStringLiteral("記事の投稿に失敗しました。");
    if (!reply.isEmpty())
        text += QStringLiteral("\n\n") + reply;
    dialogs_.Message(this, text, MessageIcon::Stop);
}

bool CNewsPostWnd::IsModified() const { return Body()->document()->isModified(); }

bool CNewsPostWnd::QueryClose()
{
    if (posting_)
        return false;
    if (noQuestion_ || !IsModified())
        return true;
    if (Ask(platform::IDS_61229) != IDYES)
        return false;
    noQuestion_ = true;
    return true;
}

void CNewsPostWnd::Destroy()
{
    noQuestion_ = true;
    close();
}

void CNewsPostWnd::closeEvent(QCloseEvent* event)
{
    if (!QueryClose()) {
        noQuestion_ = false;
        event->ignore();
        return;
    }
    SaveLayout();
    event->accept();
    if (auto closed = std::move(closed_))
        closed();
}

void CNewsPostWnd::InsertText(const std::string& sjis)
{
    QPlainTextEdit* body = Body();
    body->setUpdatesEnabled(false);
    body->insertPlainText(EditorForm(sjis));
    body->setUpdatesEnabled(true);
}

void CNewsPostWnd::InsertFile()
{
    const QString path = dialogs_.AskOpenFile(this, QStringLiteral("Insert File"),
                                              QStringLiteral("Text Files (*.txt);;All Files (*)"));
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        dialogs_.Message(this, widgets::FormatMessage(platform::LoadString(platform::IDS_61239), {path.toStdString()}),
                         MessageIcon::Stop);
        return;
    }
    InsertText(file.readAll().toStdString());
}

bool CNewsPostWnd::OnCommand(unsigned id)
{
    auto* line = qobject_cast<QLineEdit*>(focusWidget());
    auto* text = qobject_cast<QPlainTextEdit*>(focusWidget());
    switch (id) {
    case pcmd::InsertFile:
        InsertFile();
        return true;
    case pcmd::Exit:
        close();
        return true;
    case pcmd::Send:
        if (!newsgroups_->text().isEmpty())
            Send();
        return true;
    case cmd::EditUndo:
    case cmd::EditCut:
    case cmd::EditCopy:
    case cmd::EditPaste:
    case cmd::EditClear:
    case cmd::EditSelectAll:
        if (line) {
            id == cmd::EditUndo ? line->undo() : id == cmd::EditCut ? line->cut() : id == cmd::EditCopy ? line->copy()
                : id == cmd::EditPaste ? line->paste() : id == cmd::EditClear ? line->del() : line->selectAll();
        } else if (text) {
            id == cmd::EditUndo ? text->undo() : id == cmd::EditCut ? text->cut() : id == cmd::EditCopy ? text->copy()
                : id == cmd::EditPaste ? text->paste() : id == cmd::EditClear ? text->textCursor().removeSelectedText()
                : text->selectAll();
        }
        return true;
    case pcmd::InsertSignature:
        InsertText(signatures_.GetSignature(signatures_.GetSignSelect()));
        Body()->setFocus();
        return true;
    case pcmd::AutoInsert:
        autoInsert_ = !autoInsert_;
        signatures_.SetSignAutoInsert(autoInsert_);
        UpdateCommandStates();
        return true;
    case pcmd::Signature1:
    case pcmd::Signature1 + 1:
    case pcmd::Signature1 + 2:
        signatures_.SetSignSelect(int(id - pcmd::Signature1));
        UpdateCommandStates();
        return true;
    case pcmd::WordWrap:
        SetWordWrap(!wordWrap_);
        UpdateCommandStates();
        return true;
    case pcmd::Font:
        if (const std::optional<QFont> font = dialogs_.AskFont(this, Body()->font(), QString(), false)) {
            wrapBody_->setFont(*font);
            plainBody_->setFont(*font);
            widgets::WriteFontSetting(registry_, kSection, *font);
            UpdateColumns();
        }
        return true;
    case pcmd::HelpPost:
        dialogs_.ShowHelp(this, QStringLiteral("posting.html"));
        return true;
    default:
        return false;
    }
}

bool CNewsPostWnd::UpdateState(unsigned id, bool& checked) const
{
    const auto* line = qobject_cast<const QLineEdit*>(focusWidget());
    const auto* text = qobject_cast<const QPlainTextEdit*>(focusWidget());
    const bool selection = line ? line->hasSelectedText() : text && text->textCursor().hasSelection();
    switch (id) {
    case pcmd::Send:
        return !posting_ && !newsgroups_->text().isEmpty();
    case cmd::EditUndo:
        return line ? line->isUndoAvailable() : text && text->document()->isUndoAvailable();
    case cmd::EditCut:
    case cmd::EditCopy:
    case cmd::EditClear:
        return selection;
    case cmd::EditPaste:
        return line || text;
    case cmd::EditSelectAll:
        return line ? !line->text().isEmpty() : text && !text->document()->isEmpty();
    case pcmd::AutoInsert:
        checked = autoInsert_;
        return true;
    case pcmd::Signature1:
    case pcmd::Signature1 + 1:
    case pcmd::Signature1 + 2: {
        const int n = int(id - pcmd::Signature1);
        checked = signatures_.GetSignSelect() == n;
        return !signatures_.GetSignature(n).empty();
    }
    case pcmd::WordWrap:
        checked = wordWrap_;
        return true;
    default:
        return true;
    }
}

void CNewsPostWnd::UpdateCommandStates()
{
    for (auto& [id, action] : actions_) {
        bool checked = false;
        action->setEnabled(UpdateState(id, checked));
        if (action->isCheckable())
            action->setChecked(checked);
    }
}

} // namespace compose
