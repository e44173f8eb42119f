// A list row that sorts as a German reader expects: by the number a cell
// carries as its sort key where both cells have one ("Di" after "Mo",
// entry 10 after entry 9), else by text with umlauts beside their vowels,
// capitals beside small letters and digits by value.
#pragma once

#include <QTreeWidgetItem>

// The role of a cell's sort key (a number).
inline constexpr int kSortKeyRole = Qt::UserRole + 1;

class SortableRow : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override;
};
