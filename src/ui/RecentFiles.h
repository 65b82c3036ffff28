#pragma once
// The four most recently used configuration files ("Recent File List",
// File1..File4 in the settings store).

#include <QString>
#include <string>
#include <vector>

namespace platform { class Registry; }

namespace ui {

class RecentFileList {
public:
    static constexpr int kSize = 4;
    static constexpr int kDisplayLength = 30;
    static constexpr const char* kSection = "Recent File List";

    // Drops entries whose file is gone; writes the list back only when it changed.
    static int Prune(platform::Registry& registry);

    void Load(const platform::Registry& registry);
    void Save(platform::Registry& registry) const;
    // Moves path (UTF-8) to the top.
    void Add(const std::string& path);
    void Remove(int index);
    int Count() const { return int(files_.size()); }
    const std::string& At(int index) const { return files_.at(std::size_t(index)); }
    // "&1 name" as the menu shows it, the path shortened to the display length.
    QString MenuText(int index) const;
    static QString Abbreviate(const QString& path, int length = kDisplayLength);

private:
    std::vector<std::string> files_;
};

} // namespace ui
