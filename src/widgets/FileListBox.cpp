#include "widgets/FileListBox.h"

#include "platform/System.h"
#include "project/SortedList.h"

#include <QDir>
#include <QFile>
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
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void FileListBox::setDirectory(const QString& folder)
{
    m_directory = folder;
    // Without QDir::CaseSensitive the patterns match regardless of case.
    std::vector<std::string> names;
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
    names.reserve(static_cast<std::size_t>(found.size()));
    for (const QString& name : found)
        names.push_back(QFile::encodeName(name).toStdString());
    plimbury::SortedList sorted;
    sorted.assign(std::move(names));

    clear();
    for (const std::string& name : sorted.lines()) {
        const QByteArray bytes = QByteArray::fromStdString(name);
        auto* item = new QListWidgetItem(QFile::decodeName(bytes), this);
        item->setData(kNameRole, bytes);
    }
}

std::string FileListBox::pickedFile() const
{
    const QList<QListWidgetItem*> selected = selectedItems();
    if (selected.isEmpty())
        return {};
    return joinFolderFile(QFile::encodeName(QDir::toNativeSeparators(m_directory)).toStdString(),
                          selected.front()->data(kNameRole).toByteArray().toStdString());
}

std::string joinFolderFile(const std::string& folder, const std::string& name)
{
    const std::string separator = plimbury::pathSeparator();
    if (!folder.empty() && folder.back() == separator.back())
        return folder + name;
    return folder + separator + name;
}
