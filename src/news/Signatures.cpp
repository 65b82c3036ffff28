#include "news/Signatures.h"

#include "platform/Registry.h"

#include <cstdint>
#include <vector>

namespace news {

namespace {

constexpr std::string_view kSection = "Signature";

std::string ValueName(int n)
{
    return "sign" + std::to_string(n);
}

bool ValidIndex(int n)
{
    return n >= 0 && n < CSignatureStore::kCount;
}

} // namespace

int CSignatureStore::GetStoredSelect() const
{
    return Store().GetInt(kSection, "nSelect", 0);
}

bool CSignatureStore::SetStoredSelect(int n)
{
    return Store().WriteInt(kSection, "nSelect", n);
}

int CSignatureStore::GetSignSelect() const
{
    const int n = GetStoredSelect();
    return ValidIndex(n) ? n : 0;
}

bool CSignatureStore::SetSignSelect(int n)
{
    return SetStoredSelect(n);
}

bool CSignatureStore::GetSignAutoInsert() const
{
    return Store().GetInt(kSection, "bAutoInsert", 0) != 0;
}

bool CSignatureStore::SetSignAutoInsert(bool on)
{
    return Store().WriteInt(kSection, "bAutoInsert", on ? 1 : 0);
}

std::string CSignatureStore::GetSignature(int n) const
{
    if (!ValidIndex(n))
        return {};
    std::vector<std::uint8_t> bytes;
    const std::size_t size = Store().GetBinary(kSection, ValueName(n), bytes);
    std::string text(reinterpret_cast<const char*>(bytes.data()), std::min(size, bytes.size()));
    const std::size_t zero = text.find('\0');
    if (zero != std::string::npos)
        text.resize(zero);
    return text;
}

bool CSignatureStore::SetSignature(int n, std::string_view text)
{
    if (!ValidIndex(n))
        return false;
    if (text.empty())
        return true;
    std::string value(text);
    value.push_back('\0');
    return Store().WriteBinary(kSection, ValueName(n), value.data(), value.size());
}

bool CSignatureStore::DeleteSignature(int n)
{
    if (!ValidIndex(n))
        return false;
    return Store().DeleteValue(kSection, ValueName(n));
}

} // namespace news
