#pragma once
// The article list pane's dialogs: mark as read (115) and find (133).

#include <QDialog>

#include <string>

class QButtonGroup;
class QCheckBox;
class QLineEdit;

namespace dialogs {

// "記事を読み込み済みにする": which articles to mark read.
class ArticleMarkReadDialog : public QDialog {
    Q_OBJECT
public:
    enum Range { AboveSelected = 0, Thread = 1, WholeGroup = 2 };
    explicit ArticleMarkReadDialog(QWidget* parent = nullptr);
    int Value() const;
    void SetValue(int value);

    // Runs the dialog: IDOK (1) with range set, or IDCANCEL (2).
    static int Ask(QWidget* parent, int& range);

private:
    QButtonGroup* group_ = nullptr;
};

// "文字列の検索": the text to look for across the articles' bodies.
class ArticleSearchDialog : public QDialog {
    Q_OBJECT
public:
    explicit ArticleSearchDialog(QWidget* parent = nullptr);
    QLineEdit* TextField() const { return text_; }
    QCheckBox* NoCaseBox() const { return noCase_; }
    bool Upwards() const { return upwards_; }

    struct Request {
        std::string text; // Shift_JIS
        bool noCase = false;
        bool upwards = false;
    };
    // IDOK with the request filled, or IDCANCEL. request comes in with the
    // presets (text, noCase).
    static int Ask(QWidget* parent, Request& request);

private:
    void Search(bool upwards);

    QLineEdit* text_ = nullptr;
    QCheckBox* noCase_ = nullptr;
    bool upwards_ = false;
};

} // namespace dialogs
