#include "display/status_lines.h"

int spinner_off = 1;

void draw_status_row() {}

void draw_driver_line() {}
