#include "sortable_row.h"

#include <QCollator>
#include <QLocale>
#include <QTreeWidget>

bool SortableRow::operator<(const QTreeWidgetItem& other) const {
    int column = treeWidget() ? treeWidget()->sortColumn() : 0;
    QVariant mine = data(column, kSortKeyRole), theirs = other.data(column, kSortKeyRole);
    if (mine.isValid() && theirs.isValid()) return mine.toLongLong() < theirs.toLongLong();
    static const QCollator collator = [] {
        QCollator c(QLocale(QLocale::German, QLocale::Germany));
        c.setCaseSensitivity(Qt::CaseInsensitive);
        c.setNumericMode(true);
        return c;
    }();
    return collator.compare(text(column), other.text(column)) < 0;
}
