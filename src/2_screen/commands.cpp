#include "2_screen/commands.h"

#include <cstdio>

namespace {

struct KeyName {
    int key;
    const char *name;
};

constexpr KeyName kKeyNames[] = {
    {KEY_UP, "UP"},     {KEY_DOWN, "DOWN"}, {KEY_LEFT, "<-"},   {KEY_RIGHT, "->"}, {KEY_PPAGE, "PGUP"},
    {KEY_NPAGE, "PGDN"}, {KEY_HOME, "HOME"}, {KEY_END, "END"},   {'\n', "ENTER"},      {KEY_ENTER, "ENTER"},
    {kEscape, "ESC"},   {' ', "SPACE"},     {kTab, "TAB"},
};

}  // namespace

std::string key_notation(int key) {
    for (const KeyName &k : kKeyNames)
        if (k.key == key) return k.name;
    char text[16];
    if (key >= KEY_F(1) && key <= KEY_F(63))
        std::snprintf(text, sizeof text, "F%d", key - KEY_F0);
    else if (key > ' ' && key < 0x7f)
        std::snprintf(text, sizeof text, "%c", key);
    else
        std::snprintf(text, sizeof text, "#%d", key);
    return text;
}

std::string help_keys(const HelpRow &row) {
    std::string text;
    for (const char *name : row.commands) {
        if (!name) continue;
        const Command *c = find_command(name);
        if (!c || key_count(*c) == 0) continue;
        if (!text.empty()) text += '/';
        text += key_notation(c->keys[0]);
    }
    return text;
}

std::string outside_command_list() {
    std::string words[std::size(kCommands)];
    std::size_t count = 0;
    for (const Command &c : kCommands) {
        if (!c.from_outside) continue;
        words[count] = c.name;
        if (c.argument) {
            words[count] += ' ';
            words[count] += c.argument;
        }
        ++count;
    }
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) text += i + 1 == count ? " or " : ", ";
        text += words[i];
    }
    return text;
}
