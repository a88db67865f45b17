#include "Tscreensaver.h"

#include "widgets/DirectoryListBox.h"
#include "widgets/DriveComboBox.h"
#include "widgets/FileListBox.h"
#include "widgets/SortedListBox.h"
#include "platform/System.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>

#include <utility>

namespace {
std::optional<plimbury::TestRunMeans>& testRunOverride()
{
    static std::optional<plimbury::TestRunMeans> means;
    return means;
}
} // namespace

void Tscreensaver::setTestRunMeans(std::optional<plimbury::TestRunMeans> means)
{
    testRunOverride() = std::move(means);
}

Tscreensaver::Tscreensaver(QWidget* mainWindow, SortedListBox* mainList)
    : ListEditor(mainWindow, mainList, QStringLiteral("screensaver"), QStringLiteral("*.scr"))
{
#ifndef _WIN32
    // xscreensaver's programs carry no extension.
    FileListBox1->setAlsoExecutables(true);
#endif
    BitBtn4 = new QPushButton(QStringLiteral("preview"), this);
    BitBtn4->setObjectName(QStringLiteral("BitBtn4"));
    BitBtn4->setGeometry(248, 146, 41, 25);
    BitBtn3->setGeometry(248, 187, 43, 25);
    FileListBox2->setGeometry(302, 8, 347, 353);
    Label1->move(256, 280);
    Label1->adjustSize();
    Label1->hide();

    setTabOrder(DriveComboBox1, DirectoryListBox1);
    setTabOrder(DirectoryListBox1, FileListBox1);
    setTabOrder(FileListBox1, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    setTabOrder(BitBtn2, BitBtn3);
    setTabOrder(BitBtn3, FileListBox2);
    setTabOrder(FileListBox2, BitBtn4);

    onEvent(BitBtn4, &QPushButton::clicked, [this] { BitBtn4Click(); });

    dialogs::guarded(this, [this] { FormCreate(); });
}

Tscreensaver::~Tscreensaver() = default;

void Tscreensaver::FormCreate()
{
    // The drive selector and the disk list follow the folder list.
    DirectoryListBox1->setDirectory(QFile::decodeName(QByteArray::fromStdString(plimbury::systemScreenSaverFolder())));
}

void Tscreensaver::BitBtn4Click()
{
    const std::string picked = FileListBox1->pickedFile();
    if (picked.empty())
        return;
    // Started as the program itself, never through a command line that a
    // shell or the system would split at blanks.
    const std::optional<plimbury::TestRunMeans>& given = testRunOverride();
    plimbury::testRunScreenSaver(picked, given ? *given : plimbury::systemTestRunMeans());
}
