#include "widgets/SjisText.h"

#include "platform/MessageFormat.h"
#include "platform/Sjis.h"
#include "platform/StringTable.h"
#include "textcodec/Charsets.h"

#include <algorithm>

#include <QStringDecoder>
#include <QStringEncoder>
#include <QList>

#include <optional>

namespace widgets {

void AppendSjis(QString& to, std::string_view bytes, bool* ok)
{
    // Opening the converter costs more than converting a line: one per thread, kept.
    // A decoder that met bad bytes is made again: resetting it does not clear
    // the error (nor, with some backends, a lead byte left waiting), which
    // would mark every later text bad or spoil its first character.
    thread_local std::optional<QStringDecoder> kept;
    if (!kept || kept->hasError())
        kept.emplace("Shift_JIS", QStringDecoder::Flag::Stateless);
    else
        kept->resetState();
    QStringDecoder& decoder = *kept;
    // Straight into the text's own buffer: no string per piece.
    auto decode = [&](std::string_view piece) {
        const qsizetype old = to.size();
        to.resize(old + decoder.requiredSpace(qsizetype(piece.size())));
        const QChar* end = decoder.appendToBuffer(to.data() + old, QByteArrayView(piece.data(), qsizetype(piece.size())));
        to.resize(end - to.constData());
    };
    if (std::none_of(bytes.begin(), bytes.end(), [](char c) { return textcodec::IsUserAreaLead(c); })) {
        decode(bytes);
    } else {
        // Escaped characters (see textcodec/Charsets.h) between plain pieces.
        std::size_t from = 0;
        for (std::size_t i = 0; i < bytes.size(); i += platform::SjisCharLength(bytes, i)) {
            if (!textcodec::IsUserAreaLead(static_cast<unsigned char>(bytes[i])) ||
                platform::SjisCharLength(bytes, i) != 2)
                continue;
            decode(bytes.substr(from, i - from));
            const char32_t c = textcodec::EscapedCodePoint(bytes, i);
            to += c ? QString::fromUcs4(&c, 1) : QString(QChar(0x3013));
            from = i + (c ? 4 : 2);
            i = from - 2; // the loop steps over the last two bytes
        }
        decode(bytes.substr(std::min(from, bytes.size())));
    }
    if (ok)
        *ok = decoder.isValid() && !decoder.hasError();
}

QString FromSjis(std::string_view bytes, bool* ok)
{
    QString text;
    AppendSjis(text, bytes, ok);
    return text;
}

std::string ToSjis(const QString& text, bool* ok)
{
    QStringEncoder encoder("Shift_JIS", QStringEncoder::Flag::Stateless);
    QByteArray bytes = encoder.encode(text);
    if (ok)
        *ok = encoder.isValid() && !encoder.hasError();
    if (!encoder.hasError())
        return std::string(bytes.constData(), std::size_t(bytes.size()));
    // Characters without a CP932 code are kept as escapes, so that text taken
    // back from the screen (quotes, searches) finds and keeps them.
    std::string out;
    for (const char32_t c : text.toUcs4()) {
        QStringEncoder one("Shift_JIS", QStringEncoder::Flag::Stateless);
        const QString s = QString::fromUcs4(&c, 1);
        const QByteArray b = one.encode(s);
        out += one.hasError() ? textcodec::Utf8ToSjis(s.toStdString()) : std::string(b.constData(), std::size_t(b.size()));
    }
    return out;
}

QString LoadText(unsigned id)
{
    return FromSjis(platform::LoadString(id));
}

QString PromptOf(unsigned id)
{
    const QString text = LoadText(id);
    const qsizetype lf = text.indexOf(u'\n');
    return lf < 0 ? text : text.left(lf);
}

QString TipOf(unsigned id)
{
    const QString text = LoadText(id);
    const qsizetype lf = text.indexOf(u'\n');
    return lf < 0 ? QString() : text.mid(lf + 1);
}

QFont JapaneseFont(int pointSize)
{
    QFont font(QString::fromLatin1(kJapaneseFamily), pointSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QString FormatMessage(const std::string& format, const std::vector<std::string>& args)
{
    QString text;
    for (const platform::MessagePiece& piece : platform::FormatMessagePieces(format, args))
        text += piece.code == platform::TextCode::Utf8 ? QString::fromUtf8(piece.text) : FromSjis(piece.text);
    return text;
}

} // namespace widgets
