#pragma once
// A dialog button named after its control id ("ctl<id>"), as tests and the
// dialogs' own code find them; not a default button unless made one.
#include <QPushButton>
#include <QString>

namespace widgets {

inline QPushButton* DialogButton(QWidget* parent, const QString& text, int id)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QStringLiteral("ctl%1").arg(id));
    button->setAutoDefault(false);
    return button;
}

} // namespace widgets
