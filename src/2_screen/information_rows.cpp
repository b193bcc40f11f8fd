#include "2_screen/information_rows.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "1_player/module_loader.h"
#include "1_player/player_thread.h"
#include "2_screen/colors.h"
#include "2_screen/main_window.h"
#include "2_screen/screen_text.h"

namespace {

// Blanks row `row` of main_win between the borders.
void clear_info_row(int row) {
    set_attr(main_win, kNormal);
    put_blanks(main_win, row, 1, screen_cols() - 2);
}

void draw_title_row(const ModuleInfo &module) {
    clear_info_row(2);
    RowWriter row{main_win, 2, 1, screen_cols() - 1};
    row.put(role_attr(ColorRole::label), "Title  : ")
        .put(role_attr(ColorRole::module_text), module.title.c_str())
        .put(kNormal, " - ")
        .put(role_attr(ColorRole::label), "Type: ")
        .put(role_attr(ColorRole::module_text), module.type.c_str());
}

// "File   : ", the name, for a member of a pack "  [ in pack.zip ]", and
// the bracket with the sizes. A name too long for the row is shortened,
// with a "~" in its last cell, so that the brackets stay whole and nothing
// reaches the right border; the pack's bracket goes first when the name
// would keep fewer than 8 cells.
void draw_file_row(const ModuleInfo &module) {
    clear_info_row(1);
    constexpr int kLabelCells = 9;
    constexpr int kLeastNameCells = 8;
    char sizes[128];
    format_file_sizes(sizes, sizeof sizes, module.sample_count, module.instrument_count, module.bytes);
    char tail[512];
    format_pack_note(tail, sizeof tail, module.archive.c_str());
    const int right = screen_cols() - 1;
    const int name_col = 1 + kLabelCells;
    if (right - name_col - text_cells(sizes) - text_cells(tail) < kLeastNameCells) tail[0] = '\0';
    const std::size_t pack_length = std::strlen(tail);
    std::snprintf(tail + pack_length, sizeof tail - pack_length, "%s", sizes);
    const char *file_name = file_name_of(module.path.c_str());
    const int name_cells = std::clamp(right - name_col - text_cells(tail), 1, std::max(right - name_col, 1));
    set_role(main_win, ColorRole::label);
    put_text(main_win, 1, 1, "File   : ", right);
    set_attr(main_win, kNormal);
    if (name_col >= right) return;
    const int shown = std::min(text_cells(file_name), name_cells);
    const int written = put_text_field(main_win, 1, name_col, file_name, shown, true);
    put_text(main_win, 1, name_col + written, tail, right);
}

}  // namespace

void format_pack_note(char *out, std::size_t size, const char *archive) {
    if (archive[0] != '\0')
        std::snprintf(out, size, "  [ in %s ]", archive);
    else if (size > 0)
        out[0] = '\0';
}

void draw_information_rows() {
    const ModuleInfoPtr &module = player_view().module;
    if (!main_win || !module) return;
    draw_file_row(*module);
    draw_title_row(*module);
}
