#include "news/ScoreRegex.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace news {

namespace {
// Enough for any sane header pattern; a catastrophic one gives up instead.
constexpr uint32_t kMatchLimit = 200'000;
constexpr uint32_t kDepthLimit = 10'000;
} // namespace

struct ScoreRegex::Impl {
    pcre2_code* code = nullptr;
    pcre2_match_data* data = nullptr;
    pcre2_match_context* context = nullptr;
    bool jit = false;
    ~Impl()
    {
        pcre2_match_context_free(context);
        pcre2_match_data_free(data);
        pcre2_code_free(code);
    }
};

ScoreRegex::ScoreRegex(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
ScoreRegex::~ScoreRegex() = default;

std::unique_ptr<ScoreRegex> ScoreRegex::Compile(std::string_view pattern, std::string& error)
{
    const std::string translated = TranslateSlrnPattern(pattern);
    int code = 0;
    PCRE2_SIZE offset = 0;
    auto impl = std::make_unique<Impl>();
    impl->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(translated.data()), translated.size(),
                               PCRE2_UTF | PCRE2_CASELESS, &code, &offset, nullptr);
    if (!impl->code) {
        PCRE2_UCHAR buffer[256];
        pcre2_get_error_message(code, buffer, sizeof buffer);
        error = reinterpret_cast<const char*>(buffer);
        error += " at offset " + std::to_string(offset);
        return nullptr;
    }
    impl->jit = pcre2_jit_compile(impl->code, PCRE2_JIT_COMPLETE) == 0;
    impl->data = pcre2_match_data_create(1, nullptr);
    impl->context = pcre2_match_context_create(nullptr);
    if (!impl->data || !impl->context) {
        error = "out of memory";
        return nullptr;
    }
    pcre2_set_match_limit(impl->context, kMatchLimit);
    pcre2_set_depth_limit(impl->context, kDepthLimit);
    return std::unique_ptr<ScoreRegex>(new ScoreRegex(std::move(impl)));
}

bool ScoreRegex::Search(std::string_view text) const { return Run(text) >= 0; }

bool ScoreRegex::MayMatch(std::string_view text) const { return Run(text) != PCRE2_ERROR_NOMATCH; }

int ScoreRegex::Run(std::string_view text) const
{
    const auto* subject = reinterpret_cast<PCRE2_SPTR>(text.data());
    const int rc = impl_->jit ? pcre2_jit_match(impl_->code, subject, text.size(), 0, 0, impl_->data, impl_->context)
                              : pcre2_match(impl_->code, subject, text.size(), 0, PCRE2_NO_UTF_CHECK, impl_->data,
                                            impl_->context);
    return rc;
}

std::string TranslateSlrnPattern(std::string_view pattern)
{
    std::string out;
    out.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '\\' && i + 1 < pattern.size()) {
            const char next = pattern[i + 1];
            if (next == '<' || next == '>')
                out += "\\b";
            else
                out.append(pattern.substr(i, 2));
            ++i;
            continue;
        }
        out += pattern[i];
    }
    return out;
}

std::string EscapeScorePattern(std::string_view text)
{
    static constexpr std::string_view kSpecial = "\\^$.|?*+()[]{}";
    std::string out;
    out.reserve(text.size() + 8);
    for (const char c : text) {
        if (kSpecial.find(c) != std::string_view::npos)
            out += '\\';
        out += c;
    }
    return out;
}

} // namespace news
