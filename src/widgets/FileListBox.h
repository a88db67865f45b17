#pragma once
// The disk list of the browsing chain: the files (no folders) of one folder
// whose names match one of the mask's patterns without regard to case, in
// alphabetical order. Several lines may be selected (click, Ctrl+click,
// Shift+click and arrows, Ctrl+A).

#include <QListWidget>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

class FileListBox : public QListWidget {
    Q_OBJECT
public:
    // mask: patterns separated by ";", such as "*.jpg;*.bmp".
    explicit FileListBox(const QString& mask, QWidget* parent = nullptr);

    // Also lists the executable regular files of the folder, whatever their
    // names (programs that carry no extension); takes effect at the next
    // setDirectory().
    void setAlsoExecutables(bool also) { m_alsoExecutables = also; }

    // Lists the matching files of `folder`; no line is selected afterwards.
    void setDirectory(const QString& folder);
    const QString& directory() const { return m_directory; }

    // Folder, separator, name of the current line when it is selected, else
    // of the first selected one; "" when no line is selected.
    std::string pickedFile() const;
    // The full paths of every selected line, in the list's order.
    std::vector<std::string> pickedFiles() const;

    // The names (file system bytes) of the files of `folder` this list would
    // show, in its order; and whether it would show the file at `path`.
    std::vector<std::string> matchingNames(const QString& folder) const;
    bool matches(const QString& path) const;

private:
    std::string pathOf(const QListWidgetItem* item) const;

    QStringList m_patterns;
    QString m_directory;
    bool m_alsoExecutables = false;
};

// `folder` and `name` joined by the platform's separator, which is left out
// when the folder already ends with one (the root of a drive). Both are file
// system bytes, and so is the result.
std::string joinFolderFile(const std::string& folder, const std::string& name);
