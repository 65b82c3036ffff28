#include "dialogs/NzbSummaryDialog.h"

#include "platform/StringIds.h"
#include "platform/StringTable.h"
#include "widgets/SjisText.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace widgets;

namespace dialogs {

namespace {

// A list of segment numbers, bounded: a hostile NZB may miss thousands.
QString Numbers(const std::vector<unsigned>& numbers)
{
    constexpr std::size_t kShown = 8;
    QStringList shown;
    for (std::size_t i = 0; i < numbers.size() && i < kShown; ++i)
        shown << QString::number(numbers[i]);
    QString text = QString::number(numbers.size());
    if (!numbers.empty())
        text += QStringLiteral(" (") + shown.join(QLatin1Char(',')) +
                (numbers.size() > kShown ? QStringLiteral(",…)") : QStringLiteral(")"));
    return text;
}

} // namespace

QString NzbSummaryDialog::HeadlineText(const news::NzbSummary& summary)
{
    long long bad = 0;
    for (const news::NzbFileResult& f : summary.files)
        bad += !f.saved || !f.missing.empty() || !f.damaged.empty();
    const std::string count = std::to_string(summary.files.size());
    QString text = bad == 0 ? FormatMessage(platform::LoadString(platform::IDS_61387), {count})
                            : FormatMessage(platform::LoadString(platform::IDS_61388), {count, std::to_string(bad)});
    if (summary.cancelled)
        text += QLatin1Char('\n') + LoadText(platform::IDS_61389);
    if (!summary.error.empty())
        text += QLatin1Char('\n') + FormatMessage(platform::LoadString(platform::IDS_61390), {summary.error});
    return text;
}

NzbSummaryDialog::NzbSummaryDialog(const news::NzbSummary& summary, const QString& folder, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgNzbSummary"));
    setWindowTitle(LoadText(platform::IDS_61386));
    setFont(JapaneseFont());
    headline_ = new QLabel(HeadlineText(summary) + QLatin1Char('\n') + folder, this);
    headline_->setObjectName(QStringLiteral("ctlHeadline"));
    headline_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    files_ = new QTreeWidget(this);
    files_->setObjectName(QStringLiteral("ctlFiles"));
    files_->setRootIsDecorated(false);
    files_->setHeaderLabels({QStringLiteral("ファイル名"), QStringLiteral("バイト数"), QStringLiteral("欠落"),
                             QStringLiteral("破損"), QStringLiteral("状態"), QStringLiteral("詳細")});
    for (const news::NzbFileResult& f : summary.files) {
        const bool whole = f.missing.empty() && f.damaged.empty();
        const QString state = !f.saved ? QStringLiteral("保存できませんでした")
                              : whole  ? QStringLiteral("保存しました")
                                       : QStringLiteral("不完全なまま保存しました");
        // The name comes from the server; the detail is the core's own words.
        auto* row = new QTreeWidgetItem(files_, {QString::fromUtf8(f.name), QString::number(f.bytes),
                                                 Numbers(f.missing), Numbers(f.damaged), state,
                                                 QString::fromUtf8(f.problem)});
        row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    }
    files_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(headline_);
    layout->addWidget(files_, 1);
    layout->addWidget(buttons);
    resize(760, 320);
}

} // namespace dialogs
