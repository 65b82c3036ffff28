#pragma once
// "Log": the protocol log. Records only while it is visible; keeps at most
// about 500 lines by dropping the oldest 100; can be saved and cleared.
// Also the small "通信中" window that shows the status of a posting.

#include <QDialog>

#include <filesystem>
#include <string_view>

class QLabel;
class QPlainTextEdit;

namespace net { class ProtocolLog; }

namespace dialogs {

class LogWindow : public QDialog {
    Q_OBJECT
public:
    // Shows the lines of log (which must outlive the window) while visible.
    explicit LogWindow(net::ProtocolLog& log, QWidget* parent = nullptr);
    ~LogWindow() override;

    // One line of Shift_JIS text, recorded only while the window is visible.
    void LogLine(std::string_view text);

    void AppendLogLine(const QString& text);
    void Clear();
    // Writes every line followed by a line end (Shift_JIS); false when the
    // file cannot be written.
    bool SaveTo(const std::filesystem::path& path) const;
    QPlainTextEdit* Edit() const { return edit_; }
    int LineCount() const;

    static constexpr int kMaxLines = 500;
    static constexpr int kDropLines = 100;

public slots:
    void OnSave();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void reject() override { hide(); }

private:
    net::ProtocolLog& log_;
    QPlainTextEdit* edit_ = nullptr;
};

class PostStatusDialog : public QDialog {
    Q_OBJECT
public:
    explicit PostStatusDialog(QWidget* parent = nullptr);
    // text is Shift_JIS.
    void SetStatusText(std::string_view text);
    QString StatusText() const;

private:
    QLabel* text_ = nullptr;
};

} // namespace dialogs
