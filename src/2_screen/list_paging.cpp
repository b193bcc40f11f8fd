#include "2_screen/list_paging.h"

#include <algorithm>
#include <curses.h>

ListPosition page_list(ListPosition position, int key, int count, int rows) {
    const int last = std::max(count - 1, 0);
    int selected = position.selected;
    switch (key) {
    case KEY_DOWN: selected += 1; break;
    case KEY_UP: selected -= 1; break;
    case KEY_NPAGE: selected = (position.page + 1) * rows; break;
    case KEY_PPAGE: selected = (position.page - 1) * rows; break;
    case KEY_HOME: selected = 0; break;
    case KEY_END: selected = last; break;
    default: return position;
    }
    selected = std::clamp(selected, 0, last);
    return {selected, rows > 0 ? selected / rows : 0};
}
