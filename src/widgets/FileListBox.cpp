#include "widgets/FileListBox.h"

#include "platform/System.h"
#include "project/SortedList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <utility>
#include <vector>

namespace {
constexpr int kNameRole = Qt::UserRole;
} // namespace

FileListBox::FileListBox(const QString& mask, QWidget* parent)
    : QListWidget(parent)
    , m_patterns(mask.split(u';', Qt::SkipEmptyParts))
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
}

std::vector<std::string> FileListBox::matchingNames(const QString& folder) const
{
    // Without QDir::CaseSensitive the patterns match regardless of case.
    const QDir dir(folder);
    QStringList found = dir.entryList(m_patterns, QDir::Files);
    if (m_alsoExecutables) {
        // A link to a program counts as the program, as it does for the mask.
        const QSet<QString> matched(found.cbegin(), found.cend());
        for (const QString& name : dir.entryList(QDir::Files | QDir::Executable)) {
            if (!matched.contains(name))
                found.push_back(name);
        }
    }
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(found.size()));
    for (const QString& name : found)
        names.push_back(QFile::encodeName(name).toStdString());
    plimbury::SortedList sorted;
    sorted.assign(std::move(names));
    return sorted.lines();
}

bool FileListBox::matches(const QString& path) const
{
    const QFileInfo info(path);
    if (!info.isFile())
        return false;
    return QDir::match(m_patterns, info.fileName()) || (m_alsoExecutables && info.isExecutable());
}

void FileListBox::setDirectory(const QString& folder)
{
    m_directory = folder;
    clear();
    for (const std::string& name : matchingNames(folder)) {
        const QByteArray bytes = QByteArray::fromStdString(name);
        auto* item = new QListWidgetItem(QFile::decodeName(bytes), this);
        item->setData(kNameRole, bytes);
    }
}

std::string FileListBox::pathOf(const QListWidgetItem* item) const
{
    return joinFolderFile(QFile::encodeName(QDir::toNativeSeparators(m_directory)).toStdString(),
                          item->data(kNameRole).toByteArray().toStdString());
}

std::string FileListBox::pickedFile() const
{
    if (const QListWidgetItem* current = currentItem(); current && current->isSelected())
        return pathOf(current);
    const QList<QListWidgetItem*> selected = selectedItems();
    if (selected.isEmpty())
        return {};
    return pathOf(selected.front());
}

std::vector<std::string> FileListBox::pickedFiles() const
{
    std::vector<std::string> paths;
    for (int i = 0; i < count(); ++i) {
        if (const QListWidgetItem* line = item(i); line->isSelected())
            paths.push_back(pathOf(line));
    }
    return paths;
}

std::string joinFolderFile(const std::string& folder, const std::string& name)
{
    const std::string separator = plimbury::pathSeparator();
    if (!folder.empty() && folder.back() == separator.back())
        return folder + name;
    return folder + separator + name;
}
