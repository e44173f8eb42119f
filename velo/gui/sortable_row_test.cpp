// Rows of every list window sort the same German way, whatever locale the
// desktop runs in.
#include "sortable_row.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <QTreeWidget>
#include <string>

namespace {

// The column's texts in the order the rows sort, joined by commas.
std::string SortedColumn(const QStringList& texts, const QList<QVariant>& keys = {}) {
    QTreeWidget list;
    list.setColumnCount(1);
    for (int i = 0; i < texts.size(); ++i) {
        auto* row = new SortableRow(&list);
        row->setText(0, texts[i]);
        if (i < keys.size()) row->setData(0, kSortKeyRole, keys[i]);
    }
    list.sortItems(0, Qt::AscendingOrder);
    QStringList sorted;
    for (int i = 0; i < list.topLevelItemCount(); ++i) sorted << list.topLevelItem(i)->text(0);
    return sorted.join(',').toStdString();
}

TEST(SortableRow, TextSortsWithUmlautsBesideTheirVowelsAndDigitsByValue) {
    EXPECT_EQ(SortedColumn({"Zobel", "Öhler", "anna", "Bernd", "Oma", "Ärger"}),
              "anna,Ärger,Bernd,Öhler,Oma,Zobel");
    EXPECT_EQ(SortedColumn({"Eintrag 10", "Eintrag 9", "Eintrag 100"}),
              "Eintrag 9,Eintrag 10,Eintrag 100");
}

TEST(SortableRow, CellsWithSortKeysSortByTheKeyAndNotTheirText) {
    EXPECT_EQ(SortedColumn({"Mi", "Mo", "So", "Di"}, {3, 1, 7, 2}),
              "Mo,Di,Mi,So");
    // A key beyond 32 bits still orders: note ids are seconds of a long.
    EXPECT_EQ(SortedColumn({"b", "a"}, {QVariant(5000000000LL), QVariant(4999999999LL)}),
              "a,b");
}

}  // namespace
