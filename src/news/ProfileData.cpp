#include "news/ProfileData.h"

#include "platform/ProfileFile.h"
#include "platform/Registry.h"

namespace news {

CProfileData::CProfileData(std::filesystem::path path, std::string defaultSection, platform::Registry* registry)
    : m_path(std::move(path)), m_section(std::move(defaultSection)), m_registry(registry)
{
}

platform::Registry& CProfileData::Store() const
{
    return m_registry ? *m_registry : platform::Registry::User();
}

std::string CProfileData::GetString(std::string_view key, std::string_view def, std::string_view section) const
{
    if (m_path.empty())
        return Store().GetString(Section(section), key, def);
    return platform::GetProfileString(m_path, Section(section), key, def);
}

int CProfileData::GetInt(std::string_view key, int def, std::string_view section) const
{
    if (m_path.empty())
        return Store().GetInt(Section(section), key, def);
    return platform::GetProfileInt(m_path, Section(section), key, def);
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
    if (m_path.empty()) {
        if (!value)
            return Store().DeleteValue(Section(section), key);
        return Store().WriteString(Section(section), key, *value);
    }
    std::optional<std::string> text;
    if (value)
        text = QuoteValue(*value);
    if (m_collect && Section(section) == m_section) {
        m_pending.emplace_back(std::string(key), std::move(text));
        return true;
    }
    if (!text)
        return platform::WriteProfileString(m_path, Section(section), key, std::nullopt);
    return platform::WriteProfileString(m_path, Section(section), key, std::string_view(*text));
}

void CProfileData::BeginWrites()
{
    m_collect = !m_path.empty();
    m_pending.clear();
}

bool CProfileData::CommitWrites()
{
    if (!m_collect)
        return true;
    m_collect = false;
    auto pending = std::move(m_pending);
    m_pending.clear();
    return platform::WriteProfileStrings(m_path, m_section, pending);
}

bool CProfileData::WriteInt(std::string_view key, int value, std::string_view section)
{
    if (m_path.empty())
        return Store().WriteInt(Section(section), key, value);
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
