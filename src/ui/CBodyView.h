#pragma once
// The body pane: the article chosen in the article list, fetched into a cache
// file and shown with its header lines, MIME parts and attachment list.
#include "integration/BrowserHandoff.h"
#include "message/Attachment.h"
#include "message/BodySink.h"
#include "message/CacheFile.h"
#include "news/DocumentView.h"
#include "ui/BodySearch.h"
#include "ui/FramePane.h"
#include "dialogs/ProgressWindow.h"

#include <QFont>
#include <QListWidget>
#include <QStyledItemDelegate>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

namespace news { class CLumeDoc; class CNewsGroup; }
class QPrinter;
namespace platform { class Registry; }

namespace widgets { class CBodyText; }
namespace dialogs { class Dialogs; }

namespace ui {

// Attachment rows: the icon at the top-left corner plus one pixel, the name
// 35 pixels to the right.
class AttachmentRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    static int RowHeight(const QFontMetrics& fm);
};

class CBodyView : public QWidget, public news::DocumentView, public FramePane, public BodySearch {
    Q_OBJECT
public:
    static constexpr const char* kSection = "BodyView";

    CBodyView(news::CLumeDoc& doc, platform::Registry& registry, dialogs::Dialogs& dialogs, QWidget* mainWindow,
              QWidget* parent = nullptr);
    ~CBodyView() override;

    void OnUpdate(news::DocumentView* sender, news::Hint hint) override;
    QWidget* Widget() override { return this; }
    // The top line in view, so that the count moves as the reader pages.
    bool LinePosition(int& line, int& count) const override;
    bool OnCommand(unsigned id) override;
    bool OnUpdateCommand(CmdUI& state) override;

    // Fetches article n and shows it; false when it could not be shown.
    bool ShowArticle(int n);
    // What the article list asks of this pane.
    std::string SelectedText() const override;
    bool FindText(bool downwards, const std::string& text, bool ignoreCase) override;
    bool Answered(int number) const override { return answered_ == number; }
    bool RecodedRow(int number, std::string& subject, std::string& from) const override;
    // Shows the article again read in charset (empty: as it declares and
    // looks) until another article is shown; false when it cannot be.
    bool ReadIn(const std::string& charset);
    const std::string& ReadingCharset() const { return charset_; }
    // Shows an article kept in a file in the cache's form (Shift_JIS, ending
    // with the "." line) as if it had been fetched.
    bool ShowArticleFile(const std::filesystem::path& file);
    // Page forward or back; at the end (start) the article list moves on.
    void PageMove(bool forward);
    // Prints the article; the page count (0 when nothing was printed).
    int PrintArticle(QPrinter& printer);

    widgets::CBodyText* Body() const { return body_; }
    QListWidget* AttachmentList() const { return list_; }
    message::CAttachment* SelectedAttachment() const;
    const std::filesystem::path& CachePath() const { return cachePath_; }
    bool ArticleShown() const { return cache_ != nullptr; }
    // What a follow-up or a mail reply quotes: the shown article's header
    // lines as stored and the text shown (with the header lines when they are
    // shown); Shift_JIS, CR LF. False when no article is shown.
    bool ShownArticle(std::string& header, std::string& displayed) const;
    QFont BodyFont() const { return font_; }
    void SetBodyFont(const QFont& font);
    bool WordWrap() const { return wordWrap_; }

    bool SaveAttachment(message::CAttachment& attachment, const std::filesystem::path& path);
    bool SaveArticle(const std::filesystem::path& path);


    // The font kept as the 60-byte font record of the settings.
    static std::vector<std::uint8_t> EncodeFont(const QFont& font);
    static bool DecodeFont(const std::vector<std::uint8_t>& record, QFont& font);

signals:
    // A news: or nntp: link clicked in the body, when something reads it here.
    void NewsLinkActivated(const QString& url);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Relayout();
    void ClearArticle();
    bool Fetch(int n);
    // Sets the body's text and background colours; returns the text colour.
    message::Colour UseColours();
    void Display();
    void SaveSelectedAttachment();
    void OpenSelectedAttachment(bool print);
    void ShowSelectedSource();
    void SaveArticleAs();
    void ShowCachedAgain();
    void ToggleWordWrap();
    void ChooseFont();
    integration::BrowserMessageHandler BrowserMessages();
    void JumpToUrl();
    void Message(unsigned id, const std::vector<std::string>& args = {});
    message::Colour Colour(const char* key, message::Colour def) const;

    news::CLumeDoc& doc_;
    platform::Registry& registry_;
    dialogs::Dialogs& dialogs_;
    QWidget* mainWindow_;
    widgets::CBodyText* body_;
    QListWidget* list_;
    QFont font_;
    bool wordWrap_ = false;
    std::filesystem::path cachePath_;
    std::shared_ptr<message::CacheFile> cache_;
    std::vector<std::unique_ptr<message::CAttachment>> attachments_;
    std::vector<std::filesystem::path> viewedFiles_;
    bool updating_ = false;
    bool fetching_ = false;
    int answered_ = -1; // the last article the server answered for, shown or gone
    int shownNumber_ = -1; // the article the cache file holds, and its group
    const news::CNewsGroup* shownGroup_ = nullptr;
    bool received_ = false;     // the lines as received lie beside the cache file
    std::string charset_;       // the reader's choice for the shown article; empty: its own
    std::string rowSubject_, rowFrom_, shownHeader_; // the shown article as read in charset_
};

} // namespace ui
