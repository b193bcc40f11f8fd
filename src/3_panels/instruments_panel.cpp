#include "3_panels/instruments_panel.h"

#include "1_player/player_thread.h"
#include "2_screen/colors.h"
#include "2_screen/screen_text.h"
#include "3_panels/panel_positions.h"

namespace {

constexpr int kNameWidth = 40;

int instrument_count(const ModuleInfo &m) { return static_cast<int>(m.instruments.size()); }

void draw_indexed(WINDOW *win, const ModuleInfo &m, int index) {
    draw_instrument(win, m.instruments[static_cast<std::size_t>(index)], index + 1, m.instrument_count);
}

void clear_fields(WINDOW *win) {
    set_attr(win, kNormal);
    for (int row = 2; row <= 6; ++row) put_blanks(win, row, 1, getmaxx(win) - 2);
}

constexpr RecordKind kInstruments = {
    "Instruments", kInstrumentsRows, 8, 10, false, "No instruments in this module.",
    instrument_count, draw_indexed, clear_fields,
};

}  // namespace

void draw_instrument(WINDOW *window, const InstrumentInfo &instrument, int number, int count) {
    put_field(window, 2, "     #: ", "%-4d/%4d", number, count);
    put_name_field(window, 3, "  Name: ", instrument.name.c_str(), kNameWidth);
    put_field(window, 4, " Flags: ", "0x%04x", instrument.flags);
    put_field(window, 5, "   Pan: ", "%-3d", instrument.panning);
    put_field(window, 6, "   Vol: ", "%-4d", instrument.global_volume);
}

RecordBrowser open_instruments_panel() {
    return open_record_browser(kInstruments, panel_corner(PanelKind::instruments).y,
                               panel_corner(PanelKind::instruments).x);
}

void instruments_panel() {
    if (!player_view().module) {
        beep();
        return;
    }
    RecordBrowser browser = open_instruments_panel();
    run_record_browser(browser);
}
