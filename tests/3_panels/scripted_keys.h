// A keyboard that follows a script, for tests that drive a panel's key loop
// through its public entry: besides keys, the script can change the
// screen's size between two keys and take a picture of the composed screen
// at the moment the loop next asks for a key.
//
// The test program that links scripted_keys.cpp reads every key through
// the script while one is set: its wgetch and wget_wch stand in for curses'
// own. Once the script has run out, a read throws ScriptRanOut, so a loop
// that did not close where the script expected cannot wait for ever.
#pragma once

#include <curses.h>
#include <string>
#include <vector>

struct ScriptStep {
    enum Kind { key, idle, resize, picture } kind;
    int a = 0;  // the key, or the rows of a resize
    int b = 0;  // the columns of a resize
};

ScriptStep key_step(int key);
// A read that times out, as while nobody types.
ScriptStep idle_step();
// The terminal takes a new size; the loop reads KEY_RESIZE.
ScriptStep resize_step(int rows, int cols);
// After one idle read, the panels are composed and the screen kept.
std::vector<ScriptStep> picture_steps();

// What the screen showed at a picture step: its text, its attributes and
// the topmost panel's window box.
struct Picture {
    std::vector<std::string> rows;
    std::vector<std::string> attributes;  // one line of runs a row
    std::vector<std::vector<std::string>> cell_attributes;  // each cell's code, as in the runs
    int top = 0, left = 0, height = 0, width = 0;  // the top panel's window
};

// The composed screen now (panels composed first), as a Picture.
Picture take_picture();

// The cells of the top panel's window in a picture, row by row, each cell
// its character and its attribute code: the panel as it shows, wherever it
// stands.
std::vector<std::string> panel_cells(const Picture &p);

struct ScriptRanOut {};

// Sets the script; the keys handed out and the pictures taken are kept
// until the next script.
void set_script(std::vector<ScriptStep> steps);
// Ends the script: later reads go to curses again.
void clear_script();
// The keys handed to the program so far, timeouts and resizes left out.
const std::vector<int> &keys_handed();
// The keys of the script not read.
std::vector<int> keys_left();
const std::vector<Picture> &pictures();

// A key's name in the goldens: the character itself, or "Enter", "Up"...
std::string key_name(int key);
