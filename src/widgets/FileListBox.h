#pragma once
// The disk list of the browsing chain: the files (no folders) of one folder
// whose names match one of the mask's patterns without regard to case, in
// alphabetical order. The picked file is the selected line's full path.

#include <QListWidget>
#include <QString>
#include <QStringList>

#include <string>

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

    // Folder, separator, selected name; "" when no line is selected.
    std::string pickedFile() const;

private:
    QStringList m_patterns;
    QString m_directory;
    bool m_alsoExecutables = false;
};

// `folder` and `name` joined by the platform's separator, which is left out
// when the folder already ends with one (the root of a drive). Both are file
// system bytes, and so is the result.
std::string joinFolderFile(const std::string& folder, const std::string& name);
