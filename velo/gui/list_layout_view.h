// A settings list window's columns as its ListLayout section keeps them:
// which columns show, their order and widths, and the column it is sorted
// by. The list keeps its stored order until the user clicks a heading.
#pragma once

#include <vector>

#include "list_layout.h"

class QTreeWidget;

// Shows the layout on the list; a key the layout lacks (or a list of the
// wrong length) leaves the given default widths, all columns shown and the
// stored order. Clicking a heading sorts by it, a second click reverses.
void ShowListLayout(QTreeWidget* list, const ListLayout& layout, const std::vector<int>& widths);

// Sorts the rows again after they were filled anew, when the list is
// sorted by a column.
void KeepSorted(QTreeWidget* list);

// The layout as the list shows it now; colHidden comes back as it was read.
ListLayout TakeListLayout(const QTreeWidget* list, const ListLayout& read);

bool SameLayout(const ListLayout& a, const ListLayout& b);
