// Typing into a display-only cell of the slot grid does nothing: the grid
// does not search its cells for the typed text and move the selection there.
#pragma once

class QTableWidget;

void KeepSelectionWhileTyping(QTableWidget* grid);
