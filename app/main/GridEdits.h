#pragma once
// A cell editor hands the key that ends it on to its grid before it stores
// the text (the store is queued), so a command run by that key, or by any
// shortcut while the editor is open, would read the old cell. Commands call
// this first.

class QWidget;

// Stores the text of every cell editor open in the grids of `root`'s window
// into its cell and closes the editor; other windows' grids are left alone.
void CommitGridEdits(const QWidget& root);
