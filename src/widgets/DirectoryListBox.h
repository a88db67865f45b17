#pragma once
// The folder list of the browsing chain: the current folder's path on the
// first line, ".." to go up (except at a root), then the sub-folders in
// alphabetical order. A double-click or Enter opens the line under the cursor.

#include <QListWidget>
#include <QString>

class DirectoryListBox : public QListWidget {
    Q_OBJECT
public:
    explicit DirectoryListBox(QWidget* parent = nullptr);

    // Moves to `folder` (the nearest existing folder above it when it is gone)
    // and lists it; emits directoryChanged.
    void setDirectory(const QString& folder);
    const QString& directory() const { return m_directory; }

signals:
    void directoryChanged(const QString& folder);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void open(const QListWidgetItem* item);

    QString m_directory;
};
