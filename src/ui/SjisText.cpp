#include "ui/SjisText.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

QString FromSjis(std::string_view sjis)
{
    // Rows are mostly ASCII, which reads the same in CP932.
    if (std::all_of(sjis.begin(), sjis.end(), [](char c) { return (static_cast<unsigned char>(c) & 0x80) == 0; }))
        return QString::fromLatin1(sjis.data(), qsizetype(sjis.size()));
    QStringDecoder decoder("Shift_JIS");
    return decoder.decode(QByteArrayView(sjis.data(), qsizetype(sjis.size())));
}

std::string ToSjis(const QString& text)
{
    QStringEncoder encoder("Shift_JIS");
    const QByteArray bytes = encoder.encode(text);
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}
