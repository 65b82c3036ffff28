#include "dialogs/ConfigSheet.h"

#include "widgets/BodyColours.h"
#include "net/ServerSecurity.h"
#include "dialogs/Dialogs.h"
#include "dialogs/LoginDialog.h"
#include "widgets/SjisText.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

using namespace widgets;

using news::SettingsValues;

namespace dialogs {

namespace {

constexpr int kDefaultPort = 119;
constexpr int kDefaultWait = 12;
constexpr int kDefaultRetry = 5;

template <typename T>
T* Named(T* widget, int id)
{
    widget->setObjectName(QStringLiteral("ctl%1").arg(id));
    return widget;
}

QLineEdit* NewEdit(QWidget* parent, int id) { return Named(new QLineEdit(parent), id); }

QLabel* Note(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

QPushButton* NewButton(const QString& text, int id, QWidget* parent)
{
    return Named(new QPushButton(text, parent), id);
}

} // namespace

// ---------------------------------------------------------------- personal

CConfigPersonalPage::CConfigPersonalPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("dlg124"));
    mail_ = NewEdit(this, 1029);
    name_ = NewEdit(this, 1030);
    organization_ = NewEdit(this, 1031);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("ﾒｰﾙｱﾄﾞﾚｽ(&M):"), mail_);
    form->addRow(QStringLiteral("本名(&R):"), name_);
    form->addRow(QStringLiteral("組織名(&O):"), organization_);
}

void CConfigPersonalPage::Fill(const SettingsValues& v)
{
    mail_->setText(FromSjis(v.config.strMailAddress));
    name_->setText(FromSjis(v.config.strRealName));
    organization_->setText(FromSjis(v.config.strOrganization));
}

void CConfigPersonalPage::Take(SettingsValues& v) const
{
    v.config.strMailAddress = ToSjis(mail_->text());
    v.config.strRealName = ToSjis(name_->text());
    v.config.strOrganization = ToSjis(organization_->text());
}

// ---------------------------------------------------------------- news

CConfigNewsPage::CConfigNewsPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("dlg126"));
    limit_ = NewEdit(this, 1035);
    markFile_ = NewEdit(this, 1023);
    code_ = Named(new QComboBox(this), 1041);
    code_->addItems({QStringLiteral("JIS"), QStringLiteral("EUC"), QStringLiteral("SJIS"), QStringLiteral("UTF-8")});
    confirmMove_ = Named(new QCheckBox(QStringLiteral("次(前)のグループに移動するときは確認する(&M)"), this), 1033);
    showRead_ = Named(new QCheckBox(QStringLiteral("既読記事を表示する(&S)"), this), 1046);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("読み込む記事の最大数(&U):"), limit_);
    form->addRow(QStringLiteral("記録ファイル名(&H):"), markFile_);
    form->addRow(Note(QStringLiteral("(記録ファイルは環境設定ファイルと同じディレクトリに作成されます)"), this));
    form->addRow(QStringLiteral("送信漢字コード(&C):"), code_);
    form->addRow(confirmMove_);
    form->addRow(showRead_);
}

// The list reads JIS, EUC, SJIS, UTF-8; the stored codes are 0 JIS, 1 SJIS, 2 EUC, 3 UTF-8.
int CConfigNewsPage::ListIndexOfCode(int code) { return code == 1 ? 2 : code == 2 ? 1 : code == 3 ? 3 : 0; }
int CConfigNewsPage::CodeOfListIndex(int index) { return index == 2 ? 1 : index == 1 ? 2 : index == 3 ? 3 : 0; }

NumberField CConfigNewsPage::Limit() const { return {limit_, "読み込む記事の最大数", 1, INT_MAX}; }

void CConfigNewsPage::Fill(const SettingsValues& v)
{
    limit_->setText(QString::number(v.config.nMaxReadArtcleCount));
    markFile_->setText(FromSjis(v.config.strMarkFile));
    code_->setCurrentIndex(ListIndexOfCode(v.config.PostKanjiCode));
    confirmMove_->setChecked(v.config.bShowChangeGroupDialog);
    showRead_->setChecked(v.config.bShowOldArticle);
}

void CConfigNewsPage::Take(SettingsValues& v) const
{
    v.config.nMaxReadArtcleCount = limit_->text().trimmed().toInt();
    v.config.strMarkFile = ToSjis(markFile_->text());
    v.config.PostKanjiCode = CodeOfListIndex(code_->currentIndex());
    v.config.bShowChangeGroupDialog = confirmMove_->isChecked();
    v.config.bShowOldArticle = showRead_->isChecked();
}

// ---------------------------------------------------------------- web browser

CConfigWWWPage::CConfigWWWPage(Dialogs& dialogs, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("dlg138"));
    auto* box = new QGroupBox(QStringLiteral("使用するブラウザ"), this);
    netscape_ = Named(new QRadioButton(QStringLiteral("Netscape Navigator"), box), 1036);
    explorer_ = Named(new QRadioButton(QStringLiteral("Microsoft Internet Explorer"), box), 1037);
    auto* group = new QButtonGroup(this);
    group->addButton(netscape_);
    group->addButton(explorer_);
    auto* boxLayout = new QVBoxLayout(box);
    boxLayout->addWidget(netscape_);
    boxLayout->addWidget(explorer_);

    path_ = NewEdit(this, 1015);
    QPushButton* browse = NewButton(QStringLiteral("参照(&B)..."), 1027, this);
    connect(browse, &QPushButton::clicked, this, [this, &dialogs] {
        const QString chosen = dialogs.AskProgram(this, path_->text());
        if (!chosen.isEmpty())
            path_->setText(chosen);
    });
    auto* label = new QLabel(QStringLiteral("プログラムの場所(&N):"), this);
    label->setBuddy(path_);
    auto* row = new QHBoxLayout;
    row->addWidget(path_, 1);
    row->addWidget(browse);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box);
    layout->addWidget(label);
    layout->addLayout(row);
    layout->addStretch();
}

void CConfigWWWPage::Fill(const SettingsValues& v)
{
    (v.browserType == 1 ? explorer_ : netscape_)->setChecked(true);
    path_->setText(QFile::decodeName(QByteArray::fromStdString(v.browserPath)));
}

void CConfigWWWPage::Take(SettingsValues& v) const
{
    v.browserType = explorer_->isChecked() ? 1 : 0;
    v.browserPath = QFile::encodeName(path_->text()).toStdString();
}

// ---------------------------------------------------------------- format

CConfigFormatPage::CConfigFormatPage(Dialogs& dialogs, QWidget* parent) : QWidget(parent), dialogs_(dialogs)
{
    setObjectName(QStringLiteral("dlg137"));
    samples_ = Named(new QListWidget(this), 1029);
    samples_->setSelectionMode(QAbstractItemView::NoSelection);
    samples_->setFocusPolicy(Qt::NoFocus);
    for (const char* text : {"標準のテキスト", "ヘッダのテキスト", "境界のテキスト", "添付ファイル"})
        samples_->addItem(QString::fromUtf8(text));
    connect(samples_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { ChooseColour(samples_->row(item)); });

    struct Button { const char* text; int id; };
    const Button buttons[] = {{"標準(&D)...", 1032}, {"ヘッダ(&H)...", 1033}, {"境界(&O)...", 1034},
                              {"添付ファイル(&I)...", 1035}, {"背景色(&B)...", 1031}};
    auto* column = new QVBoxLayout;
    for (int i = 0; i < 5; ++i) {
        QPushButton* button = NewButton(QString::fromUtf8(buttons[i].text), buttons[i].id, this);
        connect(button, &QPushButton::clicked, this, [this, i] { ChooseColour(i); });
        if (i == 4)
            column->addSpacing(12);
        column->addWidget(button);
    }
    column->addStretch();
    auto* sampleBox = new QGroupBox(QStringLiteral("サンプル"), this);
    auto* sampleLayout = new QVBoxLayout(sampleBox);
    sampleLayout->addWidget(samples_);
    auto* bodyRow = new QHBoxLayout;
    bodyRow->addWidget(sampleBox, 1);
    bodyRow->addLayout(column);

    // The article list: rows scored above zero and below it.
    auto* scoreBox = new QGroupBox(QStringLiteral("記事一覧の得点"), this);
    auto* scoreLayout = new QGridLayout(scoreBox);
    const Button scoreButtons[] = {{"高得点(&G)...", 1036}, {"低得点(&L)...", 1037}};
    const char* scoreTexts[] = {"得点が 0 より高い記事", "得点が 0 より低い記事"};
    for (int i = 0; i < 2; ++i) {
        scoreSamples_[std::size_t(i)] = new QLabel(QString::fromUtf8(scoreTexts[i]), scoreBox);
        scoreSamples_[std::size_t(i)]->setObjectName(QStringLiteral("scoreSample%1").arg(i));
        QPushButton* button = NewButton(QString::fromUtf8(scoreButtons[i].text), scoreButtons[i].id, scoreBox);
        connect(button, &QPushButton::clicked, this, [this, i] { ChooseColour(5 + i); });
        scoreLayout->addWidget(scoreSamples_[std::size_t(i)], i, 0);
        scoreLayout->addWidget(button, i, 1);
    }
    scoreLayout->setColumnStretch(0, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bodyRow, 1);
    layout->addWidget(scoreBox);
}

std::array<QColor, 2> CConfigFormatPage::DefaultScoreColours()
{
    return {QColor(0xC0, 0x00, 0x00), QColor(0x80, 0x80, 0x80)};
}

void CConfigFormatPage::Fill(const SettingsValues& v)
{
    const auto defaults = DefaultBodyColours(palette());
    for (std::size_t i = 0; i < colours_.size(); ++i)
        colours_[i] = ToQColor(v.colours[i].value_or(defaults[i]));
    const auto scoreDefaults = DefaultScoreColours();
    for (std::size_t i = 0; i < scoreColours_.size(); ++i)
        scoreColours_[i] = v.scoreColours[i] ? ToQColor(*v.scoreColours[i]) : scoreDefaults[i];
    Repaint();
}

void CConfigFormatPage::Take(SettingsValues& v) const
{
    for (std::size_t i = 0; i < colours_.size(); ++i)
        v.colours[i] = ToColour(colours_[i]);
    for (std::size_t i = 0; i < scoreColours_.size(); ++i)
        v.scoreColours[i] = ToColour(scoreColours_[i]);
}

void CConfigFormatPage::ChooseColour(int index)
{
    const int count = int(colours_.size());
    if (index < 0 || index >= count + int(scoreColours_.size()))
        return;
    QColor& colour = index < count ? colours_[std::size_t(index)] : scoreColours_[std::size_t(index - count)];
    if (const auto chosen = dialogs_.AskColour(this, colour)) {
        colour = *chosen;
        Repaint();
    }
}

void CConfigFormatPage::Repaint()
{
    QPalette pal = samples_->palette();
    pal.setColor(QPalette::Base, colours_[4]);
    samples_->setPalette(pal);
    for (int i = 0; i < samples_->count(); ++i)
        samples_->item(i)->setForeground(colours_[std::size_t(i)]);
    for (std::size_t i = 0; i < scoreSamples_.size(); ++i) {
        QPalette p = scoreSamples_[i]->palette();
        p.setColor(QPalette::WindowText, scoreColours_[i]);
        scoreSamples_[i]->setPalette(p);
    }
}

// ---------------------------------------------------------------- network

CConfigTcpPage::CConfigTcpPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("dlg125"));
    server_ = NewEdit(this, 1042);
    security_ = Named(new QComboBox(this), 1070);
    security_->addItems({QStringLiteral("なし"), QStringLiteral("STARTTLS"), QStringLiteral("SSL/TLS")});
    user_ = NewEdit(this, 1071);
    password_ = NewEdit(this, 1072);
    password_->setEchoMode(QLineEdit::Password);
    RefuseLineBreaks(user_);
    RefuseLineBreaks(password_);
    remember_ = Named(new QCheckBox(QStringLiteral("パスワードを保存する(&W)"), this), 1073);
    allowPlain_ = Named(new QCheckBox(QStringLiteral("暗号化なしでもパスワードを送る(&A)"), this), 1074);

    auto* login = new QGroupBox(QStringLiteral("ログイン"), this);
    auto* loginForm = new QFormLayout(login);
    loginForm->addRow(QStringLiteral("ユーザ名(&U):"), user_);
    loginForm->addRow(QStringLiteral("パスワード(&P):"), password_);
    loginForm->addRow(remember_);
    loginForm->addRow(allowPlain_);
    loginForm->addRow(Note(QStringLiteral("(ユーザ名が空のときは、サーバに求められたときだけログインします。"
                                          "パスワードは設定ファイルには書かれず、保存する場合はデスクトップの"
                                          "パスワード保管庫に入ります)"),
                           login));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("ﾆｭｰｽｻｰﾊﾞ名(&N):"), server_);
    form->addRow(QStringLiteral("通信の暗号化(&E):"), security_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(login);
    layout->addStretch();
}

void CConfigTcpPage::Fill(const SettingsValues& v)
{
    server_->setText(FromSjis(v.config.strNntpServer));
    security_->setCurrentIndex(std::clamp(v.config.nSecurity, 0, security_->count() - 1));
    // How the connection is made cannot change under it.
    security_->setEnabled(!v.online);
    user_->setText(FromSjis(v.config.strUserName));
    password_->setText(FromSjis(v.password));
    remember_->setChecked(v.config.bRememberPassword);
    allowPlain_->setChecked(v.config.bAllowPlainPassword);
}

void CConfigTcpPage::Take(SettingsValues& v) const
{
    v.config.strNntpServer = ToSjis(server_->text().trimmed());
    if (security_->isEnabled())
        v.config.nSecurity = security_->currentIndex();
    v.config.strUserName = ToSjis(user_->text().trimmed());
    v.password = ToSjis(password_->text());
    v.config.bRememberPassword = remember_->isChecked();
    v.config.bAllowPlainPassword = allowPlain_->isChecked();
}

// ---------------------------------------------------------------- advanced

CConfigAdvPage::CConfigAdvPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("dlg128"));
    port_ = NewEdit(this, 1043);
    wait_ = NewEdit(this, 1037);
    retry_ = NewEdit(this, 1038);
    reset_ = NewButton(QStringLiteral("ﾘｾｯﾄ(&R)"), 1039, this);
    connect(reset_, &QPushButton::clicked, this, &CConfigAdvPage::Reset);
    auto* waitRow = new QHBoxLayout;
    waitRow->addWidget(wait_);
    waitRow->addWidget(new QLabel(QStringLiteral("(sec)"), this));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("NNTPﾎﾟｰﾄ(&N):"), port_);
    auto* waitLabel = new QLabel(QStringLiteral("&TCP WAIT:"), this);
    waitLabel->setBuddy(wait_);
    form->addRow(waitLabel, waitRow);
    form->addRow(QStringLiteral("T&CP RETRY:"), retry_);
    compress_ = Named(new QCheckBox(QStringLiteral("サーバーが対応していれば圧縮する(COMPRESS DEFLATE)(&Z)"), this), 1090);
    form->addRow(compress_);
    // The header store is a cache: its expiry may change while online.
    expiry_ = NewEdit(this, 1091);
    auto* expiryRow = new QHBoxLayout;
    expiryRow->addWidget(expiry_);
    expiryRow->addWidget(new QLabel(QStringLiteral("日"), this));
    auto* expiryLabel = new QLabel(QStringLiteral("開かないグループのヘッダーを消すまで(&E):"), this);
    expiryLabel->setBuddy(expiry_);
    form->addRow(expiryLabel, expiryRow);
    auto* resetRow = new QHBoxLayout;
    resetRow->addStretch();
    resetRow->addWidget(reset_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(resetRow);
    layout->addWidget(Note(QStringLiteral("注:オンライン時には設定できません。"), this));
    layout->addStretch();
}

std::array<NumberField, 4> CConfigAdvPage::Numbers() const
{
    return {{{port_, "NNTPポート", 1, 65535},
             {wait_, "TCP WAIT", 0, 3600},
             {retry_, "TCP RETRY", 0, 1000},
             {expiry_, "ヘッダーを消すまでの日数", 1, 3650}}};
}

void CConfigAdvPage::Fill(const SettingsValues& v)
{
    port_->setText(QString::number(v.config.nNntpPort));
    usualPort_ = v.config.nSecurity == int(net::Security::Tls) ? net::kNntpsPort : kDefaultPort;
    wait_->setText(QString::number(v.config.nTcpWaitSec));
    retry_->setText(QString::number(v.config.nTcpRetryCount));
    compress_->setChecked(v.config.bCompress);
    compress_->setEnabled(!v.online);
    expiry_->setText(QString::number(v.expiryDays));
    for (QWidget* w : {static_cast<QWidget*>(port_), static_cast<QWidget*>(wait_), static_cast<QWidget*>(retry_),
                       static_cast<QWidget*>(reset_)})
        w->setEnabled(!v.online);
}

void CConfigAdvPage::Take(SettingsValues& v) const
{
    v.expiryDays = expiry_->text().trimmed().toInt();
    // Fields disabled while online keep the values they came with.
    if (v.online)
        return;
    v.config.nNntpPort = port_->text().trimmed().toInt();
    v.config.nTcpWaitSec = wait_->text().trimmed().toInt();
    v.config.nTcpRetryCount = retry_->text().trimmed().toInt();
    v.config.bCompress = compress_->isChecked();
}

void CConfigAdvPage::ProposePort(int security)
{
    const bool tls = security == int(net::Security::Tls);
    usualPort_ = tls ? net::kNntpsPort : kDefaultPort;
    const int other = tls ? kDefaultPort : net::kNntpsPort;
    if (port_->isEnabled() && port_->text().trimmed().toInt() == other)
        port_->setText(QString::number(usualPort_));
}

void CConfigAdvPage::Reset()
{
    port_->setText(QString::number(usualPort_));
    wait_->setText(QString::number(kDefaultWait));
    retry_->setText(QString::number(kDefaultRetry));
}

// ---------------------------------------------------------------- the sheet

CConfigSheet::CConfigSheet(Dialogs& dialogs, SettingsValues& values, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs), values_(values)
{
    setObjectName(QStringLiteral("CConfigSheet"));
    setWindowTitle(QStringLiteral("環境設定"));
    setFont(JapaneseFont());
    tabs_ = new QTabWidget(this);
    personal_ = new CConfigPersonalPage(tabs_);
    news_ = new CConfigNewsPage(tabs_);
    www_ = new CConfigWWWPage(dialogs, tabs_);
    format_ = new CConfigFormatPage(dialogs, tabs_);
    tcp_ = new CConfigTcpPage(tabs_);
    adv_ = new CConfigAdvPage(tabs_);
    tabs_->addTab(personal_, QStringLiteral("個人情報    "));
    tabs_->addTab(news_, QStringLiteral("ﾆｭｰｽ"));
    tabs_->addTab(www_, QStringLiteral("WWWブラウザ"));
    tabs_->addTab(format_, QStringLiteral("書式"));
    tabs_->addTab(tcp_, QStringLiteral("ﾈｯﾄﾜｰｸ"));
    tabs_->addTab(adv_, QStringLiteral("高度  "));
    personal_->Fill(values);
    news_->Fill(values);
    www_->Fill(values);
    format_->Fill(values);
    tcp_->Fill(values);
    adv_->Fill(values);
    connect(tcp_->Security(), &QComboBox::currentIndexChanged, this, [this](int index) { adv_->ProposePort(index); });

    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this,
            [this] { dialogs_.ShowHelp(this, QStringLiteral("settings.html")); });

    auto* layout = new QVBoxLayout(this);
    if (values.firstStart) {
        auto* welcome = Note(QStringLiteral("ようこそ。まずニュースサーバ名を入力し、続いて「個人情報」ページで"
                                            "メールアドレスと本名を入力して OK を押してください。"),
                             this);
        welcome->setObjectName(QStringLiteral("welcome"));
        layout->addWidget(welcome);
        tabs_->setCurrentWidget(tcp_);
        tcp_->Server()->setFocus();
    }
    layout->addWidget(tabs_, 1);
    layout->addWidget(buttons);
    setMinimumWidth(480);
}

bool CConfigSheet::CheckNumbers()
{
    const auto adv = adv_->Numbers();
    const NumberField fields[] = {news_->Limit(), adv[0], adv[1], adv[2], adv[3]};
    for (const NumberField& field : fields) {
        if (!field.edit->isEnabled())
            continue;
        bool ok = false;
        const qlonglong n = field.edit->text().trimmed().toLongLong(&ok);
        if (ok && n >= field.low && n <= field.high)
            continue;
        const QString name = QString::fromUtf8(field.name);
        const QString text =
            field.high == INT_MAX
                ? QStringLiteral("「%1」には %2 以上の整数を入力してください。").arg(name).arg(field.low)
                : QStringLiteral("「%1」には %2 から %3 までの整数を入力してください。")
                      .arg(name)
                      .arg(field.low)
                      .arg(field.high);
        tabs_->setCurrentWidget(field.edit->parentWidget());
        dialogs_.Message(this, text, news::MessageIcon::Stop);
        field.edit->setFocus();
        field.edit->selectAll();
        return false;
    }
    return true;
}

void CConfigSheet::accept()
{
    if (!CheckNumbers())
        return;
    personal_->Take(values_);
    news_->Take(values_);
    www_->Take(values_);
    format_->Take(values_);
    tcp_->Take(values_);
    adv_->Take(values_);
    QDialog::accept();
}

} // namespace dialogs
