#pragma once
// The settings sheet "環境設定": six pages over a copy of the settings. OK
// checks the number fields and copies the pages back; Cancel keeps nothing.

#include "news/SettingsValues.h"

#include <QDialog>
#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace dialogs {

class Dialogs;

// A number field, checked on OK: what the rest of the program can use.
struct NumberField {
    QLineEdit* edit = nullptr;
    const char* name = "";
    int low = 0;
    int high = 0;
};

class CConfigPersonalPage : public QWidget {
public:
    explicit CConfigPersonalPage(QWidget* parent);
    void Fill(const news::SettingsValues& v);
    void Take(news::SettingsValues& v) const;

private:
    QLineEdit* mail_;
    QLineEdit* name_;
    QLineEdit* organization_;
};

class CConfigNewsPage : public QWidget {
public:
    explicit CConfigNewsPage(QWidget* parent);
    void Fill(const news::SettingsValues& v);
    void Take(news::SettingsValues& v) const;
    NumberField Limit() const;

    // Configuration code (0 JIS, 1 SJIS, 2 EUC) to list entry (JIS, EUC, SJIS) and back.
    static int ListIndexOfCode(int code);
    static int CodeOfListIndex(int index);

private:
    QLineEdit* limit_;
    QLineEdit* markFile_;
    QComboBox* code_;
    QCheckBox* confirmMove_;
    QCheckBox* showRead_;
};

class CConfigWWWPage : public QWidget {
public:
    CConfigWWWPage(Dialogs& dialogs, QWidget* parent);
    void Fill(const news::SettingsValues& v);
    void Take(news::SettingsValues& v) const;

private:
    QRadioButton* netscape_;
    QRadioButton* explorer_;
    QLineEdit* path_;
};

class CConfigFormatPage : public QWidget {
public:
    CConfigFormatPage(Dialogs& dialogs, QWidget* parent);
    void Fill(const news::SettingsValues& v);
    void Take(news::SettingsValues& v) const;
    // Opens the chooser for colour index (0..3 the sample lines, 4 the
    // background, 5 and 6 the article list's high and low scores).
    void ChooseColour(int index);
    // The article list's score colours until the user sets them.
    static std::array<QColor, 2> DefaultScoreColours();

private:
    void Repaint();

    Dialogs& dialogs_;
    QListWidget* samples_;
    std::array<QColor, 5> colours_;
    std::array<QColor, 2> scoreColours_;
    std::array<QLabel*, 2> scoreSamples_{};
};

class CConfigTcpPage : public QWidget {
public:
    explicit CConfigTcpPage(QWidget* parent);
    void Fill(const news::SettingsValues& v);
    void Take(news::SettingsValues& v) const;
    QLineEdit* Server() const { return server_; }
    // Entries in net::Security order: なし, STARTTLS, SSL/TLS.
    QComboBox* Security() const { return security_; }

private:
    QLineEdit* server_;
    QComboBox* security_;
    QLineEdit* user_;
    QLineEdit* password_;
    QCheckBox* remember_;
    QCheckBox* allowPlain_;
};

class CConfigAdvPage : public QWidget {
public:
    explicit CConfigAdvPage(QWidget* parent);
    void Fill(const news::SettingsValues& v);
    void Take(news::SettingsValues& v) const;
    std::array<NumberField, 4> Numbers() const;
    // The usual port of security (net::Security) replaces the other's usual
    // one in the field, and is what Reset gives.
    void ProposePort(int security);

private:
    void Reset();

    QLineEdit* port_;
    QLineEdit* wait_;
    QLineEdit* retry_;
    QCheckBox* compress_;
    QLineEdit* expiry_;
    QPushButton* reset_;
    int usualPort_ = 119;
};

class CConfigSheet : public QDialog {
    Q_OBJECT
public:
    enum Page { Personal, News, WWW, Format, Tcp, Adv };

    CConfigSheet(Dialogs& dialogs, news::SettingsValues& values, QWidget* parent = nullptr);
    QTabWidget* Tabs() const { return tabs_; }
    void accept() override;

private:
    // The number fields in page order; false after telling the user which is wrong.
    bool CheckNumbers();

    Dialogs& dialogs_;
    news::SettingsValues& values_;
    QTabWidget* tabs_;
    CConfigPersonalPage* personal_;
    CConfigNewsPage* news_;
    CConfigWWWPage* www_;
    CConfigFormatPage* format_;
    CConfigTcpPage* tcp_;
    CConfigAdvPage* adv_;
};

} // namespace dialogs
