#pragma once
// The score windows: how long a new rule lasts, and the rule editor of the
// open group (list, add, change, delete, and test a rule against the list).

#include <QDialog>

#include <array>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTableWidget;

namespace news { struct CArticle; class ScoreBook; struct ScoreEntry; struct ScoreRule; }

namespace dialogs {

class ScoreExpiryDialog : public QDialog {
public:
    static constexpr int kDefaultDays = 30;
    ScoreExpiryDialog(QWidget* parent, const QString& what, int days);
    // 0: the rule never expires.
    int Days() const;
    static int Ask(QWidget* parent, const QString& what, int& days);

private:
    QSpinBox* days_;
    QCheckBox* never_;
};

class ScoreRuleDialog : public QDialog {
public:
    ScoreRuleDialog(QWidget* parent, news::ScoreBook& book, std::string group,
                    std::vector<const news::CArticle*> articles);

    QTableWidget* Table() const { return table_; }
    QLabel* Result() const { return result_; }
    // The fields below the list.
    void SetFields(const QString& group, const QString& field, bool negate, const QString& pattern, int score,
                   int days);
    // The buttons' work, also for tests.
    bool AddRule();
    bool ChangeRule();
    bool DeleteRule();
    // How many listed articles the rule in the fields matches; -1 when it does not parse.
    int TestRule();
    // The offered rules: check boxes, each with its number (days, groups, articles).
    QCheckBox* Offered(int index) const { return offered_[static_cast<std::size_t>(index)]; }
    QSpinBox* OfferedNumber(int index) const { return offeredNumbers_[static_cast<std::size_t>(index)]; }

private:
    void Fill();
    void Pick(int row);
    bool Entry(news::ScoreEntry& entry);
    void Report(const std::string& error);
    QWidget* MakeOffered();
    void SaveOffered();
    const news::ScoreRule* Selected() const;

    news::ScoreBook& book_;
    std::string group_;
    std::vector<const news::CArticle*> articles_;
    std::vector<std::size_t> shown_; // rule index of each row
    QTableWidget* table_;
    QLineEdit* groupEdit_;
    QComboBox* field_;
    QCheckBox* negate_;
    QLineEdit* pattern_;
    QSpinBox* score_;
    QCheckBox* set_;
    QSpinBox* days_;
    QCheckBox* never_;
    QLabel* problems_;
    QLabel* result_;
    std::array<QCheckBox*, 4> offered_{};
    std::array<QSpinBox*, 4> offeredNumbers_{};
};

} // namespace dialogs
