#include "news/ProfileData.h"

#include "platform/ProfileFile.h"
#include "platform/Registry.h"

namespace news {

CProfileData::CProfileData(std::filesystem::path path, std::string defaultSection, platform::Registry* registry)
    : path_(std::move(path)), section_(std::move(defaultSection)), registry_(registry)
{
}

std::string CProfileData::GetString(std::string_view key, std::string_view def, std::string_view section) const
{
    if (path_.empty())
        return registry_ ? registry_->GetString(Section(section), key, def) : std::string(def);
    return platform::GetProfileString(path_, Section(section), key, def);
}

int CProfileData::GetInt(std::string_view key, int def, std::string_view section) const
{
    if (path_.empty())
        return registry_ ? registry_->GetInt(Section(section), key, def) : def;
    return platform::GetProfileInt(path_, Section(section), key, def);
}

bool CProfileData::GetBool(std::string_view key, bool def, std::string_view section) const
{
    const std::string value = GetString(key, def ? "YES" : "NO", section);
    if (value.size() < 3)
        return false;
    for (int i = 0; i < 3; ++i) {
        char c = value[static_cast<std::size_t>(i)];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != "YES"[i])
            return false;
    }
    return true;
}

std::string CProfileData::QuoteValue(std::string_view value)
{
    std::string text(value);
    for (char& c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    const bool quote = text.find_first_of(" \t") != std::string::npos ||
                       (!text.empty() && (text.front() == '"' || text.back() == '"'));
    return quote ? '"' + text + '"' : text;
}

bool CProfileData::WriteString(std::string_view key, std::optional<std::string_view> value, std::string_view section)
{
    if (path_.empty()) {
        if (!registry_)
            return false;
        if (!value)
            return registry_->DeleteValue(Section(section), key);
        return registry_->WriteString(Section(section), key, *value);
    }
    std::optional<std::string> text;
    if (value)
        text = QuoteValue(*value);
    if (collect_ && Section(section) == section_) {
        pending_.emplace_back(std::string(key), std::move(text));
        return true;
    }
    if (!text)
        return platform::WriteProfileString(path_, Section(section), key, std::nullopt);
    return platform::WriteProfileString(path_, Section(section), key, std::string_view(*text));
}

void CProfileData::BeginWrites()
{
    collect_ = !path_.empty();
    pending_.clear();
}

bool CProfileData::CommitWrites()
{
    if (!collect_)
        return true;
    collect_ = false;
    auto pending = std::move(pending_);
    pending_.clear();
    return platform::WriteProfileStrings(path_, section_, pending);
}

bool CProfileData::WriteInt(std::string_view key, int value, std::string_view section)
{
    if (path_.empty())
        return registry_ && registry_->WriteInt(Section(section), key, value);
    return WriteString(key, std::string_view(std::to_string(value)), section);
}

bool CProfileData::WriteBool(std::string_view key, bool value, std::string_view section)
{
    return WriteString(key, std::string_view(value ? "YES" : "NO"), section);
}

bool CProfileData::ExchangeString(bool store, std::string& value, std::string_view def, std::string_view key)
{
    if (store)
        return WriteString(key, std::string_view(value));
    value = GetString(key, def);
    return true;
}

bool CProfileData::ExchangeInt(bool store, int& value, int def, std::string_view key)
{
    if (store)
        return WriteInt(key, value);
    value = GetInt(key, def);
    return true;
}

bool CProfileData::ExchangeBool(bool store, bool& value, bool def, std::string_view key)
{
    if (store)
        return WriteBool(key, value);
    value = GetBool(key, def);
    return true;
}

} // namespace news
