#include "project/SortedList.h"

#include <gtest/gtest.h>

#include <random>

using plimbury::SortedList;

TEST(SortedList, KeepsCaseInsensitiveOrderAndDuplicates)
{
    SortedList list;
    for (const char* s : {"C:\\B.jpg", "C:\\a.jpg", "C:\\b.jpg", "", "C:\\a.jpg", "C:\\A.jpg"})
        list.add(s);
    const std::vector<std::string> expected{"", "C:\\a.jpg", "C:\\a.jpg", "C:\\A.jpg", "C:\\B.jpg", "C:\\b.jpg"};
    EXPECT_EQ(list.lines(), expected);
}

TEST(SortedList, AssignGivesTheSameOrderAsAddingInTurn)
{
    std::mt19937 rng(7);
    const char* words[] = {"a", "A", "b", "B", "ab", "Ab", "", "z", "/x/y", "/X/y"};
    for (int round = 0; round < 50; ++round) {
        std::vector<std::string> lines;
        for (int i = 0; i < 30; ++i)
            lines.push_back(words[rng() % std::size(words)]);
        SortedList added;
        for (const auto& l : lines)
            added.add(l);
        SortedList assigned;
        assigned.assign(lines);
        ASSERT_EQ(added.lines(), assigned.lines());
    }
}
