#pragma once
// Reads and writes one section of a profile-form text file ([section] and
// key=value lines). With an empty path every read and write goes to the
// per-user settings store instead, under the same section and key names.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform { class Registry; }

namespace news {

class CProfileData {
public:
    // registry: the store used when path is empty; with none, reads give
    // their defaults and writes are refused.
    CProfileData(std::filesystem::path path, std::string defaultSection, platform::Registry* registry);

    std::string GetString(std::string_view key, std::string_view def, std::string_view section = {}) const;
    int GetInt(std::string_view key, int def, std::string_view section = {}) const;
    // YES/NO: true when the value's first three letters are "yes" in any case.
    bool GetBool(std::string_view key, bool def, std::string_view section = {}) const;

    // A missing value deletes the key. False when the write was refused.
    bool WriteString(std::string_view key, std::optional<std::string_view> value, std::string_view section = {});
    bool WriteInt(std::string_view key, int value, std::string_view section = {});
    bool WriteBool(std::string_view key, bool value, std::string_view section = {});

    // Store set: write the value; clear: read it (def when the key is missing).
    // False only when a write was refused.
    bool ExchangeString(bool store, std::string& value, std::string_view def, std::string_view key);
    bool ExchangeInt(bool store, int& value, int def, std::string_view key);
    bool ExchangeBool(bool store, bool& value, bool def, std::string_view key);

    // Between these two, writes to the file of the default section are
    // collected and then made as one replacement of the file: all of them
    // reach it or none does. CommitWrites is false when that was refused.
    void BeginWrites();
    bool CommitWrites();

    const std::filesystem::path& Path() const { return path_; }

    // The form a string value takes in the file: enclosed in double quotes when
    // it holds a blank or a tab or begins or ends with a quote (the reader
    // removes one pair), line breaks turned into blanks.
    static std::string QuoteValue(std::string_view value);

private:
    std::string_view Section(std::string_view section) const
    {
        return section.empty() ? std::string_view(section_) : section;
    }

    std::filesystem::path path_;
    std::string section_;
    platform::Registry* registry_;
    bool collect_ = false;
    std::vector<std::pair<std::string, std::optional<std::string>>> pending_;
};

} // namespace news
