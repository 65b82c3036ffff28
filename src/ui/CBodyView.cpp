#include "ui/CBodyView.h"

#include "widgets/BodyColours.h"

#include "integration/BrowserHandoff.h"
#include "integration/UrlDialog.h"
#include "message/MimeRender.h"
#include "news/LumeDoc.h"
#include "platform/MessageFormat.h"
#include "platform/Registry.h"
#include "platform/StringIds.h"
#include "platform/StringTable.h"
#include "platform/TempFiles.h"
#include "widgets/CBodyText.h"
#include "widgets/BodyPrint.h"
#include "platform/CommandIds.h"
#include "widgets/EditContextMenu.h"
#include "dialogs/Dialogs.h"
#include "ui/LumeDocument.h"
#include "ui/ReadingCharsets.h"
#include "widgets/SjisText.h"

#include <QApplication>
#include <QMetaMethod>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QMenu>
#include <QMimeDatabase>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>
#include <cstring>
#include <fstream>

using namespace widgets;
using namespace dialogs;

using namespace news;

namespace ui {

namespace cmd = platform::cmd;

namespace {


constexpr int kIconSize = 32;
constexpr int kTextIndent = 35;

QIcon IconForName(const QString& name)
{
    static QMimeDatabase db;
    if (!name.isEmpty()) {
        const QMimeType type = db.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
        QIcon icon = QIcon::fromTheme(type.iconName());
        if (icon.isNull())
            icon = QIcon::fromTheme(type.genericIconName());
        if (!icon.isNull())
            return icon;
    }
    // Without an icon theme (a bare X session): the style's plain file icon.
    return QApplication::style()->standardIcon(QStyle::SP_FileIcon);
}

// Dialog 136: an attachment's raw data.
class SourceDialog : public QDialog {
public:
    SourceDialog(const QString& title, const QString& text, QWidget* parent) : QDialog(parent)
    {
        setWindowTitle(title.isEmpty() ? QStringLiteral("一時表示") : title);
        auto* layout = new QVBoxLayout(this);
        auto* edit = new QPlainTextEdit(this);
        edit->setObjectName(QStringLiteral("1014"));
        edit->setReadOnly(true);
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        edit->setPlainText(text);
        layout->addWidget(edit);
        auto* close = new QPushButton(QStringLiteral("閉じる(&C)"), this);
        connect(close, &QPushButton::clicked, this, &QDialog::accept);
        auto* row = new QHBoxLayout;
        row->addStretch();
        row->addWidget(close);
        layout->addLayout(row);
        resize(560, 400);
    }
};

} // namespace


int AttachmentRowDelegate::RowHeight(const QFontMetrics& fm) { return std::max(kIconSize + 2, fm.height() + 2); }

QSize AttachmentRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QString text = index.data(Qt::DisplayRole).toString();
    return QSize(kTextIndent + option.fontMetrics.horizontalAdvance(text) + 4, RowHeight(option.fontMetrics));
}

void AttachmentRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const
{
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->fillRect(option.rect, option.palette.brush(selected ? QPalette::Highlight : QPalette::Base));
    const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
    icon.paint(painter, QRect(option.rect.topLeft() + QPoint(1, 1), QSize(kIconSize, kIconSize)));
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(option.font);
    const QRect textRect = option.rect.adjusted(kTextIndent, 0, 0, 0);
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, index.data(Qt::DisplayRole).toString());
    painter->restore();
}

// The right-button menu of the attachment list.
class AttachmentListWidget : public QListWidget {
public:
    explicit AttachmentListWidget(CBodyView& view, QWidget* parent) : QListWidget(parent), view_(view) {}

protected:
    void contextMenuEvent(QContextMenuEvent* event) override
    {
        if (QListWidgetItem* item = itemAt(event->pos()))
            setCurrentItem(item);
        QMenu menu(this);
        auto add = [&](unsigned id, const QString& text) {
            QAction* a = menu.addAction(text);
            a->setData(id);
            CmdUI state;
            state.id = id;
            view_.OnUpdateCommand(state);
            a->setEnabled(state.enabled);
        };
        add(cmd::AttachSave, QStringLiteral("ファイルに保存(&E)..."));
        add(cmd::AttachShow, QStringLiteral("表示(&V)"));
        add(cmd::AttachPrint, QStringLiteral("印刷(&P)"));
        menu.addSeparator();
        add(cmd::AttachSource, QStringLiteral("変換元のデータを見る(&D)..."));
        if (QAction* chosen = menu.exec(event->globalPos()))
            view_.OnCommand(chosen->data().toUInt());
    }

private:
    CBodyView& view_;
};

CBodyView::CBodyView(CLumeDoc& doc, platform::Registry& registry, Dialogs& dialogs, QWidget* mainWindow,
                     QWidget* parent)
    : QWidget(parent), doc_(doc), registry_(registry), dialogs_(dialogs), mainWindow_(mainWindow)
{
    font_ = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    std::vector<std::uint8_t> record(60);
    if (registry_.GetBinaryExact(kSection, "lfFont", record.data(), record.size()))
        DecodeFont(record, font_);
    wordWrap_ = registry_.GetInt(kSection, "bWordWrap", 0) != 0;

    body_ = new CBodyText(this);
    body_->SetMenuRunner([this](QMenu& menu, const QPoint& at) { return dialogs_.ExecMenu(menu, at); });
    body_->setObjectName(QStringLiteral("body"));
    body_->setFont(font_);
    body_->setLineWrapMode(wordWrap_ ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
    body_->setHorizontalScrollBarPolicy(wordWrap_ ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);

    list_ = new AttachmentListWidget(*this, this);
    list_->setObjectName(QStringLiteral("attachments"));
    list_->setItemDelegate(new AttachmentRowDelegate(list_));
    list_->setFont(font_);
    list_->setIconSize(QSize(kIconSize, kIconSize));
    list_->setUniformItemSizes(true);
    list_->hide();

    connect(body_, &CBodyText::UrlActivated, this, [this](const QString& url) {
        // News links are read in this program, not in the browser.
        if ((url.startsWith(u"news:", Qt::CaseInsensitive) || url.startsWith(u"nntp:", Qt::CaseInsensitive)) &&
            isSignalConnected(QMetaMethod::fromSignal(&CBodyView::NewsLinkActivated))) {
            emit NewsLinkActivated(url);
            return;
        }
        integration::OpenUrl(mainWindow_ ? mainWindow_ : window(), url, registry_, BrowserMessages());
    });
    connect(body_, &CBodyText::MiddleClicked, this, [this] { doc_.OnCommand(cmd::NextUnread); });
    connect(body_, &CBodyText::CommandRequested, this, [this](unsigned id) { OnCommand(id); });
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { OpenSelectedAttachment(false); });

    doc_.AddView(this);
    ClearArticle();
}

CBodyView::~CBodyView()
{
    doc_.RemoveView(this);
    ClearArticle();
    std::error_code ec;
    for (const auto& file : viewedFiles_)
        std::filesystem::remove(file, ec);
}

void CBodyView::OnUpdate(DocumentView*, Hint hint)
{
    if (updating_)
        return;
    updating_ = true;
    if (HasHint(hint, Hint::ListCleared)) {
        ClearArticle();
        body_->Clear();
        Relayout();
    }
    if (HasHint(hint, Hint::Article) && doc_.CurrentArticle() != -1)
        ShowArticle(doc_.CurrentArticle());
    else if (HasHint(hint, Hint::Article))
        UseColours(); // new colours show at once, even without an article
    updating_ = false;
}

void CBodyView::ClearArticle()
{
    // The attachments read the cache file: they go with it.
    list_->clear();
    attachments_.clear();
    if (cache_)
        cache_->Close();
    cache_.reset();
    shownNumber_ = -1;
    charset_.clear();
    std::error_code ec;
    if (!cachePath_.empty()) {
        std::filesystem::remove(cachePath_, ec);
        std::filesystem::remove(message::ReceivedPath(cachePath_), ec);
    }
    cachePath_ = platform::MakeTempFileName("mes", 0);
}

bool CBodyView::LinePosition(int& line, int& count) const
{
    const QTextDocument* text = body_->document();
    count = text->blockCount();
    // The text ends with a line end: the empty block after it is no line.
    if (count > 0 && text->lastBlock().length() <= 1)
        --count;
    line = std::min(body_->FirstVisibleLine() + 1, std::max(count, 1));
    return true;
}

bool CBodyView::ShownArticle(std::string& header, std::string& displayed) const
{
    if (!cache_)
        return false;
    // Read in a chosen charset, the header is given as shown (its encoded words read in it).
    header = charset_.empty() ? message::ReadCacheHeader(cachePath_) : shownHeader_;
    QString text = body_->toPlainText();
    displayed = ToSjis(text.replace(u'\n', QStringLiteral("\r\n")));
    return true;
}

std::string CBodyView::SelectedText() const { return ToSjis(body_->textCursor().selectedText()); }

bool CBodyView::FindText(bool downwards, const std::string& text, bool ignoreCase)
{
    return body_->FindText(downwards ? 1 : 0, FromSjis(text), ignoreCase) == 1;
}

bool CBodyView::ShowArticle(int n)
{
    if (fetching_) {
        QApplication::beep();
        return false;
    }
    // The article already in the cache file (new colours, the header toggle,
    // the same row chosen again): render it again rather than asking the
    // server once more, which would also lose it while offline.
    if (cache_ && n == shownNumber_ && doc_.GetCurrentGroup() == shownGroup_) {
        ShowCachedAgain();
        answered_ = n;
        return ArticleShown();
    }
    answered_ = -1;
    // Another network operation holds the connection: refuse, keep what is shown.
    if (doc_.IsBusy()) {
        QApplication::beep();
        return false;
    }
    ClearArticle();
    const bool ok = Fetch(n);
    if (ok) {
        Display();
        shownNumber_ = n;
        shownGroup_ = doc_.GetCurrentGroup();
    }
    Relayout();
    return ok;
}

// The cache file rendered again from the start, attachments listed anew.
void CBodyView::ShowCachedAgain()
{
    list_->clear();
    attachments_.clear();
    cache_->Close();
    cache_.reset();
    Display();
    Relayout();
}

bool CBodyView::ReadIn(const std::string& charset)
{
    if (!cache_ || fetching_ || !message::RecodeCache(cachePath_, charset)) {
        QApplication::beep();
        return false;
    }
    charset_ = charset;
    const std::string header = message::ReadCacheHeader(cachePath_);
    rowSubject_ = message::CachedFieldAs(header, "Subject", charset_);
    rowFrom_ = message::CachedFieldAs(header, "From", charset_);
    shownHeader_ = message::CachedHeaderAs(header, charset_);
    ShowCachedAgain();
    // The article list shows the row as read now.
    doc_.UpdateAllViews(this, Hint::Article);
    return ArticleShown();
}

bool CBodyView::RecodedRow(int number, std::string& subject, std::string& from) const
{
    if (charset_.empty() || !cache_ || number != shownNumber_ || doc_.GetCurrentGroup() != shownGroup_)
        return false;
    subject = rowSubject_;
    from = rowFrom_;
    return true;
}

bool CBodyView::ShowArticleFile(const std::filesystem::path& file)
{
    if (fetching_)
        return false;
    ClearArticle();
    std::error_code ec;
    const bool ok = std::filesystem::copy_file(file, cachePath_, std::filesystem::copy_options::overwrite_existing, ec);
    if (ok && std::filesystem::exists(message::ReceivedPath(file), ec))
        std::filesystem::copy_file(message::ReceivedPath(file), message::ReceivedPath(cachePath_),
                                   std::filesystem::copy_options::overwrite_existing, ec);
    if (ok)
        Display();
    else
        body_->ShowStatus(platform::LoadString(platform::IDS_61284));
    Relayout();
    return ok;
}

bool CBodyView::Fetch(int n)
{
    struct Flag {
        bool& f;
        explicit Flag(bool& x) : f(x) { f = true; }
        ~Flag() { f = false; }
    } guard(fetching_);

    body_->ShowStatus(platform::FormatSjisMessage(platform::LoadString(platform::IDS_61283), {std::to_string(n)}));
    const BodyFetch result = doc_.FetchArticleBody(
        n, cachePath_, [this] { body_->ShowStatus(platform::LoadString(platform::IDS_61286)); });
    answered_ = CountsAsRead(result) ? n : -1;
    if (result == BodyFetch::Arrived)
        return true;
    body_->ShowStatus(platform::LoadString(result == BodyFetch::Cancelled ? platform::IDS_61286 : platform::IDS_61284));
    return false;
}

message::Colour CBodyView::Colour(const char* key, message::Colour def) const
{
    return message::Colour(registry_.GetInt(kSection, key, int(def)));
}

message::Colour CBodyView::UseColours()
{
    const auto defaults = DefaultBodyColours(palette());
    const message::Colour text = Colour("TextColor", defaults[0]);
    body_->SetColours(text, Colour("BackGroundColor", defaults[4]));
    return text;
}

void CBodyView::Display()
{
    // The active colours: while a search or fetch runs the window is disabled,
    // and colours taken then would stay greyed out after it.
    const auto defaults = DefaultBodyColours(palette());
    const message::Colour text = UseColours();
    const message::Colour grey = defaults[1];

    message::BodyRenderer renderer(*body_);
    renderer.textColour = text;
    renderer.headerNameColour = Colour("HeaderColor", grey);
    renderer.headerValueColour = grey;
    renderer.linkColour = grey;
    renderer.boundaryColour = Colour("BoundaryColor", 0xFF0000);
    renderer.attachmentColour = Colour("BinaryMarkColor", 0x0000FF);
    renderer.hiddenFields = {"date:",       "Path:",       "Newsgroups:", "Lines:", "References:", "In-reply-to:",
                             "NNTP-Posting-Host:", "Message-ID:", "Content-Transfer-Encoding:"};
    renderer.charset = charset_;
    cache_ = message::CacheFile::Open(cachePath_);
    if (!cache_) {
        body_->ShowStatus(platform::LoadString(platform::IDS_61284));
        return;
    }
    std::error_code ec;
    received_ = std::filesystem::exists(message::ReceivedPath(cachePath_), ec);
    renderer.RenderArticle(cache_, 0, registry_.GetInt(kSection, "bShowHeader", 0) != 0);
    for (auto& part : renderer.TakeAttachments()) {
        if (part->IsInline())
            continue;
        const QString name = FromSjis(part->Name());
        auto* item = new QListWidgetItem(IconForName(QString::fromStdString(part->SafePath().string())),
                                         name.isEmpty() ? QStringLiteral("(no name)") : name);
        item->setData(Qt::UserRole, int(attachments_.size()));
        list_->addItem(item);
        attachments_.push_back(std::move(part));
    }
}

void CBodyView::Relayout()
{
    const int w = width();
    const int h = height();
    const int n = list_->count();
    if (n == 0) {
        list_->hide();
        body_->setGeometry(0, 0, w, h);
        return;
    }
    const int item = AttachmentRowDelegate::RowHeight(QFontMetrics(list_->font()));
    int listHeight = int(item * (n == 1 ? 1.3 : 2.3));
    listHeight = std::min(listHeight, h / 2);
    list_->setGeometry(0, h - listHeight, w, listHeight);
    list_->show();
    body_->setGeometry(0, 0, w, h - listHeight);
}

void CBodyView::resizeEvent(QResizeEvent*) { Relayout(); }

message::CAttachment* CBodyView::SelectedAttachment() const
{
    const QListWidgetItem* item = list_->currentItem();
    if (!item || !item->isSelected())
        return nullptr;
    const int i = item->data(Qt::UserRole).toInt();
    return i >= 0 && i < int(attachments_.size()) ? attachments_[i].get() : nullptr;
}

void CBodyView::Message(unsigned id, const std::vector<std::string>& args)
{
    const QString text = FormatMessage(platform::LoadString(id), args);
    const bool info = id == platform::IDS_61230;
    dialogs_.Message(mainWindow_ ? mainWindow_ : window(), text, info ? MessageIcon::Information : MessageIcon::Stop);
}

bool CBodyView::SaveAttachment(message::CAttachment& attachment, const std::filesystem::path& path)
{
    try {
        attachment.SaveTo(path);
    } catch (const std::exception&) {
        Message(platform::IDS_61233);
        return false;
    }
    Message(platform::IDS_61230, {path.string()});
    return true;
}

void CBodyView::SaveSelectedAttachment()
{
    message::CAttachment* a = SelectedAttachment();
    if (!a)
        return;
    // Only the safe base name of what the article says ever pre-fills the dialog.
    const QString suggested = a->Name().empty() ? QString() : QString::fromStdString(a->SafePath().string());
    const QString path = dialogs_.AskSaveFile(this, suggested);
    if (!path.isEmpty())
        SaveAttachment(*a, std::filesystem::path(path.toStdString()));
}

void CBodyView::OpenSelectedAttachment(bool print)
{
    message::CAttachment* a = SelectedAttachment();
    if (!a)
        return;
    const std::filesystem::path file = a->Open(print, dialogs_.Desktop());
    if (file.empty()) {
        Message(platform::IDS_61220);
        return;
    }
    viewedFiles_.push_back(file);
}

void CBodyView::ShowSelectedSource()
{
    message::CAttachment* a = SelectedAttachment();
    if (!a)
        return;
    std::string source;
    if (!a->GetSource(source))
        return;
    SourceDialog dialog(FromSjis(a->Name()), FromSjis(source).remove(QLatin1Char('\r')), this);
    dialog.exec();
}

bool CBodyView::SaveArticle(const std::filesystem::path& path)
{
    // The article as fetched, byte for byte; a short write is reported.
    std::ifstream in(cachePath_, std::ios::binary);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        Message(platform::IDS_61239, {path.string()});
        return false;
    }
    if (in) {
        char buffer[8192];
        while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
            if (!out.write(buffer, in.gcount()))
                break;
    }
    out.close();
    if (!out || (in.bad())) {
        Message(platform::IDS_61241, {path.string()});
        return false;
    }
    return true;
}

void CBodyView::SaveArticleAs()
{
    if (!ArticleShown())
        return;
    const QString path = dialogs_.AskSaveFile(this, QString());
    if (!path.isEmpty())
        SaveArticle(std::filesystem::path(path.toStdString()));
}

void CBodyView::SetBodyFont(const QFont& font)
{
    font_ = font;
    body_->setFont(font_);
    list_->setFont(font_);
    const auto record = EncodeFont(font_);
    registry_.WriteBinary(kSection, "lfFont", record.data(), record.size());
    Relayout();
}

void CBodyView::ChooseFont()
{
    if (const std::optional<QFont> font = dialogs_.AskFont(this, font_, QString(), false))
        SetBodyFont(*font);
}

void CBodyView::ToggleWordWrap()
{
    wordWrap_ = !wordWrap_;
    registry_.WriteInt(kSection, "bWordWrap", wordWrap_ ? 1 : 0);
    body_->setLineWrapMode(wordWrap_ ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
    body_->setHorizontalScrollBarPolicy(wordWrap_ ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    Relayout();
    doc_.UpdateAllViews(nullptr, Hint::Article);
}

integration::BrowserMessageHandler CBodyView::BrowserMessages()
{
    return [this](QWidget* parent, unsigned id) { dialogs_.Message(parent, LoadText(id), news::MessageIcon::Stop); };
}

void CBodyView::JumpToUrl()
{
    integration::JumpToUrl(mainWindow_ ? mainWindow_ : window(), body_->textCursor().selectedText(),
                           [this](QWidget* parent, const QString& initial) { return dialogs_.AskUrl(parent, initial); },
                           registry_, BrowserMessages());
}

void CBodyView::PageMove(bool forward)
{
    if (body_->ScrollLines(forward ? 0 : 1, -1))
        return;
    // At the end (or start): the article list moves on, once this has returned.
    const Hint h = forward ? Hint::NextUnread : Hint::PrevArticle;
    QMetaObject::invokeMethod(
        this, [this, h] { doc_.UpdateAllViews(this, h); }, Qt::QueuedConnection);
}

int CBodyView::PrintArticle(QPrinter& printer) { return PrintBody(printer, font_, body_->Lines()); }

bool CBodyView::OnCommand(unsigned id)
{
    if (id >= cmd::ReadAsAuto && id <= cmd::ReadAsLast) {
        ReadIn(kReadingCharsets[id - cmd::ReadAsAuto].charset);
        return true;
    }
    switch (id) {
    case cmd::EditCopy:
        if (body_->textCursor().hasSelection())
            body_->copy();
        return true;
    case cmd::CopyAll:
        body_->CopyAll();
        return true;
    case cmd::EditSelectAll:
        body_->selectAll();
        return true;
    case cmd::Font:
        ChooseFont();
        return true;
    case cmd::WordWrap:
        ToggleWordWrap();
        return true;
    case cmd::AttachSave:
        SaveSelectedAttachment();
        return true;
    case cmd::AttachShow:
        OpenSelectedAttachment(false);
        return true;
    case cmd::AttachPrint:
        OpenSelectedAttachment(true);
        return true;
    case cmd::AttachSource:
        ShowSelectedSource();
        return true;
    case cmd::JumpUrl:
        JumpToUrl();
        return true;
    case cmd::SaveArticle:
        SaveArticleAs();
        return true;
    case cmd::PageForward:
    case cmd::PageBackward:
        PageMove(id == cmd::PageForward);
        return true;
    case cmd::FilePrint: {
        QPrinter printer;
        if (dialogs_.AskPrinter(this, printer))
            PrintArticle(printer);
        return true;
    }
    case cmd::NextPane:
        if (body_->hasFocus() && list_->count() > 0) {
            list_->setFocus();
            return true;
        }
        return false;
    case cmd::PrevPane:
        if (list_->hasFocus()) {
            body_->setFocus();
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool CBodyView::OnUpdateCommand(CmdUI& state)
{
    if (state.id >= cmd::ReadAsAuto && state.id <= cmd::ReadAsLast) {
        state.Enable(ArticleShown() && received_);
        state.SetCheck(ArticleShown() && charset_ == kReadingCharsets[state.id - cmd::ReadAsAuto].charset);
        return true;
    }
    switch (state.id) {
    case cmd::EditCopy:
        state.Enable(body_->textCursor().hasSelection());
        return true;
    case cmd::CopyAll:
    case cmd::EditSelectAll:
    case cmd::Font:
    case cmd::JumpUrl:
        state.Enable(true);
        return true;
    case cmd::WordWrap:
        state.Enable(true);
        state.SetCheck(wordWrap_);
        return true;
    case cmd::AttachSave:
    case cmd::AttachShow:
    case cmd::AttachPrint:
    case cmd::AttachSource:
        state.Enable(SelectedAttachment() != nullptr);
        return true;
    case cmd::SaveArticle:
        state.Enable(ArticleShown());
        return true;
    default:
        return false;
    }
}

// The font record: height, width, escapement, orientation, weight (4 bytes
// each, little-endian), italic, underline, strike-out, character set, four
// precision and family bytes, then a 32-byte NUL-terminated face name.
std::vector<std::uint8_t> CBodyView::EncodeFont(const QFont& font)
{
    std::vector<std::uint8_t> r(60, 0);
    auto put = [&](int at, std::int32_t v) {
        for (int i = 0; i < 4; ++i)
            r[at + i] = std::uint8_t((std::uint32_t(v) >> (8 * i)) & 0xFF);
    };
    const int pixels = font.pixelSize() > 0 ? font.pixelSize() : int(font.pointSizeF() * 96.0 / 72.0 + 0.5);
    put(0, -pixels);
    put(16, font.bold() ? 700 : 400);
    r[20] = font.italic() ? 1 : 0;
    r[21] = font.underline() ? 1 : 0;
    r[22] = font.strikeOut() ? 1 : 0;
    r[23] = 128; // SHIFTJIS_CHARSET
    std::string face = ToSjis(font.family());
    face.resize(std::min<std::size_t>(face.size(), 31));
    std::memcpy(r.data() + 28, face.data(), face.size());
    return r;
}

bool CBodyView::DecodeFont(const std::vector<std::uint8_t>& r, QFont& font)
{
    if (r.size() != 60)
        return false;
    auto get = [&](int at) {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= std::uint32_t(r[at + i]) << (8 * i);
        return std::int32_t(v);
    };
    // The face name may lack its NUL: never read past the record.
    std::size_t len = 0;
    while (len < 32 && r[28 + len] != 0)
        ++len;
    const QString family = FromSjis(std::string_view(reinterpret_cast<const char*>(r.data() + 28), len));
    const int height = get(0);
    if (family.isEmpty() || height == 0 || std::abs(height) > 500)
        return false;
    QFont f(family);
    f.setPixelSize(std::abs(height));
    f.setBold(get(16) >= 600);
    f.setItalic(r[20] != 0);
    f.setUnderline(r[21] != 0);
    f.setStrikeOut(r[22] != 0);
    font = f;
    return true;
}

} // namespace ui
