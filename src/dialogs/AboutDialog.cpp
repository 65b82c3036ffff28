#include "dialogs/AboutDialog.h"

#include "widgets/AppIcons.h"
#include "widgets/SjisText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace widgets;

namespace dialogs {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlg100"));
    setWindowTitle(QStringLiteral("バージョン情報"));
    setFont(JapaneseFont());
    auto* icon = new QLabel(this);
    icon->setPixmap(AppIconPixmap(32));
    auto* text = new QLabel(QStringLiteral("Lumetra Version 1.0 (beta2)"), this);
    text->setObjectName(QStringLiteral("ctl1100"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ctl1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addSpacing(12);
    row->addWidget(text, 1);
    row->addWidget(ok, 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
}

} // namespace dialogs
