#pragma once
// The drive selector of the browsing chain. On Windows the entries are the
// drives; elsewhere the mounted volumes plus the home folder as a shortcut.
// Each entry remembers the folder last visited inside it (a drive's "current
// folder"), which is where picking the entry leads.

#include <QComboBox>
#include <QString>

class DriveComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveComboBox(QWidget* parent = nullptr);

    // The drive that stands in for the system drive: C:/ on Windows, / elsewhere.
    static QString systemDrive();

    // Path of the selected entry ("/", "/media/usb", the home folder, "C:/").
    QString drive() const;
    // The volume entry holding `folder` (the longest volume path it lies in).
    QString volumeOf(const QString& folder) const;
    // The remembered folder of the entry with path `drive` (the entry itself at first).
    QString currentFolderOf(const QString& drive) const;

    // Selects the entry with path `drive` without moving anything.
    void selectDrive(const QString& drive);
    // The folder list moved to `folder`: keep the selected entry when the folder
    // lies inside it, else select the folder's volume; remember the folder there.
    void followFolder(const QString& folder);

    // True when `folder` is `root` or lies below it (whole path components).
    static bool isInside(const QString& folder, const QString& root);

signals:
    // The user picked an entry: the folder list should move to this folder.
    void driveChosen(const QString& folder);

private:
    int indexOfDrive(const QString& drive) const;
    void addEntry(const QString& path, const QString& text, bool isVolume);
};
