#pragma once
// The body control: a read-only rich text control that the article renderer
// fills, with the recorded URLs, the text search and the paging the body pane
// and the main window's search commands use.
#include "message/BodySink.h"
#include "widgets/EditContextMenu.h"

#include <QString>
#include <QStringList>
#include <QTextCursor>
#include <QTextEdit>

class QTextDocument;
#include <vector>


namespace widgets {

class CBodyText : public QTextEdit, public message::BodySink {
    Q_OBJECT
public:
    explicit CBodyText(QWidget* parent = nullptr);

    void Clear() override;
    void Append(std::string_view text, message::TextRole role, message::Colour colour, bool underline) override;
    void SetRedraw(bool on) override;

    // Shows a status text (Shift_JIS) in place of an article.
    void ShowStatus(const std::string& text);
    void SetColours(message::Colour text, message::Colour background);

    // 1 found (and selected), 0 not found. direction 0 searches upwards.
    int FindText(int direction, const QString& text, bool ignoreCase);
    // count -1: one page (direction != 0 up, 0 down); else the caret moves
    // count lines (up when direction is 1). 1 when the view moved.
    int ScrollLines(int direction, int count);
    int FirstVisibleLine() const;
    int VisibleLineCount() const;
    // The text lines of the control (without line ends).
    QStringList Lines() const;
    // Copies everything, keeping selection and scroll position.
    void CopyAll();
    // The recorded URL under a viewport position, or "".
    QString UrlAt(const QPoint& viewportPos) const;
    // Shows the right-button menu; without one it pops up directly.
    void SetMenuRunner(EditMenuOwner::MenuRunner runner) { menuRunner_ = std::move(runner); }
    QStringList Urls() const;

signals:
    void UrlActivated(const QString& url);
    void MiddleClicked();
    void CommandRequested(unsigned id);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void CarryOver();
    void FinishFill();

    struct Link {
        int start;
        int end;
        QString url;
    };
    QTextDocument* pending_ = nullptr; // the text being filled, shown when the fill ends
    QTextCursor fill_;                 // its end
    bool carryOver_ = false;           // the shown text still goes first
    // A fill is gathered as one text and its runs of one look, and goes into
    // the document in one insertion: far cheaper than a cursor insertion per
    // run when every line carries a URL.
    struct Run {
        int start;
        int end;
        message::Colour colour;
        bool underline;
        int look = 0; // FinishFill's index of its look
    };
    QString fillText_;
    std::vector<Run> runs_;
    std::size_t fillLinks_ = 0; // links_ from here on count from the fill's start
    std::vector<Link> links_;
    bool redraw_ = true;
    bool linkCursor_ = false;
    EditMenuOwner::MenuRunner menuRunner_;
};

QColor ColourOf(message::Colour c);

} // namespace widgets
