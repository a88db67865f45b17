#include "Tscreensaver.h"

#include "editors/DirectoryListBox.h"
#include "editors/DriveComboBox.h"
#include "editors/FileListBox.h"
#include "editors/SortedListBox.h"
#include "platform/System.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>

#include <exception>
#include <utility>

namespace {
Tscreensaver::Starter& starter()
{
    static Tscreensaver::Starter start = plimbury::startDetached;
    return start;
}
} // namespace

void Tscreensaver::setStarter(Starter start)
{
    starter() = start ? std::move(start) : Starter(plimbury::startDetached);
}

Tscreensaver::Tscreensaver(QWidget* mainWindow, SortedListBox* mainList)
    : ListEditor(mainWindow, mainList, QStringLiteral("screensaver"), QStringLiteral("*.scr"))
{
    BitBtn4 = new QPushButton(QStringLiteral("preview"), this);
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

    editors::guarded(this, [this] { FormCreate(); });
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
    // Started as the program itself with one argument, never through a
    // command line that a shell or the system would split at blanks.
    try {
        starter()(picked, {"-s"});
    } catch (const std::exception&) {
        // A test run that cannot start is not reported.
    }
}
