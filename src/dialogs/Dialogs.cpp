#include "dialogs/Dialogs.h"

#include "integration/UrlDialog.h"
#include "message/Attachment.h"
#include "platform/StringIds.h"
#include "platform/StringTable.h"
#include "dialogs/CertificateDialog.h"
#include "dialogs/ConfigSheet.h"
#include "dialogs/GroupDialogs.h"
#include "dialogs/GroupReadDialogs.h"
#include "dialogs/HelpWindow.h"
#include "dialogs/NzbSummaryDialog.h"
#include "dialogs/ScoreDialogs.h"
#include "widgets/SjisText.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QUrl>

using namespace widgets;

using namespace news;

namespace dialogs {

namespace {
// Printing goes to the default printer queue; there is no desktop-wide
// "print this file" verb here.
class QtDesktop : public message::Desktop {
public:
    bool OpenFile(const std::filesystem::path& file, bool print, const std::filesystem::path&) override
    {
        const QString path = QString::fromStdString(file.string());
        if (print)
            return QProcess::startDetached(QStringLiteral("lp"), {QStringLiteral("--"), path});
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
};
} // namespace

QString AppTitle()
{
    const QString title = LoadText(platform::IDS_57344);
    return title.isEmpty() ? QStringLiteral("Lumetra") : title;
}

int QtDialogs::Message(QWidget* parent, const QString& text, MessageIcon icon, bool withCancel)
{
    QMessageBox box(parent);
    box.setWindowTitle(AppTitle());
    box.setText(text);
    box.setFont(JapaneseFont());
    switch (icon) {
    case MessageIcon::Stop:
        box.setIcon(QMessageBox::Critical);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MessageIcon::Information:
        box.setIcon(QMessageBox::Information);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MessageIcon::Question:
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(withCancel ? QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel
                                          : QMessageBox::Yes | QMessageBox::No);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    case QMessageBox::Cancel: return IDCANCEL;
    default: return IDOK;
    }
}

Dialogs::UncarriedChoice QtDialogs::AskUncarried(QWidget* parent, const QString& character)
{
    QMessageBox box(parent);
    box.setWindowTitle(AppTitle());
    box.setObjectName(QStringLiteral("uncarried"));
    box.setFont(JapaneseFont());
    box.setIcon(QMessageBox::Question);
    box.setText(widgets::FormatMessage(platform::LoadString(platform::IDS_61340), {widgets::ToSjis(character)}));
    QPushButton* utf8 = box.addButton(widgets::FromSjis(platform::LoadString(platform::IDS_61342)),
                                      QMessageBox::AcceptRole);
    QPushButton* replace = box.addButton(widgets::FromSjis(platform::LoadString(platform::IDS_61343)),
                                         QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(utf8);
    box.exec();
    if (box.clickedButton() == utf8)
        return UncarriedChoice::Utf8;
    if (box.clickedButton() == replace)
        return UncarriedChoice::Replace;
    return UncarriedChoice::Cancel;
}

QString QtDialogs::AskConfigFile(QWidget* parent, bool save, const QString& current)
{
    QFileDialog dialog(parent);
    dialog.setNameFilter(QStringLiteral("Lumetra Config Files (*.lum)"));
    dialog.setDefaultSuffix(QStringLiteral("lum"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (save && !current.isEmpty())
        dialog.selectFile(current);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString Dialogs::AskOpenFile(QWidget* parent, const QString& title, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, title, QString(), filter);
}

QString Dialogs::AskFolder(QWidget* parent, const QString& title, const QString& start)
{
    return QFileDialog::getExistingDirectory(parent, title, start);
}

void Dialogs::ShowNzbSummary(QWidget* parent, const news::NzbSummary& summary, const QString& folder)
{
    NzbSummaryDialog dialog(summary, folder, parent);
    dialog.exec();
}

QString QtDialogs::AskSaveFile(QWidget* parent, const QString& suggested)
{
    return QFileDialog::getSaveFileName(parent, QString(), suggested, QStringLiteral("All Files (*)"));
}

std::optional<QFont> QtDialogs::AskFont(QWidget* parent, const QFont& current, const QString& title, bool qtOwn)
{
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, current, parent, title,
                                            qtOwn ? QFontDialog::DontUseNativeDialog : QFontDialog::FontDialogOptions());
    if (!ok)
        return std::nullopt;
    return font;
}

int QtDialogs::AskSubscribe(QWidget* parent, bool unsubscribe, const QString& path, int& choice)
{
    GroupSubscribeDialog dialog(unsubscribe, path, parent);
    const int result = dialog.exec();
    choice = dialog.Choice();
    return result;
}

int QtDialogs::AskGroupFind(QWidget* parent, QString& text)
{
    GroupFindDialog dialog(text, parent);
    const int button = dialog.exec();
    text = dialog.Text();
    return button;
}

int QtDialogs::AskMarkRead(QWidget* parent, int& range) { return ArticleMarkReadDialog::Ask(parent, range); }

int QtDialogs::AskArticleSearch(QWidget* parent, ArticleSearchDialog::Request& request)
{
    return ArticleSearchDialog::Ask(parent, request);
}

int QtDialogs::AskReadLimit(QWidget* parent, int& count) { return ReadLimitDialog::Ask(parent, count); }

int QtDialogs::AskReloadRange(QWidget* parent, int& start, int& end)
{
    return ReloadRangeDialog::Ask(parent, start, end);
}

std::optional<QString> QtDialogs::AskUrl(QWidget* parent, const QString& initial)
{
    return integration::AskUrl(parent, initial);
}

QAction* QtDialogs::ExecMenu(QMenu& menu, const QPoint& globalPos) { return menu.exec(globalPos); }

bool QtDialogs::EditSettings(QWidget* parent, news::SettingsValues& values)
{
    CConfigSheet sheet(*this, values, parent);
    return sheet.exec() == QDialog::Accepted;
}

bool QtDialogs::AskLogin(QWidget* parent, LoginForm& form) { return LoginDialog::Ask(parent, form); }

bool QtDialogs::AskTrustCertificate(QWidget* parent, const net::CertificateInfo& info)
{
    return CertificateDialog::Ask(parent, info);
}

void QtDialogs::ShowCertificate(QWidget* parent, const net::CertificateInfo& info)
{
    CertificateDialog::Show(parent, info);
}

std::optional<QColor> QtDialogs::AskColour(QWidget* parent, const QColor& current)
{
    const QColor chosen = QColorDialog::getColor(current, parent);
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

QString QtDialogs::AskProgram(QWidget* parent, const QString& current)
{
    // Programs here are files with the execute bit, whatever their name.
    QFileDialog dialog(parent, QStringLiteral("プログラムの場所"), current);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setFilter(QDir::AllDirs | QDir::Executable | QDir::NoDotAndDotDot);
    if (!current.isEmpty())
        dialog.selectFile(current);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void QtDialogs::ShowHelp(QWidget* from, const QString& page)
{
    (void)from;
    if (!help_)
        help_ = std::make_unique<HelpWindow>();
    help_->ShowPage(page);
    help_->show();
    help_->raise();
    help_->activateWindow();
}

bool QtDialogs::AskPageSetup(QWidget* parent)
{
    QPrinter printer;
    if (pageLayout_)
        printer.setPageLayout(*pageLayout_);
    QPageSetupDialog dialog(&printer, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    pageLayout_ = std::make_unique<QPageLayout>(printer.pageLayout());
    return true;
}

bool QtDialogs::AskPrinter(QWidget* parent, QPrinter& printer)
{
    if (pageLayout_)
        printer.setPageLayout(*pageLayout_);
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

QtDialogs::QtDialogs() = default;
QtDialogs::~QtDialogs() = default;

message::Desktop& QtDialogs::Desktop()
{
    static QtDesktop desktop;
    return desktop;
}

} // namespace dialogs

namespace dialogs {

int Dialogs::AskScoreExpiry(QWidget*, const QString&, int&) { return IDCANCEL; }
void Dialogs::EditScoreRules(QWidget*, news::ScoreBook&, const std::string&, const std::vector<const news::CArticle*>&)
{
}

int QtDialogs::AskScoreExpiry(QWidget* parent, const QString& what, int& days)
{
    return ScoreExpiryDialog::Ask(parent, what, days);
}

void QtDialogs::EditScoreRules(QWidget* parent, news::ScoreBook& book, const std::string& group,
                               const std::vector<const news::CArticle*>& articles)
{
    ScoreRuleDialog dialog(parent, book, group, articles);
    dialog.exec();
}

} // namespace dialogs
