#include "ui/RecentFiles.h"

#include "platform/Registry.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <filesystem>

namespace ui {

static std::string KeyOf(int index)
{
    return "File" + std::to_string(index + 1);
}

int RecentFileList::Prune(platform::Registry& registry)
{
    std::vector<std::string> kept;
    int removed = 0;
    for (int i = 0; i < kSize; ++i) {
        const std::string path = registry.GetString(kSection, KeyOf(i));
        if (path.empty())
            continue;
        std::error_code error;
        if (std::filesystem::exists(std::filesystem::path(path), error))
            kept.push_back(path);
        else
            ++removed;
    }
    if (removed) {
        RecentFileList list;
        list.files_ = kept;
        list.Save(registry);
    }
    return removed;
}

void RecentFileList::Load(const platform::Registry& registry)
{
    files_.clear();
    for (int i = 0; i < kSize; ++i) {
        const std::string path = registry.GetString(kSection, KeyOf(i));
        if (!path.empty())
            files_.push_back(path);
    }
}

void RecentFileList::Save(platform::Registry& registry) const
{
    for (int i = 0; i < kSize; ++i) {
        if (i < Count())
            registry.WriteString(kSection, KeyOf(i), files_[std::size_t(i)]);
        else if (registry.TypeOf(kSection, KeyOf(i)))
            registry.DeleteValue(kSection, KeyOf(i));
    }
}

void RecentFileList::Add(const std::string& path)
{
    if (path.empty())
        return;
    files_.erase(std::remove(files_.begin(), files_.end(), path), files_.end());
    files_.insert(files_.begin(), path);
    if (files_.size() > std::size_t(kSize))
        files_.resize(std::size_t(kSize));
}

void RecentFileList::Remove(int index)
{
    if (index >= 0 && index < Count())
        files_.erase(files_.begin() + index);
}

QString RecentFileList::Abbreviate(const QString& path, int length)
{
    if (path.size() <= length)
        return path;
    const QString name = QFileInfo(path).fileName();
    if (name.size() + 4 >= length)
        return name;
    // Keep the first folder and the file name: "/home/.../x.lum".
    const int firstSep = int(path.indexOf(u'/', 1));
    if (firstSep > 0) {
        const QString head = path.left(firstSep + 1);
        const QString shortened = head + QStringLiteral(".../") + name;
        if (shortened.size() <= length)
            return shortened;
    }
    return QStringLiteral(".../") + name;
}

QString RecentFileList::MenuText(int index) const
{
    QString shown = Abbreviate(QString::fromStdString(At(index)));
    shown.replace(u'&', QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(index + 1).arg(shown);
}

} // namespace ui
