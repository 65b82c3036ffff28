#pragma once
// Per-user settings store standing in for the registry key of the application.
// Values are typed (string, integer, binary) and grouped in sections named after
// the window or feature that owns them ("MainWindow", "Signature", ...).
// The store is one text file written atomically (temporary file, fsync, rename).

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class Registry {
public:
    enum class Type { String, Integer, Binary };

    // Opens (and loads) the store at path. A missing file is an empty store.
    // A file that cannot be parsed is renamed aside (".damaged-<n>") and
    // LoadError() describes what happened; the store then starts empty.
    // A file that exists but cannot be read is left alone, LoadError() says so,
    // and writes fail rather than replace it.
    explicit Registry(std::filesystem::path path);

    // The per-user store: $XDG_CONFIG_HOME/Quorvane/Lumetra/registry
    // (~/.config when XDG_CONFIG_HOME is unset).
    static Registry& User();
    static std::filesystem::path UserStorePath();

    std::string GetString(std::string_view section, std::string_view key, std::string_view def = {}) const;
    int GetInt(std::string_view section, std::string_view key, int def) const;
    // Binary values: accepted only when the stored value is binary. Returns the
    // byte count (0 on any failure) and fills out.
    std::size_t GetBinary(std::string_view section, std::string_view key, std::vector<std::uint8_t>& out) const;
    // A binary value of exactly size bytes copied to out; false (out untouched)
    // for a missing value, another type or another size. Fixed-size records
    // (window rectangles, fonts) are read this way so that a short value
    // cannot leave part of the record unset.
    bool GetBinaryExact(std::string_view section, std::string_view key, void* out, std::size_t size) const;
    std::optional<Type> TypeOf(std::string_view section, std::string_view key) const;

    // Each write persists the whole store before returning; false when it could not.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    bool WriteInt(std::string_view section, std::string_view key, int value);
    // Deletes an old entry of the same name first, whatever its type.
    bool WriteBinary(std::string_view section, std::string_view key, const void* data, std::size_t size);
    bool DeleteValue(std::string_view section, std::string_view key);

    const std::string& LoadError() const { return loadError_; }
    const std::filesystem::path& Path() const { return path_; }

private:
    struct Value {
        Type type = Type::String;
        std::string text;               // String
        int number = 0;                 // Integer
        std::vector<std::uint8_t> bytes; // Binary
        std::string name;               // as first written
    };
    bool Load();
    bool Save() const;
    const Value* Find(std::string_view section, std::string_view key) const;
    // A string or integer keeps the spelling of the name it was first written with.
    bool WriteScalar(std::string_view section, std::string_view key, Value v);

    std::filesystem::path path_;
    std::string loadError_;
    // Set when an existing file could be neither read nor kept aside: writing
    // would then destroy the only copy of the user's settings.
    bool saveBlocked_ = false;
    // Section and value names compare case-insensitively, as the registry does.
    std::map<std::string, std::map<std::string, Value>> sections_; // keys folded to lower case
    std::map<std::string, std::string> displayNames_;                // folded -> as first written
};

// The per-user cache folder: $XDG_CACHE_HOME/Quorvane/Lumetra (~/.cache when
// XDG_CACHE_HOME is unset or relative). What lives there may be deleted at
// any time without losing anything.
std::filesystem::path UserCacheFolder();
// The per-user state folder: $XDG_STATE_HOME/Quorvane/Lumetra (~/.local/state
// when XDG_STATE_HOME is unset or relative), for what a session leaves for
// the next one.
std::filesystem::path UserStateFolder();

// Machine-wide "App Paths": the full path of a registered program by its
// executable name (for example "lumetra-mail"), or empty when none is registered.
// Read from /etc/xdg/Quorvane/Lumetra/apppaths (lines "name=path"; the install
// step registers lumetra-mail there), or from the file LUMETRA_APP_PATHS names
// (tests, the demo). The path is returned whole, however long.
std::string AppPathLookup(std::string_view executableName);

} // namespace platform
