#include "ui/SjisText.h"

#include "platform/MessageFormat.h"
#include "platform/StringTable.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace ui {

QString FromSjis(std::string_view bytes, bool* ok)
{
    QStringDecoder decoder("Shift_JIS", QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    if (ok)
        *ok = decoder.isValid() && !decoder.hasError();
    return text;
}

std::string ToSjis(const QString& text, bool* ok)
{
    QStringEncoder encoder("Shift_JIS", QStringEncoder::Flag::Stateless);
    QByteArray bytes = encoder.encode(text);
    if (ok)
        *ok = encoder.isValid() && !encoder.hasError();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
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

} // namespace ui
