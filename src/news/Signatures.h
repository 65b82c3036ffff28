#pragma once
// The user's three signatures, the selected one and the auto-insert switch,
// kept per user in the settings store, section "Signature": nSelect,
// bAutoInsert and sign0..sign2 (binary values: the text and one zero byte).

#include <optional>
#include <string>
#include <string_view>

namespace platform { class Registry; }

namespace news {

class CSignatureStore {
public:
    static constexpr int kCount = 3;

    // registry: the per-user store the signatures live in.
    explicit CSignatureStore(platform::Registry& registry) : registry_(registry) {}

    // The selected signature, 0..2; a value out of that range reads as 0.
    int GetSignSelect() const;
    bool SetSignSelect(int n);
    bool GetSignAutoInsert() const;
    bool SetSignAutoInsert(bool on);
    // Empty when the value is missing or not binary. Read whole, up to its zero.
    std::string GetSignature(int n) const;
    // An empty text writes nothing: the stored text stays.
    bool SetSignature(int n, std::string_view text);
    // For the editor, where emptying a signature means removing it.
    bool DeleteSignature(int n);

    // The values as stored, for the configuration file to carry them along.
    int GetStoredSelect() const;
    bool SetStoredSelect(int n);

private:
    platform::Registry& Store() const { return registry_; }
    platform::Registry& registry_;
};

// The form a signature takes in a configuration file: standard Base64 of its
// bytes, on one line.
std::string EncodeSignatureText(std::string_view text);
// Empty optional when the text is not valid Base64.
std::optional<std::string> DecodeSignatureText(std::string_view base64);

} // namespace news
