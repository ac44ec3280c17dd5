// State of the memory-slot page kept by the main window.
#pragma once

struct TSlotPage {
  // Column and row of the grid cell selected last; 0 names no editable cell.
  int EditCol = 0;
  int EditRow = 0;
};
