#include "news/ScoreFile.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>

namespace news {

namespace {

bool SameNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
           });
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

std::optional<std::int64_t> ParseInt(std::string_view s, std::int64_t lo, std::int64_t hi)
{
    s = Trim(s);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    std::int64_t v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || v < lo || v > hi)
        return std::nullopt;
    return v;
}

struct FieldName {
    std::string_view name;
    ScoreField field;
};
constexpr FieldName kFields[] = {
    {"Subject", ScoreField::Subject},       {"From", ScoreField::From},
    {"References", ScoreField::References}, {"Message-ID", ScoreField::MessageId},
    {"Xref", ScoreField::Xref},             {"Newsgroup", ScoreField::Newsgroup},
    {"Lines", ScoreField::Lines},           {"Bytes", ScoreField::Bytes},
    {"Age", ScoreField::Age},
};

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool Joinable(std::string_view p)
{
    if (p.find("(?") != std::string_view::npos || p.find("(*") != std::string_view::npos)
        return false;
    for (std::size_t i = 0; i + 1 < p.size(); ++i) {
        if (p[i] != '\\')
            continue;
        const char next = p[i + 1];
        if ((next >= '0' && next <= '9') || next == 'g' || next == 'k' || next == 'Q')
            return false;
        ++i;
    }
    return true;
}

class Parser {
public:
    Parser(ScoreRules& out, const ScoreLimits& limits, int depth) : out_(out), limits_(limits), depth_(depth) {}

    // False once the rule limit stops the parse.
    bool Line(std::string_view raw, int number, const std::filesystem::path& source)
    {
        source_ = &source;
        if (raw.size() > limits_.maxLineBytes) {
            Problem(number, "line longer than " + std::to_string(limits_.maxLineBytes) + " bytes");
            Spoil();
            return true;
        }
        const std::string_view line = Trim(raw);
        current_ = raw;
        if (!current_.empty() && current_.back() == '\r')
            current_.remove_suffix(1);
        if (line.empty() || line.front() == '%' || line.front() == '#') {
            if (rule_ && pending_.size() < 64)
                pending_.emplace_back(number, std::string(current_));
            return true;
        }
        if (line.front() == '[') {
            if (!Finish())
                return false;
            Section(line, number);
            return true;
        }
        if (line.size() > 8 && SameNoCase(line.substr(0, 8), "include ")) {
            if (!Finish())
                return false;
            Include(Trim(line.substr(8)), number);
            return !stopped_;
        }
        if (line.front() == '}') {
            if (stack_.empty())
                Problem(number, "'}' without '{'"), Spoil();
            else
                stack_.pop_back();
            Touch(number);
            return true;
        }
        if (line.size() >= 2 && line[0] == '{' && line[1] == ':') {
            if (!rule_) {
                Problem(number, "'{' outside a rule");
                return true;
            }
            ScoreTest& parent = Current();
            parent.blocks.push_back({});
            parent.blocks.back().all = !(line.size() >= 3 && line[2] == ':');
            stack_.push_back(&parent.blocks.back());
            Touch(number);
            return true;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) {
            Problem(number, "not a keyword line");
            Spoil();
            return true;
        }
        std::string_view key = line.substr(0, colon);
        std::string_view value = line.substr(colon + 1);
        bool doubled = false;
        if (!value.empty() && value.front() == ':') {
            doubled = true;
            value.remove_prefix(1);
        }
        value = Trim(value);
        if (SameNoCase(key, "Score"))
            return StartRule(value, doubled, number);
        if (SameNoCase(key, "Expires")) {
            if (!rule_) {
                Problem(number, "Expires outside a rule");
                return true;
            }
            const std::int64_t day = ParseScoreDate(value);
            if (day < 0)
                Problem(number, "bad date \"" + std::string(value) + "\""), Spoil();
            else
                rule_->expires = day;
            Touch(number);
            return true;
        }
        Expression(key, value, number);
        return !stopped_;
    }

    // Closes the rule in progress; false when the rule limit is reached.
    bool Finish()
    {
        if (rule_) {
            if (!spoiled_ && rule_->test.exprs.empty() && rule_->test.blocks.empty()) {
                Problem(rule_->firstLine, "rule without tests");
                spoiled_ = true;
            }
            if (!spoiled_) {
                if (out_.rules.size() >= limits_.maxRules) {
                    Problem(rule_->firstLine, "more than " + std::to_string(limits_.maxRules) +
                                                  " rules; the rest of the file is not read");
                    stopped_ = true;
                    rule_.reset();
                    return false;
                }
                out_.rules.push_back(std::move(*rule_));
            }
        }
        rule_.reset();
        stack_.clear();
        pending_.clear();
        spoiled_ = false;
        return !stopped_;
    }

    bool Stopped() const { return stopped_; }

private:
    void Problem(int line, std::string text)
    {
        if (out_.problems.size() >= limits_.maxProblems) {
            ++out_.problemsDropped;
            return;
        }
        out_.problems.push_back({*source_, line, std::move(text)});
    }
    void Spoil()
    {
        if (rule_)
            spoiled_ = true;
    }
    void Touch(int number)
    {
        if (!rule_)
            return;
        // Comments and blank lines between tests belong to the rule too.
        for (const auto& [n, text] : pending_)
            if (n > rule_->firstLine)
                rule_->text.append(text).append("\n");
        pending_.clear();
        rule_->text.append(current_).append("\n");
        rule_->endLine = number + 1;
    }
    ScoreTest& Current() { return stack_.empty() ? rule_->test : *stack_.back(); }

    void Section(std::string_view line, int number)
    {
        groups_.clear();
        const std::size_t close = line.find(']');
        if (close == std::string_view::npos) {
            Problem(number, "section without ']'");
            return;
        }
        std::string_view list = line.substr(1, close - 1);
        while (!list.empty()) {
            const std::size_t comma = list.find(',');
            const std::string_view name = Trim(list.substr(0, comma));
            if (!name.empty())
                groups_.emplace_back(name);
            if (comma == std::string_view::npos)
                break;
            list.remove_prefix(comma + 1);
        }
        if (groups_.empty())
            Problem(number, "section names no group");
    }

    bool StartRule(std::string_view value, bool any, int number)
    {
        if (!Finish())
            return false;
        rule_.emplace();
        rule_->source = *source_;
        rule_->firstLine = number;
        rule_->endLine = number + 1;
        rule_->text.append(current_).append("\n");
        rule_->groups = groups_;
        rule_->test.all = !any;
        if (groups_.empty()) {
            Problem(number, "Score outside a group section");
            spoiled_ = true;
        }
        if (!value.empty() && value.front() == '=') {
            rule_->set = true;
            value.remove_prefix(1);
        }
        const auto v = ParseInt(value, -1'000'000'000, 1'000'000'000);
        if (!v) {
            Problem(number, "bad score \"" + std::string(value) + "\"");
            spoiled_ = true;
        } else {
            rule_->value = static_cast<int>(*v);
        }
        return true;
    }

    void Expression(std::string_view key, std::string_view value, int number)
    {
        if (!rule_) {
            Problem(number, "test outside a rule");
            return;
        }
        Touch(number);
        ScoreExpr e;
        if (key.front() == '~' && key.size() == 1) {
            Problem(number, "'~' without a field");
            spoiled_ = true;
            return;
        }
        if (key.front() == '~') {
            e.negate = true;
            key.remove_prefix(1);
        }
        e.name = std::string(key);
        e.pattern = std::string(value);
        e.field = ScoreField::Other;
        for (const FieldName& f : kFields)
            if (SameNoCase(key, f.name) || (f.field == ScoreField::MessageId && SameNoCase(key, "Message-Id")))
                e.field = f.field;
        if (e.field == ScoreField::Other) {
            Problem(number, "field \"" + e.name + "\" is not scored");
            spoiled_ = true;
            return;
        }
        if (e.field == ScoreField::Lines || e.field == ScoreField::Bytes || e.field == ScoreField::Age) {
            const auto v = ParseInt(value, 0, INT64_MAX / 2);
            if (!v) {
                Problem(number, "bad number \"" + e.pattern + "\"");
                spoiled_ = true;
                return;
            }
            e.number = *v;
        } else {
            if (++tests_ > limits_.maxTests) {
                Problem(number, "more than " + std::to_string(limits_.maxTests) +
                                    " tests; the rest of the file is not read");
                stopped_ = true;
                spoiled_ = true;
                return;
            }
            std::string error;
            auto regex = ScoreRegex::Compile(value, error);
            if (!regex) {
                Problem(number, "bad pattern \"" + e.pattern + "\": " + error);
                spoiled_ = true;
                return;
            }
            e.regex = std::move(regex);
            e.joinable = Joinable(e.pattern);
        }
        if (spoiled_)
            return;
        if (stack_.empty() && rule_->test.exprs.empty())
            rule_->firstTestLine = number;
        Current().exprs.push_back(std::move(e));
    }

    void Include(std::string_view name, int number)
    {
        if (depth_ >= limits_.maxIncludeDepth) {
            Problem(number, "includes nested too deep");
            return;
        }
        std::filesystem::path file(std::string{name});
        if (file.is_relative())
            file = source_->parent_path() / file;
        std::error_code ec;
        if (!std::filesystem::is_regular_file(file, ec)) {
            Problem(number, "cannot read included file " + file.string());
            return;
        }
        const std::filesystem::path* saved = source_;
        Parser inner(out_, limits_, depth_ + 1);
        inner.groups_ = groups_;
        stopped_ = !inner.ReadFile(file);
        source_ = saved;
    }

public:
    bool ReadFile(const std::filesystem::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        source_ = &file;
        if (!in) {
            Problem(0, "cannot read the file");
            return true;
        }
        std::string line;
        int number = 0;
        while (ReadLine(in, line)) {
            ++number;
            if (!Line(line, number, file))
                return false;
        }
        return Finish();
    }

private:
    // getline, except that an overlong line is cut and the rest skipped, so
    // a file without line ends cannot fill memory.
    bool ReadLine(std::istream& in, std::string& line)
    {
        line.clear();
        const std::size_t cap = limits_.maxLineBytes + 1;
        int c;
        bool any = false;
        while ((c = in.get()) != EOF) {
            any = true;
            if (c == '\n')
                return true;
            if (line.size() < cap)
                line += static_cast<char>(c);
        }
        return any;
    }

    ScoreRules& out_;
    const ScoreLimits& limits_;
    int depth_;
    const std::filesystem::path* source_ = nullptr;
    std::vector<std::string> groups_;
    std::optional<ScoreRule> rule_;
    std::vector<ScoreTest*> stack_;
    std::string_view current_;
    std::vector<std::pair<int, std::string>> pending_;
    bool spoiled_ = false;
    bool stopped_ = false;
    std::size_t tests_ = 0;
};

} // namespace

ScoreRules ParseScoreText(std::string_view text, const std::filesystem::path& source, const ScoreLimits& limits)
{
    ScoreRules out;
    Parser parser(out, limits, 0);
    int number = 0;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        ++number;
        if (!parser.Line(text.substr(0, nl), number, source))
            return out;
        if (nl == std::string_view::npos)
            break;
        text.remove_prefix(nl + 1);
    }
    parser.Finish();
    return out;
}

ScoreRules LoadScoreFile(const std::filesystem::path& file, const ScoreLimits& limits)
{
    ScoreRules out;
    std::error_code ec;
    if (!std::filesystem::exists(file, ec))
        return out;
    if (!std::filesystem::is_regular_file(file, ec)) {
        out.problems.push_back({file, 0, "not a regular file"});
        return out;
    }
    Parser parser(out, limits, 0);
    parser.ReadFile(file);
    return out;
}

std::int64_t ParseScoreDate(std::string_view text)
{
    text = Trim(text);
    const bool slash = text.find('/') != std::string_view::npos;
    const char sep = slash ? '/' : '-';
    const std::size_t a = text.find(sep);
    const std::size_t b = a == std::string_view::npos ? a : text.find(sep, a + 1);
    if (b == std::string_view::npos)
        return -1;
    const auto first = ParseInt(text.substr(0, a), 1, 31);
    const auto second = ParseInt(text.substr(a + 1, b - a - 1), 1, 31);
    const auto year = ParseInt(text.substr(b + 1), 1970, 9999);
    if (!first || !second || !year)
        return -1;
    const auto month = static_cast<unsigned>(slash ? *first : *second);
    const auto day = static_cast<unsigned>(slash ? *second : *first);
    static constexpr unsigned kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day > kDays[month - 1])
        return -1;
    const bool leap = (*year % 4 == 0 && *year % 100 != 0) || *year % 400 == 0;
    if (month == 2 && day == 29 && !leap)
        return -1;
    return DaysFromCivil(*year, month, day);
}

std::string FormatScoreDate(std::int64_t day)
{
    // civil_from_days
    const std::int64_t z = day + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%u/%u/%lld", m, d, static_cast<long long>(y));
    return buffer;
}

bool ScoreGroupMatches(std::string_view pattern, std::string_view group)
{
    // Iterative wildcard match with one backtrack point: linear enough for group names.
    std::size_t p = 0, g = 0, star = std::string_view::npos, mark = 0;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    while (g < group.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = g;
        } else if (p < pattern.size() && (pattern[p] == '?' || lower(pattern[p]) == lower(group[g]))) {
            ++p;
            ++g;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            g = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool RuleAppliesToGroup(const ScoreRule& rule, std::string_view group)
{
    return std::any_of(rule.groups.begin(), rule.groups.end(),
                       [&](const std::string& p) { return ScoreGroupMatches(p, group); });
}

std::string DescribeProblems(const ScoreRules& rules)
{
    std::string out;
    for (const ScoreProblem& p : rules.problems) {
        out += p.file.string();
        if (p.line > 0)
            out += ":" + std::to_string(p.line);
        out += ": " + p.text + "\n";
    }
    if (rules.problemsDropped)
        out += "(" + std::to_string(rules.problemsDropped) + " more)\n";
    return out;
}

} // namespace news
