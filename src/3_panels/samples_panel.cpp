#include "3_panels/samples_panel.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "1_player/player_thread.h"
#include "2_screen/colors.h"
#include "2_screen/screen_text.h"
#include "3_panels/panel_positions.h"

namespace {

constexpr int kNameWidth = 40;
constexpr int kFlagRowBlanks = 52;

struct FlagWord {
    unsigned bit;
    const char *word;
};

constexpr FlagWord kFlagWords[] = {
    {kSample16Bits, "16bit "}, {kSampleStereo, "stereo "}, {kSampleSigned, "signed "},
    {kSampleItPacked, "IT_packed "}, {kSampleBidi, "bidir "}, {kSampleLoop, "loop "},
    {kSampleReverse, "reverse "}, {kSampleOwnPan, "own_pan "},
};

int sample_count(const ModuleInfo &m) { return static_cast<int>(m.samples.size()); }

void draw_indexed(WINDOW *win, const ModuleInfo &m, int index) {
    draw_sample(win, m.samples[static_cast<std::size_t>(index)], index + 1, m.sample_count);
}

void clear_fields(WINDOW *win) {
    set_attr(win, kNormal);
    for (int row = 2; row <= 8; ++row) put_blanks(win, row, 1, getmaxx(win) - 2);
}

constexpr RecordKind kSamples = {
    "Samples", kSamplesRows, 10, 12, true, "No samples in this module.", sample_count, draw_indexed, clear_fields,
};

}  // namespace

void sample_flag_words(unsigned flags, char *out, std::size_t size) {
    if (size == 0) return;
    out[0] = '\0';
    std::size_t used = 0;
    // Whole words only: a word that does not fit ends the text.
    auto append = [&](const char *text) {
        const std::size_t length = std::strlen(text);
        if (used + length >= size) return false;
        std::memcpy(out + used, text, length + 1);
        used += length;
        return true;
    };
    for (const FlagWord &f : kFlagWords)
        if ((flags & f.bit) && !append(f.word)) return;
    char number[16];
    std::snprintf(number, sizeof number, "(0x%04x)", flags & 0xFFFFu);
    append(number);
}

void draw_sample(WINDOW *window, const SampleInfo &sample, int number, int count) {
    put_field(window, 2, "     #: ", "%-4d/%4d", number, count);
    put_name_field(window, 3, "  Name: ", sample.name.c_str(), kNameWidth);
    // The flag words vary in length: the row is cleared first.
    set_role(window, ColorRole::label);
    put_blanks(window, 4, 1, std::min(kFlagRowBlanks, getmaxx(window) - 2));
    char words[128];
    sample_flag_words(sample.flags, words, sizeof words);
    put_field(window, 4, " Flags: ", "%s", words);
    put_field(window, 5, "Length: ", "%-8lu", sample.length);
    put_field(window, 6, "   Pan: ", "%-3d", sample.panning);
    put_field(window, 7, " Speed: ", "%-6ld", sample.speed);
    put_field(window, 8, "   Vol: ", "%-4d (glob. %-4d)", sample.volume, sample.global_volume);
}

RecordBrowser open_samples_panel() {
    RecordBrowser browser = open_record_browser(kSamples, panel_corner(PanelKind::samples).y, panel_corner(PanelKind::samples).x);
    if (browser.pw.win) remember_panel_window(MovableEntry::samples, browser.pw.win);
    return browser;
}

void samples_panel() {
    if (!player_view().module) {
        beep();
        return;
    }
    RecordBrowser browser = open_samples_panel();
    run_record_browser(browser);
}
