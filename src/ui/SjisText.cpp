#include "ui/SjisText.h"

#include <QStringDecoder>
#include <QStringEncoder>

QString FromSjis(std::string_view sjis)
{
    QStringDecoder decoder("Shift_JIS");
    return decoder.decode(QByteArrayView(sjis.data(), qsizetype(sjis.size())));
}

std::string ToSjis(const QString& text)
{
    QStringEncoder encoder("Shift_JIS");
    const QByteArray bytes = encoder.encode(text);
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}
