#include "Twall.h"

#include "widgets/DirectoryListBox.h"
#include "widgets/DriveComboBox.h"
#include "widgets/FileListBox.h"
#include "editors/PreviewLoader.h"
#include "widgets/SortedListBox.h"
#include "imaging/PictureFormat.h"

#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace {
const QSize kPreviewSize(344, 258);
} // namespace

Twall::Twall(QWidget* mainWindow, SortedListBox* mainList)
    : ListEditor(mainWindow, mainList, QStringLiteral("wall"), QString::fromLatin1(plimbury::kPictureFilePatterns))
{
    BitBtn3->setGeometry(248, 147, 43, 25);
    Label1->move(208, 224);
    Label1->adjustSize();

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(303, 5, 346, 260);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(1);
    QPalette panelColours = Panel1->palette();
    // The system's gradient-active-caption colour in its default scheme.
    panelColours.setColor(QPalette::Window, QColor(185, 209, 234));
    Panel1->setPalette(panelColours);
    Panel1->setAutoFillBackground(true);
    Image1 = new QLabel(Panel1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(QRect(QPoint(1, 1), kPreviewSize));
    Image1->setScaledContents(true);

    FileListBox2->setGeometry(302, 272, 347, 89);

    setTabOrder(Panel1, FileListBox2);
    setTabOrder(FileListBox2, FileListBox1);
    setTabOrder(FileListBox1, DriveComboBox1);
    setTabOrder(DriveComboBox1, DirectoryListBox1);
    setTabOrder(DirectoryListBox1, BitBtn3);
    setTabOrder(BitBtn3, BitBtn2);
    setTabOrder(BitBtn2, BitBtn1);

    m_loader = std::make_unique<PreviewLoader>(
        kPreviewSize,
        [this](const std::string& path, const QImage& picture) { showPicture(path, picture); },
        [this](const std::string&, const std::string& text) { dialogs::showError(this, text); });

    onEvent(FileListBox1, &QListWidget::itemSelectionChanged, [this] { FileListBox1Click(); });
    onEvent(FileListBox2, &QListWidget::itemSelectionChanged, [this] { FileListBox2Click(); });

    dialogs::guarded(this, [this] { FormCreate(); });
}

Twall::~Twall() = default;

void Twall::FormCreate()
{
    const QString systemDrive = DriveComboBox::systemDrive();
    const QString current = QDir::currentPath();
    DriveComboBox1->selectDrive(systemDrive);
    // On the system drive already: the lists stay at the current folder.
    if (DriveComboBox1->volumeOf(current) == systemDrive)
        DirectoryListBox1->setDirectory(current);
    else
        DirectoryListBox1->setDirectory(DriveComboBox1->currentFolderOf(systemDrive));
}

void Twall::FileListBox1Click()
{
    const std::string picked = FileListBox1->pickedFile();
    if (!picked.empty())
        preview(picked);
}

void Twall::FileListBox2Click()
{
    const int selected = FileListBox2->selectedIndex();
    if (selected >= 0)
        preview(FileListBox2->line(static_cast<std::size_t>(selected)));
}

bool Twall::previewBusy() const
{
    return m_loader->busy();
}

void Twall::preview(const std::string& path)
{
    m_loader->request(path, Image1->devicePixelRatio());
}

void Twall::showPicture(const std::string& path, const QImage& picture)
{
    Image1->setPixmap(QPixmap::fromImage(picture));
    m_previewPath = path;
    emit previewShown(QFile::decodeName(QByteArray::fromStdString(path)));
}
