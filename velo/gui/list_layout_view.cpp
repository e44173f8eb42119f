#include "list_layout_view.h"

#include <QHeaderView>
#include <QTreeWidget>

namespace {

constexpr const char* kSortedProperty = "telvoraSorted";

// One value per column, or nothing when the stored list does not fit.
bool Fits(const std::vector<int>& values, int columns) {
    return static_cast<int>(values.size()) == columns;
}

void SortBy(QTreeWidget* list, int column, Qt::SortOrder order) {
    list->setProperty(kSortedProperty, true);
    list->header()->setSortIndicatorShown(true);
    list->header()->setSortIndicator(column, order);
    list->sortItems(column, order);
}

}  // namespace

void ShowListLayout(QTreeWidget* list, const ListLayout& layout, const std::vector<int>& widths) {
    QHeaderView* header = list->header();
    const int columns = list->columnCount();
    header->setStretchLastSection(false);
    header->setSortIndicatorShown(false);
    header->setSectionsClickable(true);
    header->setSectionsMovable(true);
    for (int c = 0; c < columns; ++c) {
        int width = c < static_cast<int>(widths.size()) ? widths[c] : 80;
        if (Fits(layout.size, columns) && layout.size[c] > 10) width = layout.size[c];
        header->resizeSection(c, width);
        header->setSectionHidden(c, Fits(layout.enable, columns) && layout.enable[c] == 0);
    }
    if (Fits(layout.order, columns)) {
        // Columns go to their stored places from the left; a place taken
        // twice or out of range leaves the column where it is.
        for (int position = 0; position < columns; ++position) {
            for (int c = 0; c < columns; ++c) {
                if (layout.order[c] == position) {
                    header->moveSection(header->visualIndex(c), position);
                    break;
                }
            }
        }
    }
    if (layout.sortColumn >= 0 && layout.sortColumn < columns)
        SortBy(list, layout.sortColumn, layout.sortDir ? Qt::DescendingOrder : Qt::AscendingOrder);
    QObject::connect(header, &QHeaderView::sectionClicked, list, [list](int column) {
        QHeaderView* h = list->header();
        bool again = list->property(kSortedProperty).toBool() && h->sortIndicatorSection() == column &&
                     h->sortIndicatorOrder() == Qt::AscendingOrder;
        SortBy(list, column, again ? Qt::DescendingOrder : Qt::AscendingOrder);
    });
}

void KeepSorted(QTreeWidget* list) {
    if (!list->property(kSortedProperty).toBool()) return;
    list->sortItems(list->header()->sortIndicatorSection(), list->header()->sortIndicatorOrder());
}

ListLayout TakeListLayout(const QTreeWidget* list, const ListLayout& read) {
    const QHeaderView* header = list->header();
    const int columns = list->columnCount();
    ListLayout now;
    now.hidden = Fits(read.hidden, columns) ? read.hidden : std::vector<int>(columns, 1);
    for (int c = 0; c < columns; ++c) {
        now.enable.push_back(header->isSectionHidden(c) ? 0 : 1);
        now.order.push_back(header->visualIndex(c));
        now.size.push_back(header->sectionSize(c));
    }
    if (list->property(kSortedProperty).toBool()) {
        now.sortColumn = header->sortIndicatorSection();
        now.sortDir = header->sortIndicatorOrder() == Qt::DescendingOrder ? 1 : 0;
    } else {
        now.sortColumn = read.sortColumn;
        now.sortDir = read.sortDir;
    }
    return now;
}

bool SameLayout(const ListLayout& a, const ListLayout& b) {
    return a.hidden == b.hidden && a.enable == b.enable && a.order == b.order && a.size == b.size &&
           a.sortColumn == b.sortColumn && a.sortDir == b.sortDir;
}
