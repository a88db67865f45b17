// The wallpaper editor's preview: what it shows, what it reports, and that
// only the newest selection reaches the screen.

#include "EditorTestSupport.h"

#include "widgets/DirectoryListBox.h"
#include "widgets/FileListBox.h"
#include "widgets/SortedListBox.h"
#include "editors/Twall.h"
#include "support/Controls.h"
#include "support/TempDir.h"

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

using plimbury::test::control;

using namespace plimbury::test;

namespace {

struct Preview : ::testing::Test {
    EditorOver<Twall> scene;
    Twall& wall = scene.editor;
    TempDir dir;
    std::vector<QString> shown;

    void SetUp() override
    {
        QObject::connect(&wall, &Twall::previewShown, [this](const QString& path) { shown.push_back(path); });
        takeReportedErrors();
    }

    void openFolder() { control<DirectoryListBox>(wall, "DirectoryListBox1")->setDirectory(QString::fromStdString(dir.path().string())); }

    bool settle() { return waitUntil([this] { return !wall.previewBusy(); }); }

    QColor shownColour() const { return control<QLabel>(wall, "Image1")->pixmap().toImage().pixelColor(172, 129); }

    // Shows `path` through the chosen list, as a line loaded from a project would be.
    void previewChosen(const std::string& path)
    {
        control<SortedListBox>(wall, "FileListBox2")->addLine(path);
        for (std::size_t i = 0; i < control<SortedListBox>(wall, "FileListBox2")->lineCount(); ++i)
            if (control<SortedListBox>(wall, "FileListBox2")->line(i) == path)
                control<SortedListBox>(wall, "FileListBox2")->setCurrentRow(static_cast<int>(i));
        ASSERT_TRUE(settle());
    }
};

TEST_F(Preview, DiskListSelectionShowsThePictureStretchedToTheWholeArea)
{
    writeJpeg(dir.file("wide.jpg"), 1200, 300, QColor(200, 30, 40));
    writeBmp(dir.file("small.bmp"), 40, 90, QColor(20, 40, 220));
    openFolder();

    control<FileListBox>(wall, "FileListBox1")->setCurrentRow(1);   // wide.jpg
    ASSERT_TRUE(settle());
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(wall.previewPath(), dir.file("wide.jpg"));
    EXPECT_EQ(control<QLabel>(wall, "Image1")->pixmap().size(), QSize(344, 258));
    EXPECT_TRUE(near(shownColour(), QColor(200, 30, 40))) << shownColour().name().toStdString();
    EXPECT_EQ(control<QLabel>(wall, "Image1")->geometry(), QRect(1, 1, 344, 258));

    control<FileListBox>(wall, "FileListBox1")->setCurrentRow(0);   // small.bmp, stretched up
    ASSERT_TRUE(settle());
    EXPECT_EQ(wall.previewPath(), dir.file("small.bmp"));
    EXPECT_EQ(control<QLabel>(wall, "Image1")->pixmap().size(), QSize(344, 258));
    EXPECT_TRUE(near(shownColour(), QColor(20, 40, 220), 2));
    EXPECT_TRUE(takeReportedErrors().empty());
}

// At the screen's ratio (CTest runs this once more at QT_SCALE_FACTOR=2):
// the preview holds the area's size in device pixels and says so, and
// stripes one device pixel wide stay apart, as only a picture decoded at
// that size keeps them.
TEST_F(Preview, PictureHasThePixelsOfTheScreensRatio)
{
    const qreal ratio = wall.devicePixelRatio();
    const QSize devicePixels(qRound(344 * ratio), qRound(258 * ratio));
    QImage stripes(devicePixels, QImage::Format_RGB888);
    for (int x = 0; x < stripes.width(); ++x)
        for (int y = 0; y < stripes.height(); ++y)
            stripes.setPixelColor(x, y, x % 2 == 0 ? Qt::black : Qt::white);
    ASSERT_TRUE(stripes.save(QString::fromStdString(dir.file("stripes.bmp")), "BMP"));
    openFolder();

    control<FileListBox>(wall, "FileListBox1")->setCurrentRow(0);
    ASSERT_TRUE(settle());
    const QPixmap shownPixmap = control<QLabel>(wall, "Image1")->pixmap();
    EXPECT_EQ(shownPixmap.devicePixelRatio(), ratio);
    ASSERT_EQ(shownPixmap.size(), devicePixels) << "at ratio " << ratio;
    const QImage shownImage = shownPixmap.toImage();
    int blurred = 0;
    for (int x = 0; x < shownImage.width(); ++x)
        if (!near(shownImage.pixelColor(x, shownImage.height() / 2), x % 2 == 0 ? Qt::black : Qt::white))
            ++blurred;
    EXPECT_EQ(blurred, 0);
    EXPECT_TRUE(takeReportedErrors().empty());
}

TEST_F(Preview, FailuresAreReportedWithTheirTextAndThePreviousPictureStays)
{
    writeBmp(dir.file("good.bmp"), 64, 48, QColor(10, 200, 10));
    writeFile(dir.file("photo.png"), "png");
    writeFile(dir.file("README"), "text");
    writeFile(dir.file("broken.jpg"), "\xFF\xD8\xFF\xE0 a JPEG cut short");
    writeFile(dir.file("text.jpg"), "this is not a JPEG file");
    writeFile(dir.file("broken.bmp"), std::string("BM\0\0\0\0\0\0\0\0\0\0\0\0\x28\0\0\0 cut short", 28));
    const std::string gone = dir.file("gone.jpeg");

    // As the error report shows them: a period after a last letter or digit.
    struct Case {
        std::string path, text;
    };
    const Case cases[] = {
        {dir.file("photo.png"), dir.file("photo.png") + " is not a picture this program can read."},
        {dir.file("README"), dir.file("README") + " is not a picture this program can read."},
        {dir.file("text.jpg"), dir.file("text.jpg") + " is not a picture this program can read."},
        {dir.file("broken.jpg"), "JPEG error #" + std::to_string(JWRN_JPEG_EOF) + "."},
        {dir.file("broken.bmp"), "Bitmap image is not valid."},
        {gone, "Cannot open file \"" + gone + "\". " + std::strerror(ENOENT) + "."},
    };
    previewChosen(dir.file("good.bmp"));
    ASSERT_EQ(wall.previewPath(), dir.file("good.bmp"));
    for (const Case& c : cases) {
        previewChosen(c.path);
        EXPECT_EQ(takeReportedErrors(), std::vector<std::string>{c.text}) << c.path;
        EXPECT_EQ(wall.previewPath(), dir.file("good.bmp")) << c.path;
        EXPECT_TRUE(near(shownColour(), QColor(10, 200, 10), 2)) << c.path;
    }
    EXPECT_EQ(shown.size(), 1u);
}

// Every format a person's picture folder holds today: listed by the disk
// list whatever the case of its name, and previewed in its colour.
TEST_F(Preview, EveryPictureFormatIsListedAndPreviewed)
{
    if (std::system("convert -version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ImageMagick's convert makes the pictures";
    const struct {
        const char* name;
        const char* format;   // ImageMagick's
        QColor colour;
    } pictures[] = {
        {"a.jpeg", "JPG", QColor(200, 30, 40)},    {"b.JPE", "JPG", QColor(30, 200, 40)},
        {"c.jfif", "JPG", QColor(30, 40, 200)},    {"d.png", "PNG24", QColor(220, 220, 30)},
        {"e.webp", "WEBP", QColor(30, 210, 210)},  {"f.GIF", "GIF", QColor(210, 30, 210)},
        {"g.tif", "TIFF", QColor(120, 60, 20)},    {"h.TIFF", "TIFF", QColor(20, 120, 60)},
        {"i.heic", "HEIC", QColor(60, 20, 120)},   {"j.heif", "HEIC", QColor(240, 130, 20)},
        {"k.avif", "AVIF", QColor(20, 130, 240)},  {"l.bmp", "BMP3", QColor(130, 240, 20)},
        {"m.JPG", "JPG", QColor(250, 250, 250)},
    };
    for (const auto& p : pictures) {
        const std::string command = "convert -size 64x48 xc:'" + p.colour.name().toStdString() + "' " + p.format +
                                    ":'" + dir.file(p.name) + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    writeFile(dir.file("notes.txt"), "not a picture");
    writeFile(dir.file("clip.mp4"), "not a picture");
    openFolder();

    auto* disk = control<FileListBox>(wall, "FileListBox1");
    ASSERT_EQ(disk->count(), static_cast<int>(std::size(pictures)));
    for (int row = 0; row < disk->count(); ++row) {
        disk->setCurrentRow(row);
        ASSERT_TRUE(settle());
        const std::string path = disk->pickedFile();
        const auto* picture = std::find_if(std::begin(pictures), std::end(pictures),
                                           [&](const auto& p) { return path == dir.file(p.name); });
        ASSERT_NE(picture, std::end(pictures)) << path;
        EXPECT_EQ(wall.previewPath(), path);
        EXPECT_TRUE(near(shownColour(), picture->colour, 8))
            << picture->name << " shows " << shownColour().name().toStdString();
    }
    EXPECT_TRUE(takeReportedErrors().empty());
}

TEST_F(Preview, OnlyTheNewestOfManyQuickSelectionsIsShown)
{
    const int pictures = 24;
    for (int i = 0; i < pictures; ++i)
        writeJpeg(dir.file("p" + std::to_string(100 + i) + ".jpg"), 640, 480, QColor(i * 10, 255 - i * 10, 128));
    openFolder();
    ASSERT_EQ(control<FileListBox>(wall, "FileListBox1")->count(), pictures);

    // As an arrow key held down would: no event is handled between the moves.
    for (int row = 0; row < pictures; ++row)
        control<FileListBox>(wall, "FileListBox1")->setCurrentRow(row);
    ASSERT_TRUE(settle());
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown.front().toStdString(), dir.file("p123.jpg"));
    EXPECT_TRUE(near(shownColour(), QColor(230, 25, 128))) << shownColour().name().toStdString();
    EXPECT_TRUE(takeReportedErrors().empty());
}

TEST_F(Preview, StaleFailuresAreNotReported)
{
    writeFile(dir.file("bad.jpg"), "not a picture");
    writeBmp(dir.file("good.bmp"), 8, 8, QColor(0, 0, 255));
    control<SortedListBox>(wall, "FileListBox2")->addLine(dir.file("bad.jpg"));
    control<SortedListBox>(wall, "FileListBox2")->addLine(dir.file("good.bmp"));
    control<SortedListBox>(wall, "FileListBox2")->setCurrentRow(0);
    control<SortedListBox>(wall, "FileListBox2")->setCurrentRow(1);
    ASSERT_TRUE(settle());
    EXPECT_TRUE(takeReportedErrors().empty());
    EXPECT_EQ(wall.previewPath(), dir.file("good.bmp"));
}

TEST_F(Preview, DelDoesNotChangeThePreview)
{
    writeBmp(dir.file("a.bmp"), 8, 8, QColor(255, 0, 0));
    writeBmp(dir.file("b.bmp"), 8, 8, QColor(0, 255, 0));
    previewChosen(dir.file("b.bmp"));
    previewChosen(dir.file("a.bmp"));
    ASSERT_EQ(shown.size(), 2u);
    control<QPushButton>(wall, "BitBtn2")->click();   // removes a.bmp; b.bmp must not become the selection
    ASSERT_TRUE(settle());
    EXPECT_EQ(shown.size(), 2u);
    EXPECT_EQ(wall.previewPath(), dir.file("a.bmp"));
}

TEST(PreviewLifetime, ClosingWhileADecodeRunsIsSafe)
{
    TempDir dir;
    writeJpeg(dir.file("big.jpg"), 3000, 2000, QColor(1, 2, 3));
    QWidget mainWindow;
    SortedListBox mainList;
    for (int i = 0; i < 3; ++i) {
        Twall wall(&mainWindow, &mainList);
        control<SortedListBox>(wall, "FileListBox2")->addLine(dir.file("big.jpg"));
        control<SortedListBox>(wall, "FileListBox2")->setCurrentRow(0);
    }
    // Results posted to the windows that are gone must not arrive anywhere.
    waitUntil([] { return false; }, 100);
    EXPECT_TRUE(takeReportedErrors().empty());
}

} // namespace
