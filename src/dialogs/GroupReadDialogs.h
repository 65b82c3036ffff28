#pragma once
// The document's questions while it reads a group: the article limit was
// reached (135), and the range of a reload (122).

#include <QDialog>

class QLineEdit;

namespace dialogs {

// "読み込み記事数が設定を越えました": go on, and with how many more articles.
class ReadLimitDialog : public QDialog {
    Q_OBJECT
public:
    explicit ReadLimitDialog(int count, QWidget* parent = nullptr);
    QLineEdit* CountField() const { return count_; }
    int Count() const;

    // 6 (Yes) with count set to the number entered, 7 (No) or 2 (Cancel).
    static int Ask(QWidget* parent, int& count);

private:
    QLineEdit* count_;
};

// "記事の再読み込み": the first and last article number to fetch again.
class ReloadRangeDialog : public QDialog {
    Q_OBJECT
public:
    ReloadRangeDialog(int start, int end, QWidget* parent = nullptr);
    QLineEdit* StartField() const { return start_; }
    QLineEdit* EndField() const { return end_; }

    // 1 (OK) with start and end set to the numbers entered, or 2 (Cancel).
    static int Ask(QWidget* parent, int& start, int& end);

private:
    QLineEdit* start_;
    QLineEdit* end_;
};

} // namespace dialogs
