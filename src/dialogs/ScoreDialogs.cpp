#include "dialogs/ScoreDialogs.h"

#include "news/Article.h"
#include "news/DocumentHost.h"
#include "news/ScoreBook.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <ctime>

namespace dialogs {

using namespace news;

namespace {

QString U(const std::string& utf8) { return QString::fromStdString(utf8); }
std::string S(const QString& text) { return text.toStdString(); }
std::int64_t Today() { return DayOf(static_cast<std::int64_t>(std::time(nullptr))); }

constexpr const char* kFieldNames[] = {"Subject", "From", "References", "Message-ID", "Xref",
                                       "Newsgroup", "Lines", "Bytes", "Age"};

QSpinBox* DaysBox(QWidget* parent, int days)
{
    auto* box = new QSpinBox(parent);
    box->setRange(0, 3650);
    box->setSuffix(QStringLiteral(" 日"));
    box->setValue(days);
    return box;
}

} // namespace

// ---------------------------------------------------------------- expiry

ScoreExpiryDialog::ScoreExpiryDialog(QWidget* parent, const QString& what, int days) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgScoreExpiry"));
    setWindowTitle(QStringLiteral("ルールの期限"));
    auto* text = new QLabel(what, this);
    text->setWordWrap(true);
    days_ = DaysBox(this, days > 0 ? days : kDefaultDays);
    days_->setObjectName(QStringLiteral("days"));
    never_ = new QCheckBox(QStringLiteral("期限なし(&N)"), this);
    never_->setObjectName(QStringLiteral("never"));
    never_->setChecked(days == 0);
    days_->setEnabled(days != 0);
    connect(never_, &QCheckBox::toggled, days_, [this](bool on) { days_->setEnabled(!on); });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("有効期間(&D):"), this));
    row->addWidget(days_);
    row->addWidget(never_);
    row->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

int ScoreExpiryDialog::Days() const { return never_->isChecked() ? 0 : days_->value(); }

int ScoreExpiryDialog::Ask(QWidget* parent, const QString& what, int& days)
{
    ScoreExpiryDialog dialog(parent, what, days);
    if (dialog.exec() != QDialog::Accepted)
        return IDCANCEL;
    days = dialog.Days();
    return IDOK;
}

// ---------------------------------------------------------------- editor

ScoreRuleDialog::ScoreRuleDialog(QWidget* parent, ScoreBook& book, std::string group,
                                 std::vector<const CArticle*> articles)
    : QDialog(parent), book_(book), group_(std::move(group)), articles_(std::move(articles))
{
    setObjectName(QStringLiteral("dlgScoreRules"));
    setWindowTitle(QStringLiteral("得点ルール - ") + U(group_));
    resize(680, 620);

    table_ = new QTableWidget(0, 5, this);
    table_->setObjectName(QStringLiteral("rules"));
    table_->setHorizontalHeaderLabels({QStringLiteral("グループ"), QStringLiteral("欄"), QStringLiteral("パターン"),
                                       QStringLiteral("得点"), QStringLiteral("期限")});
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    connect(table_, &QTableWidget::currentCellChanged, this, [this](int row) { Pick(row); });

    groupEdit_ = new QLineEdit(U(group_), this);
    groupEdit_->setObjectName(QStringLiteral("group"));
    field_ = new QComboBox(this);
    field_->setObjectName(QStringLiteral("field"));
    for (const char* name : kFieldNames)
        field_->addItem(QString::fromLatin1(name));
    negate_ = new QCheckBox(QStringLiteral("一致しないとき(&~)"), this);
    negate_->setObjectName(QStringLiteral("negate"));
    pattern_ = new QLineEdit(this);
    pattern_->setObjectName(QStringLiteral("pattern"));
    score_ = new QSpinBox(this);
    score_->setObjectName(QStringLiteral("score"));
    score_->setRange(-99999, 99999);
    score_->setValue(-9999);
    set_ = new QCheckBox(QStringLiteral("この得点にする(&=)"), this);
    set_->setObjectName(QStringLiteral("set"));
    days_ = DaysBox(this, ScoreExpiryDialog::kDefaultDays);
    days_->setObjectName(QStringLiteral("days"));
    never_ = new QCheckBox(QStringLiteral("期限なし"), this);
    never_->setObjectName(QStringLiteral("never"));
    connect(never_, &QCheckBox::toggled, days_, [this](bool on) { days_->setEnabled(!on); });

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("グループ(&G):"), groupEdit_);
    auto* fieldRow = new QHBoxLayout;
    fieldRow->addWidget(field_);
    fieldRow->addWidget(negate_);
    fieldRow->addStretch();
    form->addRow(QStringLiteral("欄(&F):"), fieldRow);
    form->addRow(QStringLiteral("パターン(&P):"), pattern_);
    auto* scoreRow = new QHBoxLayout;
    scoreRow->addWidget(score_);
    scoreRow->addWidget(set_);
    scoreRow->addStretch();
    form->addRow(QStringLiteral("得点(&S):"), scoreRow);
    auto* expiryRow = new QHBoxLayout;
    expiryRow->addWidget(days_);
    expiryRow->addWidget(never_);
    expiryRow->addStretch();
    form->addRow(QStringLiteral("期限(&E):"), expiryRow);

    auto* buttons = new QHBoxLayout;
    auto button = [&](const char* text, const char* name, auto slot) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
    };
    button("追加(&A)", "add", [this] { AddRule(); });
    button("変更(&C)", "change", [this] { ChangeRule(); });
    button("削除(&D)", "delete", [this] { DeleteRule(); });
    button("テスト(&T)", "test", [this] { TestRule(); });
    buttons->addStretch();
    button("閉じる", "close", [this] { accept(); });

    result_ = new QLabel(this);
    result_->setObjectName(QStringLiteral("result"));
    problems_ = new QLabel(this);
    problems_->setObjectName(QStringLiteral("problems"));
    problems_->setWordWrap(true);
    problems_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    problems_->setStyleSheet(QStringLiteral("color: #a00000"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("このグループに効くルール (") +
                                     QString::fromStdString(book_.Settings().file.string()) + QStringLiteral(")"),
                                 this));
    layout->addWidget(table_, 1);
    layout->addWidget(problems_);
    layout->addLayout(form);
    layout->addWidget(result_);
    layout->addLayout(buttons);
    layout->addWidget(MakeOffered());
    Fill();
}

QWidget* ScoreRuleDialog::MakeOffered()
{
    auto* box = new QGroupBox(QStringLiteral("おすすめのルール (すべてのグループ)"), this);
    auto* grid = new QGridLayout(box);
    const OfferedRules& o = book_.Settings().offered;
    const struct {
        const char* text;
        const char* unit;
        bool on;
        int number;
    } rows[] = {
        {"古いスレッドへの返信", " 日より後", o.oldThreads, o.oldThreadDays},
        {"大文字だけの題名", nullptr, o.capitals, 0},
        {"多くのグループへのクロスポスト", " グループより多い", o.crossposts, o.crosspostGroups},
        {"1 日に多く投稿する投稿者", " 件より多い", o.floods, o.floodPerDay},
    };
    for (int i = 0; i < 4; ++i) {
        const auto k = static_cast<std::size_t>(i);
        offered_[k] = new QCheckBox(QString::fromUtf8(rows[i].text), box);
        offered_[k]->setObjectName(QStringLiteral("offered%1").arg(i));
        offered_[k]->setChecked(rows[i].on);
        grid->addWidget(offered_[k], i, 0);
        connect(offered_[k], &QCheckBox::toggled, this, [this] { SaveOffered(); });
        if (!rows[i].unit)
            continue;
        offeredNumbers_[k] = new QSpinBox(box);
        offeredNumbers_[k]->setObjectName(QStringLiteral("offeredNumber%1").arg(i));
        offeredNumbers_[k]->setRange(1, 100'000);
        offeredNumbers_[k]->setValue(rows[i].number);
        offeredNumbers_[k]->setSuffix(QString::fromUtf8(rows[i].unit));
        grid->addWidget(offeredNumbers_[k], i, 1);
        connect(offeredNumbers_[k], &QSpinBox::valueChanged, this, [this] { SaveOffered(); });
    }
    grid->setColumnStretch(2, 1);
    return box;
}

void ScoreRuleDialog::SaveOffered()
{
    ScoreSettings settings = book_.Settings();
    OfferedRules& o = settings.offered;
    o.oldThreads = offered_[0]->isChecked();
    o.oldThreadDays = offeredNumbers_[0]->value();
    o.capitals = offered_[1]->isChecked();
    o.crossposts = offered_[2]->isChecked();
    o.crosspostGroups = offeredNumbers_[2]->value();
    o.floods = offered_[3]->isChecked();
    o.floodPerDay = offeredNumbers_[3]->value();
    if (!book_.SetSettings(settings))
        Report("the settings could not be written");
    Fill();
}

void ScoreRuleDialog::Fill()
{
    const ScoreRules& rules = book_.Rules();
    shown_.clear();
    for (std::size_t i = 0; i < rules.rules.size(); ++i)
        if (RuleAppliesToGroup(rules.rules[i], group_))
            shown_.push_back(i);
    table_->setRowCount(static_cast<int>(shown_.size()));
    const std::int64_t today = Today();
    for (int row = 0; row < static_cast<int>(shown_.size()); ++row) {
        const ScoreRule& r = rules.rules[shown_[static_cast<std::size_t>(row)]];
        const ScoreEntry e = EntryOfRule(r);
        QString field, pattern;
        if (!e.tests.empty()) {
            field = (e.tests.front().negate ? QStringLiteral("~") : QString()) + U(e.tests.front().field);
            pattern = U(e.tests.front().pattern);
        }
        if (r.test.exprs.size() + r.test.blocks.size() > 1)
            pattern += QStringLiteral(" (+%1)").arg(r.test.exprs.size() + r.test.blocks.size() - 1);
        QString expiry = r.expires ? U(FormatScoreDate(r.expires)) : QStringLiteral("なし");
        if (r.expires && r.expires < today)
            expiry = QStringLiteral("期限切れ ") + expiry;
        const QString texts[] = {U(e.group), field, pattern,
                                 (r.set ? QStringLiteral("=") : QString()) + QString::number(r.value), expiry};
        for (int c = 0; c < 5; ++c)
            table_->setItem(row, c, new QTableWidgetItem(texts[c]));
    }
    table_->resizeColumnToContents(0);
    table_->resizeColumnToContents(1);
    QString problems;
    for (const ScoreProblem& p : rules.problems)
        problems += QStringLiteral("%1:%2: %3\n").arg(U(p.file.string())).arg(p.line).arg(U(p.text));
    problems_->setText(problems.trimmed());
    problems_->setVisible(!problems.isEmpty());
}

const ScoreRule* ScoreRuleDialog::Selected() const
{
    const int row = table_->currentRow();
    if (row < 0 || row >= static_cast<int>(shown_.size()))
        return nullptr;
    const auto& rules = book_.Rules().rules;
    const std::size_t i = shown_[static_cast<std::size_t>(row)];
    return i < rules.size() ? &rules[i] : nullptr;
}

void ScoreRuleDialog::Pick(int row)
{
    (void)row;
    const ScoreRule* r = Selected();
    if (!r)
        return;
    const ScoreEntry e = EntryOfRule(*r);
    const std::int64_t today = Today();
    const int days = r->expires ? static_cast<int>(std::max<std::int64_t>(0, r->expires - today)) : 0;
    SetFields(U(e.group), e.tests.empty() ? QStringLiteral("Subject") : U(e.tests.front().field),
              !e.tests.empty() && e.tests.front().negate, e.tests.empty() ? QString() : U(e.tests.front().pattern),
              e.value, r->expires ? days : -1);
    set_->setChecked(e.set);
}

void ScoreRuleDialog::SetFields(const QString& group, const QString& field, bool negate, const QString& pattern,
                                int score, int days)
{
    groupEdit_->setText(group);
    int index = field_->findText(field, Qt::MatchFixedString);
    if (index < 0) {
        field_->addItem(field);
        index = field_->count() - 1;
    }
    field_->setCurrentIndex(index);
    negate_->setChecked(negate);
    pattern_->setText(pattern);
    score_->setValue(score);
    never_->setChecked(days < 0);
    days_->setValue(days < 0 ? ScoreExpiryDialog::kDefaultDays : days);
}

bool ScoreRuleDialog::Entry(ScoreEntry& e)
{
    e.group = S(groupEdit_->text().trimmed());
    e.value = score_->value();
    e.set = set_->isChecked();
    e.expires = never_->isChecked() ? 0 : Today() + days_->value();
    e.tests = {{S(field_->currentText()), negate_->isChecked(), S(pattern_->text())}};
    const std::string error = CheckScoreEntry(e);
    if (!error.empty()) {
        Report(error);
        return false;
    }
    return true;
}

void ScoreRuleDialog::Report(const std::string& error)
{
    result_->setText(QStringLiteral("エラー: ") + U(error));
}

bool ScoreRuleDialog::AddRule()
{
    ScoreEntry e;
    std::string error;
    if (!Entry(e))
        return false;
    if (!book_.Add(e, error)) {
        Report(error);
        return false;
    }
    result_->setText(QStringLiteral("追加しました。"));
    Fill();
    return true;
}

bool ScoreRuleDialog::ChangeRule()
{
    const ScoreRule* r = Selected();
    ScoreEntry e;
    std::string error;
    if (!r || !Entry(e))
        return false;
    // Tests of the rule beyond the one edited here stay.
    e.any = !r->test.all;
    e.extraLines = EntryOfRule(*r).extraLines;
    if (!book_.Replace(*r, e, error)) {
        Report(error);
        Fill();
        return false;
    }
    result_->setText(QStringLiteral("変更しました。"));
    Fill();
    return true;
}

bool ScoreRuleDialog::DeleteRule()
{
    const ScoreRule* r = Selected();
    std::string error;
    if (!r)
        return false;
    if (!book_.Remove(*r, error)) {
        Report(error);
        Fill();
        return false;
    }
    result_->setText(QStringLiteral("削除しました。"));
    Fill();
    return true;
}

int ScoreRuleDialog::TestRule()
{
    ScoreEntry e;
    if (!Entry(e))
        return -1;
    e.expires = 0;
    const ScoreRules parsed = ParseScoreText(FormatScoreEntry(e), "test");
    if (parsed.rules.size() != 1)
        return -1;
    const GroupScorer scorer(parsed, group_, static_cast<std::int64_t>(std::time(nullptr)));
    int hits = 0;
    for (const CArticle* a : articles_)
        if (scorer.Passes(parsed.rules.front(), ScoreInputOf(*a)))
            ++hits;
    result_->setText(QStringLiteral("一覧の %1 件中 %2 件に一致します。").arg(articles_.size()).arg(hits));
    return hits;
}

} // namespace dialogs
