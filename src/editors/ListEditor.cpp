#include "ListEditor.h"

#include "widgets/DirectoryListBox.h"
#include "widgets/DriveComboBox.h"
#include "widgets/FileListBox.h"
#include "widgets/LayoutFont.h"
#include "widgets/SortedListBox.h"

#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QUrl>
#include <QPalette>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>

#include <utility>

ListEditor::ListEditor(QWidget* mainWindow, SortedListBox* mainList, const QString& caption, const QString& mask)
    // A tool window, as the main window is: off the taskbar.
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint)
    , m_mainWindow(mainWindow)
    , m_mainList(mainList)
{
    setWindowTitle(caption);
    setFixedSize(655, 364);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(166, 202, 240));
    setPalette(palette);
    setAutoFillBackground(true);
    widgets::useLayoutFont(this);

    // Created first so that the lists stack above it where they overlap.
    Label1 = new QLabel(QStringLiteral("0"), this);
    DriveComboBox1 = new DriveComboBox(this);
    DriveComboBox1->setGeometry(8, 8, 225, 19);
    DirectoryListBox1 = new DirectoryListBox(this);
    DirectoryListBox1->setGeometry(8, 32, 225, 145);
    FileListBox1 = new FileListBox(mask, this);
    FileListBox1->setGeometry(8, 184, 225, 177);
    BitBtn1 = new QPushButton(QStringLiteral("Add"), this);
    BitBtn1->setGeometry(249, 65, 41, 25);
    BitBtn2 = new QPushButton(QStringLiteral("Del"), this);
    BitBtn2->setGeometry(249, 105, 41, 25);
    BitBtn3 = new QPushButton(QStringLiteral("OK"), this);
    FileListBox2 = new SortedListBox(this);
    const std::pair<QWidget*, const char*> names[] = {
        {Label1, "Label1"},   {DriveComboBox1, "DriveComboBox1"}, {DirectoryListBox1, "DirectoryListBox1"},
        {FileListBox1, "FileListBox1"}, {BitBtn1, "BitBtn1"}, {BitBtn2, "BitBtn2"},
        {BitBtn3, "BitBtn3"}, {FileListBox2, "FileListBox2"}};
    for (const auto& [widget, name] : names)
        widget->setObjectName(QLatin1String(name));

    connect(DriveComboBox1, &DriveComboBox::driveChosen, DirectoryListBox1, &DirectoryListBox::setDirectory);
    connect(DirectoryListBox1, &DirectoryListBox::directoryChanged, this, [this](const QString& folder) {
        DriveComboBox1->followFolder(folder);
        FileListBox1->setDirectory(folder);
    });
    // Drops arrive at the list's viewport.
    FileListBox2->setAcceptDrops(true);
    FileListBox2->viewport()->setAcceptDrops(true);
    FileListBox2->viewport()->installEventFilter(this);
    onEvent(BitBtn1, &QPushButton::clicked, [this] { BitBtn1Click(); });
    onEvent(BitBtn2, &QPushButton::clicked, [this] { BitBtn2Click(); });
    onEvent(BitBtn3, &QPushButton::clicked, [this] { BitBtn3Click(); });
}

ListEditor::~ListEditor() = default;

void ListEditor::showEditor()
{
    show();
    raise();
    activateWindow();
}

void ListEditor::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        dialogs::guarded(this, [this] { FormShow(); });
}

void ListEditor::FormShow()
{
    if (m_partner != nullptr)
        m_partner->hide();
    if (m_mainWindow != nullptr)
        move(m_mainWindow->pos() + QPoint(91, 172));
}

void ListEditor::BitBtn1Click()
{
    const std::vector<std::string> picked = FileListBox1->pickedFiles();
    if (picked.empty())
        return;
    if (picked.size() == 1)
        FileListBox2->addLine(picked.front());
    else
        FileListBox2->addLines(picked);
    showCount();
}

bool ListEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != FileListBox2->viewport())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (drag->mimeData()->hasUrls())
            drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!drop->mimeData()->hasUrls())
            return false;
        drop->acceptProposedAction();
        const QList<QUrl> urls = drop->mimeData()->urls();
        dialogs::guarded(this, [this, urls] { dropFiles(urls); });
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void ListEditor::dropFiles(const QList<QUrl>& urls)
{
    std::vector<std::string> added;
    int leftOut = 0;
    for (const QUrl& url : urls) {
        const QString path = url.toLocalFile();
        const QFileInfo info(path);
        if (!path.isEmpty() && info.isDir()) {
            const std::string folder = QFile::encodeName(QDir::toNativeSeparators(path)).toStdString();
            const std::vector<std::string> names = FileListBox1->matchingNames(path);
            for (const std::string& name : names)
                added.push_back(joinFolderFile(folder, name));
            // What the folder holds besides: files of other kinds, not its sub-folders.
            leftOut += static_cast<int>(QDir(path).entryList(QDir::Files).size()) - static_cast<int>(names.size());
        } else if (!path.isEmpty() && FileListBox1->matches(path)) {
            added.push_back(QFile::encodeName(QDir::toNativeSeparators(path)).toStdString());
        } else {
            ++leftOut;
        }
    }
    if (!added.empty()) {
        FileListBox2->addLines(added);
        showCount();
    }
    if (leftOut > 0)
        dialogs::showMessage(this, leftOut == 1 ? std::string("1 dropped file was left out: this list does not take its kind")
                                                : std::to_string(leftOut) +
                                                      " dropped files were left out: this list does not take their kind");
}

void ListEditor::BitBtn2Click()
{
    {
        // Removing the selected line would otherwise move the selection to a
        // neighbour, which counts as a selection change (a preview in Twall).
        const QSignalBlocker quiet(FileListBox2);
        const int selected = FileListBox2->selectedIndex();
        if (selected >= 0)
            FileListBox2->removeLine(static_cast<std::size_t>(selected));
        FileListBox2->clearSelection();
        FileListBox2->setCurrentRow(-1);
    }
    showCount();
}

void ListEditor::showCount()
{
    Label1->setText(QString::number(FileListBox2->lineCount()));
    Label1->adjustSize();
}

void ListEditor::BitBtn3Click()
{
    m_mainList->setVisible(true);
    m_mainList->setLines(FileListBox2->lines());
    hide();
}

void ListEditor::setChosenLines(const std::vector<std::string>& lines)
{
    FileListBox2->setLines(lines);
}

void ListEditor::clearChosenLines()
{
    FileListBox2->clearLines();
}
