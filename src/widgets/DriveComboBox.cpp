#include "widgets/DriveComboBox.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>

namespace {
constexpr int kPathRole = Qt::UserRole;
constexpr int kFolderRole = Qt::UserRole + 1;
constexpr int kVolumeRole = Qt::UserRole + 2;

QString withoutTrailingSeparator(QString path)
{
    while (path.size() > 1 && path.endsWith(u'/') && !QDir(path).isRoot())
        path.chop(1);
    return path;
}
} // namespace

DriveComboBox::DriveComboBox(QWidget* parent)
    : QComboBox(parent)
{
    QStringList roots;
    roots.append(systemDrive());
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady())
            roots.append(withoutTrailingSeparator(volume.rootPath()));
    }
    roots.removeDuplicates();
    // The system drive first, the rest in path order, as drive letters would be.
    std::sort(roots.begin() + 1, roots.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    for (const QString& root : roots)
        addEntry(root, QDir::toNativeSeparators(root), true);
#ifndef Q_OS_WIN
    const QString home = withoutTrailingSeparator(QDir::homePath());
    if (indexOfDrive(home) < 0)
        addEntry(home, QStringLiteral("~  ") + home, false);
#endif
    connect(this, &QComboBox::activated, this, [this](int index) {
        QString folder = itemData(index, kFolderRole).toString();
        if (!QFileInfo(folder).isDir())
            folder = itemData(index, kPathRole).toString();
        emit driveChosen(folder);
    });
}

QString DriveComboBox::systemDrive()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:/");
#else
    return QStringLiteral("/");
#endif
}

void DriveComboBox::addEntry(const QString& path, const QString& text, bool isVolume)
{
    addItem(text);
    const int at = count() - 1;
    setItemData(at, path, kPathRole);
    setItemData(at, path, kFolderRole);
    setItemData(at, isVolume, kVolumeRole);
}

int DriveComboBox::indexOfDrive(const QString& drive) const
{
    for (int i = 0; i < count(); ++i) {
        if (QString::compare(itemData(i, kPathRole).toString(), drive, Qt::CaseSensitive) == 0)
            return i;
    }
    return -1;
}

QString DriveComboBox::drive() const
{
    return currentIndex() < 0 ? QString() : itemData(currentIndex(), kPathRole).toString();
}

bool DriveComboBox::isInside(const QString& folder, const QString& root)
{
#ifdef Q_OS_WIN
    const Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    const Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    if (!folder.startsWith(root, cs))
        return false;
    return folder.size() == root.size() || root.endsWith(u'/') || folder.at(root.size()) == u'/';
}

QString DriveComboBox::volumeOf(const QString& folder) const
{
    QString best;
    for (int i = 0; i < count(); ++i) {
        const QString path = itemData(i, kPathRole).toString();
        if (itemData(i, kVolumeRole).toBool() && isInside(folder, path) && path.size() > best.size())
            best = path;
    }
    return best;
}

QString DriveComboBox::currentFolderOf(const QString& drive) const
{
    const int at = indexOfDrive(drive);
    return at < 0 ? drive : itemData(at, kFolderRole).toString();
}

void DriveComboBox::selectDrive(const QString& drive)
{
    const int at = indexOfDrive(drive);
    if (at >= 0)
        setCurrentIndex(at);
}

void DriveComboBox::followFolder(const QString& folder)
{
    if (!isInside(folder, drive()))
        selectDrive(volumeOf(folder));
    if (currentIndex() >= 0 && isInside(folder, drive()))
        setItemData(currentIndex(), folder, kFolderRole);
}
