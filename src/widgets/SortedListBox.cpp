#include "widgets/SortedListBox.h"

SortedListBox::SortedListBox(QWidget* parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void SortedListBox::clearLines()
{
    m_list.clear();
    clear();
}

void SortedListBox::addLine(const std::string& line)
{
    const std::size_t at = m_list.add(line);
    insertItem(static_cast<int>(at), QString::fromStdString(line));
}

void SortedListBox::addLines(const std::vector<std::string>& lines)
{
    m_list.addAll(lines);
    showLines();
}

void SortedListBox::setLines(const std::vector<std::string>& lines)
{
    m_list.assign(lines);
    showLines();
}

void SortedListBox::showLines()
{
    QStringList shown;
    shown.reserve(static_cast<qsizetype>(m_list.count()));
    for (const auto& l : m_list.lines())
        shown.append(QString::fromStdString(l));
    clear();
    addItems(shown);
}

int SortedListBox::selectedIndex() const
{
    const auto items = selectedItems();
    return items.isEmpty() ? -1 : row(items.front());
}

void SortedListBox::removeLine(std::size_t index)
{
    if (index >= m_list.count())
        return;
    m_list.removeAt(index);
    delete takeItem(static_cast<int>(index));
}
