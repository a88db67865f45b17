#include "widgets/DirectoryListBox.h"

#include "project/SortedList.h"

#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QKeyEvent>

#include <algorithm>

namespace {
constexpr int kFolderRole = Qt::UserRole;
} // namespace

DirectoryListBox::DirectoryListBox(QWidget* parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(16, 16));
    // A long path shows its end, the folder the user is in.
    setTextElideMode(Qt::ElideLeft);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(this, &QListWidget::itemDoubleClicked, this, &DirectoryListBox::open);
}

void DirectoryListBox::setDirectory(const QString& folder)
{
    QString target = QDir::cleanPath(QDir(folder).absolutePath());
    // A folder deleted behind our back: stay as close to it as we can.
    while (!QFileInfo(target).isDir() && !QDir(target).isRoot()) {
        const QString up = QFileInfo(target).absolutePath();
        if (up == target)
            break;
        target = up;
    }
    m_directory = target;

    QStringList names = QDir(target).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    // The same order as the lists of the program: bytes compared ignoring ASCII case.
    std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return plimbury::compareText(QFile::encodeName(a).toStdString(),
                                     QFile::encodeName(b).toStdString()) < 0;
    });

    const QFileIconProvider icons;
    clear();
    auto* here = new QListWidgetItem(icons.icon(QFileIconProvider::Folder), QDir::toNativeSeparators(target), this);
    here->setData(kFolderRole, target);
    here->setToolTip(here->text());
    if (!QDir(target).isRoot()) {
        auto* up = new QListWidgetItem(icons.icon(QFileIconProvider::Folder), QStringLiteral(".."), this);
        up->setData(kFolderRole, QFileInfo(target).absolutePath());
    }
    const QDir dir(target);
    for (const QString& name : names) {
        auto* item = new QListWidgetItem(icons.icon(QFileIconProvider::Folder), name, this);
        item->setData(kFolderRole, dir.filePath(name));
    }
    setCurrentRow(0);
    emit directoryChanged(m_directory);
}

void DirectoryListBox::open(const QListWidgetItem* item)
{
    if (item != nullptr)
        setDirectory(item->data(kFolderRole).toString());
}

void DirectoryListBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        open(currentItem());
        return;
    }
    QListWidget::keyPressEvent(event);
}
