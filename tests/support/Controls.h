#pragma once
// Windows keep their controls to themselves; tests find them as the program
// does, by the names the window layout gives them.

#include <QListWidget>
#include <QObject>
#include <QString>
#include <QStringList>

#include <filesystem>

#include <stdexcept>
#include <string>

namespace plimbury::test {

// The child of `window` named `name`, of type T. Throws when the window has
// none, so that a test naming a control the window lacks fails right there.
template <typename T>
T* control(const QObject& window, const char* name)
{
    if (T* found = window.findChild<T*>(QString::fromLatin1(name)))
        return found;
    throw std::runtime_error(window.objectName().toStdString() + " has no control named " + name);
}

// The one child of type T, whatever its name.
template <typename T>
T* control(const QObject& window)
{
    if (T* found = window.findChild<T*>())
        return found;
    throw std::runtime_error(window.objectName().toStdString() + " has no control of the type asked for");
}

// The lines a list shows, top to bottom.
inline QStringList shownLines(const QListWidget& list)
{
    QStringList lines;
    for (int i = 0; i < list.count(); ++i)
        lines.append(list.item(i)->text());
    return lines;
}

inline QString qpath(const std::filesystem::path& p)
{
    return QString::fromStdString(p.string());
}

} // namespace plimbury::test
