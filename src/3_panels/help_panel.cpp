#include "3_panels/help_panel.h"

#include <curses.h>
#include <string>

#include "2_screen/colors.h"
#include "2_screen/commands.h"
#include "2_screen/keys.h"
#include "2_screen/screen_text.h"
#include "3_panels/panel_mover.h"
#include "3_panels/panel_positions.h"
#include "3_panels/panel_runner.h"

namespace {

constexpr std::size_t kLabelWidth = 26;
constexpr int kLeft = 2;
constexpr int kRight = 34;

constexpr int kHelpCloseKeys[] = {'q', 'Q', kEscape};

// Each row's label is filled out with dots up to its keys.
void draw_help_entries(WINDOW *win) {
    const FrameClip clip(win);
    for (const HelpRow &entry : kHelpRows) {
        const int col = entry.column == 0 ? kLeft : kRight;
        std::string label = entry.label;
        if (label.size() < kLabelWidth) label.append(kLabelWidth - label.size(), '.');
        set_role(win, ColorRole::help_text);
        put_text(win, entry.row, col, label.c_str());
        set_role(win, ColorRole::help_key);
        put_text(win, entry.row, col + static_cast<int>(kLabelWidth), help_keys(entry).c_str());
    }
    set_attr(win, kNormal);
}

PanelDescription help_description(PanelWindow &help) {
    PanelDescription desc = panel_description(PanelKind::help);
    desc.title = "Help";
    desc.on_top = true;
    desc.close_keys = kHelpCloseKeys;
    desc.on_key = [&help](int key) {
        if (key == 'm') move_panel_interactively(help.panel);
        return KeyResult::handled;
    };
    desc.draw = draw_help_entries;
    desc.repaint_main_on_close = false;
    return desc;
}

}  // namespace

PanelWindow open_help_panel() {
    PanelWindow none;
    return open_panel(help_description(none));
}

void run_help_panel(PanelWindow &help) { run_panel(help_description(help), help); }

void help_panel() {
    PanelWindow help = open_help_panel();
    run_help_panel(help);
}
