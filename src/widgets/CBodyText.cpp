#include "widgets/CBodyText.h"

#include "platform/CommandIds.h"
#include "widgets/EditContextMenu.h"
#include "widgets/SjisText.h"

#include <QAbstractTextDocumentLayout>
#include <QContextMenuEvent>
#include <QSizeF>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <algorithm>

namespace widgets {

namespace cmd = platform::cmd;

QColor ColourOf(message::Colour c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

CBodyText::CBodyText(QWidget* parent) : QTextEdit(parent)
{
    setReadOnly(true);
    setAcceptRichText(false);
    setUndoRedoEnabled(false);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    viewport()->setMouseTracking(true);
    viewport()->setCursor(Qt::IBeamCursor);
}

void CBodyText::Clear()
{
    if (pending_) {
        pending_->clear();
        carryOver_ = false;
        fill_ = QTextCursor(pending_);
        fillText_.clear();
        runs_.clear();
    } else {
        clear();
    }
    links_.clear();
    fillLinks_ = 0;
}

namespace {

// Removes the CRs of text from 'from' on, in place.
void DropCarriageReturns(QString& text, qsizetype from)
{
    const qsizetype first = text.indexOf(QLatin1Char('\r'), from);
    if (first < 0)
        return;
    QChar* out = text.data() + first;
    for (const QChar* in = out, *end = text.constData() + text.size(); in != end; ++in)
        if (*in != QLatin1Char('\r'))
            *out++ = *in;
    text.truncate(out - text.constData());
}

QTextCharFormat FormatOf(message::Colour colour, bool underline)
{
    QTextCharFormat format;
    format.setForeground(ColourOf(colour));
    format.setFontUnderline(underline);
    return format;
}

} // namespace

void CBodyText::Append(std::string_view text, message::TextRole role, message::Colour colour, bool underline)
{
    if (pending_) {
        const int start = int(fillText_.size());
        AppendSjis(fillText_, text);
        DropCarriageReturns(fillText_, start);
        const int end = int(fillText_.size());
        if (start == end)
            return;
        if (role == message::TextRole::Url)
            links_.push_back({start, end, fillText_.mid(start, end - start)});
        // Runs of one look are joined: links are kept apart above.
        if (!runs_.empty() && runs_.back().colour == colour && runs_.back().underline == underline)
            runs_.back().end = end;
        else
            runs_.push_back({start, end, colour, underline});
        return;
    }
    QString s = FromSjis(text);
    s.remove(QLatin1Char('\r'));
    if (s.isEmpty())
        return;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    const int start = cursor.position();
    cursor.insertText(s, FormatOf(colour, underline));
    if (role == message::TextRole::Url)
        links_.push_back({start, cursor.position(), s});
}

void CBodyText::SetRedraw(bool on)
{
    if (on == redraw_)
        return;
    redraw_ = on;
    if (!on) {
        // The text is filled into a document of its own, which the control
        // takes over whole when the fill ends: laid out once, and lazily, as
        // for plain text, instead of line by line as it arrives.
        pending_ = new QTextDocument(this);
        pending_->setUndoRedoEnabled(false);
        pending_->setDefaultFont(font());
        pending_->setDocumentMargin(document()->documentMargin());
        // Its layout is made now, on a page of no size, so that nothing is
        // laid out before the control gives the page its width: taking the
        // document over then lays out the first screen once, not three times.
        pending_->documentLayout();
        pending_->setPageSize(QSizeF(0, 0));
        fill_ = QTextCursor(pending_);
        // What is shown now stays, unless the fill starts with Clear().
        carryOver_ = !document()->isEmpty();
        fillLinks_ = links_.size();
        return;
    }
    FinishFill();
    // The control deletes the document it made itself; the ones made here
    // are deleted here.
    QTextDocument* old = document()->parent() == this ? document() : nullptr;
    fill_ = QTextCursor();
    setDocument(pending_);
    pending_ = nullptr;
    delete old;
    moveCursor(QTextCursor::Start);
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
}

void CBodyText::FinishFill()
{
    CarryOver();
    const int base = fill_.position();
    for (std::size_t i = fillLinks_; i < links_.size(); ++i) {
        links_[i].start += base;
        links_[i].end += base;
    }
    if (fillText_.isEmpty())
        return;
    // The commonest look goes in with the text; the other runs are then
    // given theirs in one edit. There are only a few looks.
    struct Look {
        message::Colour colour;
        bool underline;
        qsizetype length;
    };
    std::vector<Look> looks;
    for (Run& run : runs_) {
        auto it = std::find_if(looks.begin(), looks.end(), [&](const Look& l) {
            return l.colour == run.colour && l.underline == run.underline;
        });
        if (it == looks.end())
            it = looks.insert(looks.end(), {run.colour, run.underline, 0});
        it->length += run.end - run.start;
        run.look = int(it - looks.begin());
    }
    const int common = int(std::max_element(looks.begin(), looks.end(),
                                            [](const Look& a, const Look& b) { return a.length < b.length; }) -
                           looks.begin());
    fill_.insertText(fillText_, FormatOf(looks[common].colour, looks[common].underline));
    // The other looks go to the lines' layouts, as a highlighter's would: the
    // document's text is not split for each of them, which made a body with
    // a URL on every line several times slower to show. One format per look,
    // so the layouts share it.
    std::vector<QTextCharFormat> formats;
    for (const Look& look : looks)
        formats.push_back(FormatOf(look.colour, look.underline));
    QTextBlock block = pending_->findBlock(base);
    int blockStart = block.position();
    int lineEnd = blockStart + block.length() - 1; // where the line end is
    // A fill that goes on the shown text's last line keeps that line's looks.
    QList<QTextLayout::FormatRange> ranges = block.layout()->formats();
    auto giveRanges = [&] {
        if (!ranges.isEmpty())
            block.layout()->setFormats(ranges);
        ranges.clear();
    };
    for (const Run& run : runs_) {
        if (run.look == common)
            continue;
        // A run may cover several lines; each gets its part (line ends have no look).
        for (int from = base + run.start, to = base + run.end; from < to;) {
            while (block.isValid() && from > lineEnd) {
                giveRanges();
                block = block.next();
                blockStart = lineEnd + 1;
                lineEnd = blockStart + block.length() - 1;
            }
            if (!block.isValid())
                break;
            if (from < lineEnd)
                ranges.append({from - blockStart, std::min(to, lineEnd) - from, formats[std::size_t(run.look)]});
            from = to <= lineEnd ? to : lineEnd + 1;
        }
    }
    giveRanges();
    fillText_.clear();
    runs_.clear();
}

void CBodyText::CarryOver()
{
    if (!carryOver_)
        return;
    carryOver_ = false;
    fill_.insertFragment(QTextDocumentFragment(document()));
    // The lines' own looks are not part of a fragment.
    for (QTextBlock from = document()->begin(), to = pending_->begin(); from.isValid() && to.isValid();
         from = from.next(), to = to.next())
        if (from.layout() && !from.layout()->formats().isEmpty())
            to.layout()->setFormats(from.layout()->formats());
}

void CBodyText::ShowStatus(const std::string& text)
{
    Clear();
    QTextCharFormat format;
    format.setForeground(palette().color(QPalette::Active, QPalette::Text));
    QTextCursor(document()).insertText(FromSjis(text), format);
}

void CBodyText::SetColours(message::Colour text, message::Colour background)
{
    QPalette p = palette();
    p.setColor(QPalette::Text, ColourOf(text));
    p.setColor(QPalette::Base, ColourOf(background));
    setPalette(p);
}

int CBodyText::FindText(int direction, const QString& text, bool ignoreCase)
{
    setFocus();
    if (text.isEmpty())
        return 0;
    const Qt::CaseSensitivity cs = ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const QTextCursor caret = textCursor();
    const QTextBlock caretBlock = document()->findBlock(caret.position());
    QTextBlock found;
    int at = -1;
    if (direction != 0) {
        int from = std::clamp(caret.selectionEnd() - caretBlock.position(), 0, caretBlock.length());
        for (QTextBlock b = caretBlock; b.isValid() && at < 0; b = b.next(), from = 0) {
            at = b.text().indexOf(text, from, cs);
            found = b;
        }
    } else {
        const int cut = std::max(0, caret.selectionStart() - caretBlock.position());
        for (QTextBlock b = caretBlock; b.isValid() && at < 0; b = b.previous()) {
            const QString line = b == caretBlock ? b.text().left(cut) : b.text();
            at = line.lastIndexOf(text, -1, cs);
            found = b;
        }
    }
    if (at < 0)
        return 0;
    QTextCursor select(document());
    select.setPosition(found.position() + at);
    select.setPosition(found.position() + at + int(text.size()), QTextCursor::KeepAnchor);
    setTextCursor(select);
    // Not strictly inside the visible lines: bring it to about the middle.
    const QRect r = cursorRect(select);
    const int lineHeight = std::max(1, fontMetrics().lineSpacing());
    if (r.top() < lineHeight || r.bottom() > viewport()->height() - lineHeight) {
        QScrollBar* bar = verticalScrollBar();
        bar->setValue(bar->value() + r.center().y() - viewport()->height() / 2);
    }
    return 1;
}

int CBodyText::ScrollLines(int direction, int count)
{
    QScrollBar* bar = verticalScrollBar();
    const int before = bar->value();
    if (count == -1) {
        bar->triggerAction(direction != 0 ? QAbstractSlider::SliderPageStepSub : QAbstractSlider::SliderPageStepAdd);
    } else {
        QTextCursor c = textCursor();
        c.clearSelection();
        c.movePosition(direction == 1 ? QTextCursor::Up : QTextCursor::Down, QTextCursor::MoveAnchor, count);
        c.movePosition(QTextCursor::StartOfLine);
        setTextCursor(c);
        const int step = count * std::max(1, fontMetrics().lineSpacing());
        bar->setValue(before + (direction == 1 ? -step : step));
    }
    return bar->value() != before ? 1 : 0;
}

int CBodyText::FirstVisibleLine() const
{
    return cursorForPosition(QPoint(0, 0)).blockNumber();
}

int CBodyText::VisibleLineCount() const
{
    return viewport()->height() / std::max(1, fontMetrics().height());
}

QStringList CBodyText::Lines() const
{
    QStringList lines;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next())
        lines << b.text();
    // The text ends with a line end: no line follows it.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void CBodyText::CopyAll()
{
    const QTextCursor saved = textCursor();
    const int v = verticalScrollBar()->value();
    const int h = horizontalScrollBar()->value();
    const bool wasOn = updatesEnabled();
    setUpdatesEnabled(false);
    selectAll();
    copy();
    setTextCursor(saved);
    verticalScrollBar()->setValue(v);
    horizontalScrollBar()->setValue(h);
    setUpdatesEnabled(wasOn);
    viewport()->update();
}

QStringList CBodyText::Urls() const
{
    QStringList urls;
    for (const Link& link : links_)
        urls << link.url;
    return urls;
}

QString CBodyText::UrlAt(const QPoint& viewportPos) const
{
    if (links_.empty())
        return {};
    const int pos = document()->documentLayout()->hitTest(viewportPos + QPoint(horizontalScrollBar()->value(),
                                                                               verticalScrollBar()->value()),
                                                          Qt::ExactHit);
    if (pos < 0)
        return {};
    auto it = std::upper_bound(links_.begin(), links_.end(), pos,
                               [](int p, const Link& l) { return p < l.start; });
    if (it == links_.begin())
        return {};
    --it;
    return pos < it->end ? it->url : QString();
}

void CBodyText::mouseMoveEvent(QMouseEvent* event)
{
    const bool onLink = !UrlAt(event->position().toPoint()).isEmpty();
    if (onLink != linkCursor_) {
        linkCursor_ = onLink;
        viewport()->setCursor(onLink ? Qt::PointingHandCursor : Qt::IBeamCursor);
    }
    QTextEdit::mouseMoveEvent(event);
}

void CBodyText::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::MiddleButton) {
        setFocus();
        emit MiddleClicked();
        return;
    }
    QTextEdit::mousePressEvent(event);
}

void CBodyText::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const QString url = UrlAt(event->position().toPoint());
        if (!url.isEmpty()) {
            emit UrlActivated(url);
            return;
        }
    }
    QTextEdit::mouseDoubleClickEvent(event);
}

void CBodyText::contextMenuEvent(QContextMenuEvent* event)
{
    EditMenuOwner owner;
    owner.SetExtraCommands({cmd::CopyAll, cmd::JumpUrl});
    owner.SetCommandTarget([this](unsigned id) { emit CommandRequested(id); });
    owner.SetMenuRunner(menuRunner_);
    RunEditContextMenu(this, owner, EditStateOf(this), event->globalPos());
}

} // namespace widgets
