#include "1_player/panel_corners.h"

PanelPositionTable PanelPositions{};
