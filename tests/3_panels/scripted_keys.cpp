#include "scripted_keys.h"

#include <dlfcn.h>
#include <panel.h>

namespace {

std::vector<ScriptStep> script;
std::size_t next_step = 0;
bool active = false;
std::vector<int> handed;
std::vector<Picture> taken;

using ReadKey = int (*)(WINDOW *);

int curses_wgetch(WINDOW *win) {
    static const ReadKey real = reinterpret_cast<ReadKey>(dlsym(RTLD_NEXT, "wgetch"));
    return real ? real(win) : ERR;
}

char cell_char(chtype cell) {
    const char c = static_cast<char>(cell & A_CHARTEXT);
    if (!(cell & A_ALTCHARSET)) return c;
    switch (c) {
    case 'q': return '-';
    case 'x': return '|';
    case 'l': case 'k': case 'm': case 'j': case 'n': case 't': case 'u': case 'v': case 'w': return '+';
    default: return '#';  // blocks and the other line-drawing cells
    }
}

std::string attribute_code(chtype cell) {
    std::string code;
    if (cell & A_BOLD) code += 'B';
    if (cell & A_REVERSE) code += 'R';
    const short pair = static_cast<short>(PAIR_NUMBER(static_cast<int>(cell & A_COLOR)));
    if (pair) code += std::to_string(pair);
    return code.empty() ? "." : code;
}

// The next key of the script for any kind of read.
int scripted_key() {
    while (next_step < script.size()) {
        const ScriptStep step = script[next_step++];
        switch (step.kind) {
        case ScriptStep::picture: taken.push_back(take_picture()); continue;
        case ScriptStep::idle: return ERR;
        case ScriptStep::resize: resize_term(step.a, step.b); return KEY_RESIZE;
        case ScriptStep::key: handed.push_back(step.a); return step.a;
        }
    }
    throw ScriptRanOut{};
}

}  // namespace

// Every read of the program's key loops comes here, whether it reads keys
// or wide characters.
extern "C" int wgetch(WINDOW *win) { return active ? scripted_key() : curses_wgetch(win); }

extern "C" int wget_wch(WINDOW *win, wint_t *wch) {
    if (!active) {
        static const auto real = reinterpret_cast<int (*)(WINDOW *, wint_t *)>(dlsym(RTLD_NEXT, "wget_wch"));
        return real ? real(win, wch) : ERR;
    }
    const int key = scripted_key();
    if (key == ERR) return ERR;
    *wch = static_cast<wint_t>(key);
    return key >= KEY_MIN ? KEY_CODE_YES : OK;
}

ScriptStep key_step(int key) { return {ScriptStep::key, key, 0}; }
ScriptStep idle_step() { return {ScriptStep::idle, 0, 0}; }
ScriptStep resize_step(int rows, int cols) { return {ScriptStep::resize, rows, cols}; }
std::vector<ScriptStep> picture_steps() { return {idle_step(), {ScriptStep::picture, 0, 0}}; }

Picture take_picture() {
    update_panels();
    doupdate();
    Picture p;
    for (int r = 0; r < getmaxy(curscr); ++r) {
        std::string text, runs, last;
        std::vector<std::string> codes;
        for (int c = 0; c < getmaxx(curscr); ++c) {
            const chtype cell = mvwinch(curscr, r, c);
            text += cell_char(cell);
            const std::string code = attribute_code(cell);
            codes.push_back(code);
            if (code != last) runs += (runs.empty() ? "" : " ") + std::to_string(c) + ":" + code;
            last = code;
        }
        p.rows.push_back(text);
        p.attributes.push_back(runs);
        p.cell_attributes.push_back(codes);
    }
    if (PANEL *top = panel_below(nullptr)) {
        WINDOW *w = panel_window(top);
        p.top = getbegy(w);
        p.left = getbegx(w);
        p.height = getmaxy(w);
        p.width = getmaxx(w);
    }
    return p;
}

std::vector<std::string> panel_cells(const Picture &p) {
    std::vector<std::string> out;
    for (int r = p.top; r < p.top + p.height && r < static_cast<int>(p.rows.size()); ++r) {
        std::string line;
        const std::string &text = p.rows[static_cast<std::size_t>(r)];
        for (int c = p.left; c < p.left + p.width && c < static_cast<int>(text.size()); ++c)
            line += std::string(1, text[static_cast<std::size_t>(c)]) + "{" +
                    p.cell_attributes[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] + "}";
        out.push_back(line);
    }
    return out;
}

void set_script(std::vector<ScriptStep> steps) {
    script = std::move(steps);
    next_step = 0;
    active = true;
    handed.clear();
    taken.clear();
}

void clear_script() { active = false; }

const std::vector<int> &keys_handed() { return handed; }

std::vector<int> keys_left() {
    std::vector<int> left;
    for (std::size_t i = next_step; i < script.size(); ++i)
        if (script[i].kind == ScriptStep::key) left.push_back(script[i].a);
    return left;
}

const std::vector<Picture> &pictures() { return taken; }

std::string key_name(int key) {
    switch (key) {
    case '\n': return "Enter";
    case '\t': return "Tab";
    case 27: return "Escape";
    case ' ': return "Space";
    case KEY_UP: return "Up";
    case KEY_DOWN: return "Down";
    case KEY_LEFT: return "Left";
    case KEY_RIGHT: return "Right";
    case KEY_NPAGE: return "PageDown";
    case KEY_PPAGE: return "PageUp";
    case KEY_HOME: return "Home";
    case KEY_END: return "End";
    case KEY_BACKSPACE: return "Backspace";
    case KEY_ENTER: return "KeypadEnter";
    case KEY_RESIZE: return "Resize";
    case ERR: return "none";
    default: break;
    }
    if (key > ' ' && key < 127) return std::string(1, static_cast<char>(key));
    return "key " + std::to_string(key);
}
