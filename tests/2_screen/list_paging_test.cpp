#include "2_screen/list_paging.h"

#include <curses.h>
#include <gtest/gtest.h>

TEST(ListPaging, MovesTheHighlightWithinTheListAndKeepsItsPage) {
    // A list of 50 entries, 20 a page, unless a case says otherwise.
    const struct {
        const char *what;
        ListPosition before;
        int key;
        int count;
        int rows;
        ListPosition after;
    } cases[] = {
        {"down", {3, 0}, KEY_DOWN, 50, 20, {4, 0}},
        {"down onto the next page", {19, 0}, KEY_DOWN, 50, 20, {20, 1}},
        {"down on the last entry", {49, 2}, KEY_DOWN, 50, 20, {49, 2}},
        {"up onto the previous page", {20, 1}, KEY_UP, 50, 20, {19, 0}},
        {"up on the first entry", {0, 0}, KEY_UP, 50, 20, {0, 0}},
        {"page down: the next page's first entry", {3, 0}, KEY_NPAGE, 50, 20, {20, 1}},
        {"page down on the last page: the last entry", {41, 2}, KEY_NPAGE, 50, 20, {49, 2}},
        {"page up: the previous page's first entry", {45, 2}, KEY_PPAGE, 50, 20, {20, 1}},
        {"page up on the first page: the first entry", {7, 0}, KEY_PPAGE, 50, 20, {0, 0}},
        {"home", {45, 2}, KEY_HOME, 50, 20, {0, 0}},
        {"end", {3, 0}, KEY_END, 50, 20, {49, 2}},
        {"end of a list that fills its pages exactly", {0, 0}, KEY_END, 40, 20, {39, 1}},
        {"another key", {45, 2}, 'x', 50, 20, {45, 2}},
        {"an empty list keeps entry 0", {0, 0}, KEY_NPAGE, 0, 20, {0, 0}},
        {"down in an empty list", {0, 0}, KEY_DOWN, 0, 20, {0, 0}},
        {"no rows: everything on page 0", {0, 0}, KEY_END, 5, 0, {4, 0}},
    };
    for (const auto &c : cases) {
        const ListPosition after = page_list(c.before, c.key, c.count, c.rows);
        EXPECT_EQ(after.selected, c.after.selected) << c.what;
        EXPECT_EQ(after.page, c.after.page) << c.what;
    }
}
