#include "news/ScoreWrite.h"

#include "platform/AtomicFile.h"
#include "textcodec/Charsets.h"

#include <cerrno>
#include <cstring>

namespace news {

namespace {

std::string ScoreText(const ScoreEntry& e)
{
    return (e.set ? "=" : "") + std::to_string(e.value);
}

std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (nl == std::string_view::npos)
            break;
        text.remove_prefix(nl + 1);
    }
    return lines;
}

// Reading a file that is not there yet gives an empty one; any other failure refuses.
bool ReadExisting(const std::filesystem::path& file, std::string& text, std::string& error)
{
    int code = 0;
    auto data = platform::ReadWholeFile(file, &code);
    if (data) {
        text = std::move(*data);
        return true;
    }
    if (code == ENOENT) {
        text.clear();
        return true;
    }
    error = "cannot read " + file.string() + ": " + std::strerror(code);
    return false;
}

bool Write(const std::filesystem::path& file, const std::string& text, std::string& error)
{
    std::error_code ec;
    if (file.has_parent_path())
        std::filesystem::create_directories(file.parent_path(), ec);
    std::string why;
    if (platform::WriteFileAtomically(file, text, 0600, &why))
        return true;
    error = "cannot write " + file.string() + ": " + why;
    return false;
}

bool CutRule(const ScoreRule& rule, std::string& text, std::string& error)
{
    if (!ReadExisting(rule.source, text, error))
        return false;
    const auto lines = SplitLines(text);
    const auto first = static_cast<std::size_t>(rule.firstLine - 1);
    const auto end = static_cast<std::size_t>(rule.endLine - 1);
    std::string was;
    if (rule.firstLine >= 1 && first < end && end <= lines.size())
        for (std::size_t i = first; i < end; ++i)
            was.append(lines[i]).append("\n");
    if (was.empty() || was != rule.text) {
        error = rule.source.string() + " changed since it was read; load it again";
        return false;
    }
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (i < first || i >= end)
            out.append(lines[i]).append("\n");
    text = std::move(out);
    return true;
}

} // namespace

std::string FormatScoreEntry(const ScoreEntry& e)
{
    std::string out = "%BOS\n[" + e.group + "]\nScore:" + (e.any ? ": " : " ") + ScoreText(e) + "\n";
    if (e.expires > 0)
        out += "Expires: " + FormatScoreDate(e.expires) + "\n";
    for (const ScoreEntryTest& t : e.tests)
        out += (t.negate ? "~" : "") + t.field + ": " + t.pattern + "\n";
    for (const std::string& line : e.extraLines)
        out += line + "\n";
    out += "%EOS\n";
    return out;
}

std::string CheckScoreEntry(const ScoreEntry& e)
{
    if (e.group.empty() || e.group.find_first_of("[]\r\n") != std::string::npos)
        return "bad group pattern";
    for (const ScoreEntryTest& t : e.tests)
        if (t.field.empty() || t.field.find_first_of(": \t\r\n[]%#{}~") != std::string::npos ||
            t.pattern.find_first_of("\r\n") != std::string::npos)
            return "bad test \"" + t.field + "\"";
    const ScoreRules parsed = ParseScoreText(FormatScoreEntry(e), "entry");
    if (!parsed.problems.empty()) {
        const ScoreProblem& p = parsed.problems.front();
        return p.text;
    }
    if (parsed.rules.size() != 1)
        return "not one rule";
    return {};
}

bool AppendScoreEntry(const std::filesystem::path& file, const ScoreEntry& entry, std::string& error)
{
    error = CheckScoreEntry(entry);
    if (!error.empty())
        return false;
    std::string text;
    if (!ReadExisting(file, text, error))
        return false;
    if (!text.empty() && text.back() != '\n')
        text += '\n';
    if (!text.empty())
        text += '\n';
    text += FormatScoreEntry(entry);
    return Write(file, text, error);
}

bool RemoveScoreRule(const ScoreRule& rule, std::string& error)
{
    std::string text;
    return CutRule(rule, text, error) && Write(rule.source, text, error);
}

bool ReplaceScoreRule(const ScoreRule& rule, const ScoreEntry& entry, std::string& error)
{
    error = CheckScoreEntry(entry);
    if (!error.empty())
        return false;
    std::string text;
    if (!CutRule(rule, text, error))
        return false;
    if (!text.empty())
        text += '\n';
    text += FormatScoreEntry(entry);
    return Write(rule.source, text, error);
}

ScoreEntry EntryOfRule(const ScoreRule& rule)
{
    ScoreEntry e;
    for (const std::string& g : rule.groups)
        e.group += (e.group.empty() ? "" : ", ") + g;
    e.value = rule.value;
    e.set = rule.set;
    e.any = !rule.test.all;
    e.expires = rule.expires;
    if (!rule.test.exprs.empty()) {
        const ScoreExpr& x = rule.test.exprs.front();
        e.tests.push_back({x.name, x.negate, x.pattern});
    }
    // Everything but the Score line, Expires and the first test stays as written.
    const auto lines = SplitLines(rule.text);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const int number = rule.firstLine + static_cast<int>(i);
        std::string_view line = lines[i];
        std::size_t lead = line.find_first_not_of(" \t");
        const std::string_view body = lead == std::string_view::npos ? std::string_view{} : line.substr(lead);
        const bool expires = body.size() >= 8 && (body.substr(0, 8) == "Expires:" || body.substr(0, 8) == "expires:");
        if (number == rule.firstTestLine || expires)
            continue;
        if (body == "%EOS" || body == "#EOS")
            continue;
        e.extraLines.emplace_back(line);
    }
    return e;
}

ScoreEntry IgnoreAuthorEntry(const std::string& group, const std::string& fromSjis, std::int64_t expires)
{
    ScoreEntry e;
    e.group = group;
    e.value = -9999;
    e.set = true;
    e.expires = expires;
    e.tests.push_back({"From", false, "^" + EscapeScorePattern(textcodec::SjisToUtf8(fromSjis)) + "$"});
    return e;
}

ScoreEntry ThreadEntry(const std::string& group, const std::string& root, int value, std::int64_t expires)
{
    ScoreEntry e;
    e.group = group;
    e.value = value;
    e.set = value == -9999;
    e.any = true;
    e.expires = expires;
    const std::string id = EscapeScorePattern(root);
    e.tests.push_back({"Message-ID", false, "^" + id + "$"});
    e.tests.push_back({"References", false, id});
    return e;
}

std::string ThreadRootOf(const std::string& references, const std::string& messageId)
{
    if (references.empty())
        return messageId;
    const std::size_t blank = references.find(' ');
    return references.substr(0, blank);
}

} // namespace news
