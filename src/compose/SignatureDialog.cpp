#include "compose/CNewsPostWnd.h"

#include "widgets/SjisText.h"

#include <QButtonGroup>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <array>

namespace compose {

namespace {

QString EditorForm(const std::string& sjis)
{
    QString text = widgets::FromSjis(sjis);
    text.remove(QLatin1Char('\r'));
    return text;
}

std::string StoredForm(const QString& text)
{
    QString out = text;
    out.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return widgets::ToSjis(out);
}

} // namespace

bool EditSignatures(QWidget* parent, news::CSignatureStore& store)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("dlg103"));
    dialog.setWindowTitle(QStringLiteral("署名の編集"));
    dialog.setFont(widgets::JapaneseFont());
    std::array<QString, news::CSignatureStore::kCount> texts;
    for (int n = 0; n < news::CSignatureStore::kCount; ++n)
        texts[n] = EditorForm(store.GetSignature(n));
    int current = 0;

    auto* edit = new QPlainTextEdit(&dialog);
    edit->setObjectName(QStringLiteral("ctl101"));
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("Noto Sans Mono CJK JP"), fixed.family()});
    edit->setFont(fixed);
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit->setPlainText(texts[0]);
    edit->setMinimumSize(460, 200);

    auto* radios = new QButtonGroup(&dialog);
    auto* row = new QHBoxLayout;
    const char* const labels[] = {"署名１(&1)", "署名２(&2)", "署名３(&3)"};
    for (int n = 0; n < news::CSignatureStore::kCount; ++n) {
        auto* radio = new QRadioButton(QString::fromUtf8(labels[n]), &dialog);
        radio->setObjectName(QStringLiteral("ctl%1").arg(1000 + n));
        radio->setChecked(n == 0);
        radios->addButton(radio, n);
        row->addWidget(radio);
    }
    row->addStretch(1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("ｷｬﾝｾﾙ"));
    row->addWidget(buttons);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(edit, 1);
    layout->addLayout(row);

    QObject::connect(radios, &QButtonGroup::idClicked, &dialog, [&](int k) {
        if (k == current)
            return;
        texts[current] = edit->toPlainText();
        edit->setPlainText(texts[k]);
        current = k;
    });
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    texts[current] = edit->toPlainText();
    for (int n = 0; n < news::CSignatureStore::kCount; ++n) {
        // An emptied signature must not keep being posted.
        if (texts[n].isEmpty())
            store.DeleteSignature(n);
        else
            store.SetSignature(n, StoredForm(texts[n]));
    }
    return true;
}

} // namespace compose
