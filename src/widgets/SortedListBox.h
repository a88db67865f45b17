#pragma once
// A list box holding a SortedList: the working lists of the main window and
// the chosen lists of the editors. Lines are shown without file types, one
// full path per line, in the list's order.

#include "project/SortedList.h"

#include <QListWidget>

#include <string>
#include <vector>

class SortedListBox : public QListWidget {
    Q_OBJECT
public:
    explicit SortedListBox(QWidget* parent = nullptr);

    void clearLines();
    void addLine(const std::string& line);          // at its sorted place
    void addLines(const std::vector<std::string>& lines);   // each at its sorted place, at once
    void setLines(const std::vector<std::string>& lines);
    std::size_t lineCount() const { return m_list.count(); }
    const std::string& line(std::size_t index) const { return m_list.at(index); }
    const std::vector<std::string>& lines() const { return m_list.lines(); }

    int selectedIndex() const;                      // -1 when no line is selected
    void removeLine(std::size_t index);

private:
    void showLines();   // the widget's lines from the list, all at once
    plimbury::SortedList m_list;
};
