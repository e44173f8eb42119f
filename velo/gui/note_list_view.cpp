#include "note_list_view.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <algorithm>
#include <mutex>

#include "icons.h"
#include "note_folders.h"
#include "note_item.h"
#include "sortable_row.h"
#include "velo_doc.h"

namespace {

constexpr int kIdRole = Qt::UserRole;
constexpr int kWidestFitted = 220;

bool IsNumberColumn(int column) {
    return column == NoteItem::kNoteId || column == NoteItem::kRead || column == NoteItem::kState ||
           column == NoteItem::kDateTime;
}

}  // namespace

CNoteListView::CNoteListView(CVeloDoc& doc, QWidget* parent) : QTreeWidget(parent), doc_(doc) {
    setColumnCount(CNoteFolder::kColumns);
    QStringList titles;
    for (int c = 0; c < CNoteFolder::kColumns; ++c)
        titles << QString::fromUtf8(NoteItem::ColumnTitle(c));
    setHeaderLabels(titles);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(true);
    setIconSize(QSize(16, 16));
    header()->setSectionsMovable(true);
    header()->setStretchLastSection(false);
    setAlternatingRowColors(true);
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (applying_) return;
        if (current) {
            emit ItemSelected(folder_, current->data(0, kIdRole).toLongLong());
        } else {
            emit SelectionCleared();
        }
    });
    auto store = [this] {
        if (!applying_) StoreColumns();
    };
    connect(header(), &QHeaderView::sectionResized, this, store);
    connect(header(), &QHeaderView::sectionMoved, this, store);
    connect(header(), &QHeaderView::sortIndicatorChanged, this, store);
}

void CNoteListView::Fill(const NoteItem& item, QTreeWidgetItem* row) const {
    for (int c = 0; c < CNoteFolder::kColumns; ++c) {
        std::string text;
        switch (c) {
            case NoteItem::kType:
                text = NoteItem::TypeName(item.Type());
                break;
            case NoteItem::kDateTime:
                text = NoteItem::FormatDateTime(item.Number(NoteItem::kDateTime));
                break;
            default:
                text = item.Get(static_cast<NoteItem::Field>(c));
        }
        row->setText(c, QString::fromStdString(text));
        if (IsNumberColumn(c)) {
            row->setData(
                c, kSortKeyRole,
                QVariant::fromValue<qlonglong>(item.Number(static_cast<NoteItem::Field>(c))));
        }
    }
    row->setIcon(0, ItemIcon(item.Type()));
    row->setData(0, kIdRole, QVariant::fromValue<qlonglong>(item.NoteId()));
    QFont font = row->font(0);
    font.setBold(!item.IsRead());
    for (int c = 0; c < CNoteFolder::kColumns; ++c) row->setFont(c, font);
}

void CNoteListView::ShowFolder(int folder) {
    folder_ = (folder >= 0 && folder < kFolderCount) ? folder : -1;
    Refresh();
}

void CNoteListView::Refresh() {
    std::optional<long> selected = SelectedId();
    applying_ = true;
    setUpdatesEnabled(false);
    clear();
    if (folder_ >= 0) {
        std::lock_guard<std::recursive_mutex> lock(doc_.Lock());
        for (const NoteItem& item : doc_.Folder(folder_).Items()) {
            auto* row = new SortableRow(this);
            Fill(item, row);
        }
    }
    ApplyColumns();
    setUpdatesEnabled(true);
    applying_ = false;
    if (selected) {
        if (QTreeWidgetItem* row = RowOf(*selected)) {
            applying_ = true;
            setCurrentItem(row);
            applying_ = false;
        }
    }
}

void CNoteListView::ApplyColumns() {
    if (folder_ < 0) return;
    CNoteFolder::Columns columns;
    {
        std::lock_guard<std::recursive_mutex> lock(doc_.Lock());
        columns = doc_.Folder(folder_).ColumnSettings();
    }
    QHeaderView* h = header();
    // Visual position by position: the column whose order value is that
    // position goes there; values out of range keep their place.
    for (int position = 0; position < CNoteFolder::kColumns; ++position) {
        for (int c = 0; c < CNoteFolder::kColumns; ++c) {
            if (columns.order[c] == position && h->visualIndex(c) != position) {
                h->moveSection(h->visualIndex(c), position);
            }
        }
    }
    // Widths that were never set fit the folder's contents instead of
    // cutting every date and name at the default width.
    bool neverSized = std::all_of(columns.size.begin(), columns.size.end(),
                                  [](int w) { return w == CNoteFolder::kDefaultColumnWidth; });
    for (int c = 0; c < CNoteFolder::kColumns; ++c) {
        setColumnHidden(c, columns.hidden[c] != 0 || columns.enable[c] == 0);
        int width = columns.size[c];
        if (neverSized && topLevelItemCount() > 0) {
            resizeColumnToContents(c);
            if (columnWidth(c) > kWidestFitted) setColumnWidth(c, kWidestFitted);
            continue;
        }
        setColumnWidth(c, width > 0 && width < 2000 ? width : CNoteFolder::kDefaultColumnWidth);
    }
    int sort = columns.sort >= 0 && columns.sort < CNoteFolder::kColumns ? columns.sort : 0;
    sortItems(sort, columns.sortDir == 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void CNoteListView::StoreColumns() {
    if (folder_ < 0) return;
    std::lock_guard<std::recursive_mutex> lock(doc_.Lock());
    CNoteFolder::Columns& columns = doc_.Folder(folder_).ColumnSettings();
    for (int c = 0; c < CNoteFolder::kColumns; ++c) {
        columns.order[c] = header()->visualIndex(c);
        if (!isColumnHidden(c)) columns.size[c] = columnWidth(c);
    }
    columns.sort = header()->sortIndicatorSection();
    columns.sortDir = header()->sortIndicatorOrder() == Qt::AscendingOrder ? 0 : 1;
}

std::optional<long> CNoteListView::SelectedId() const {
    QTreeWidgetItem* row = currentItem();
    if (!row) return std::nullopt;
    return static_cast<long>(row->data(0, kIdRole).toLongLong());
}

QTreeWidgetItem* CNoteListView::RowOf(long noteId) const {
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = topLevelItem(i);
        if (row->data(0, kIdRole).toLongLong() == noteId) return row;
    }
    return nullptr;
}

void CNoteListView::SelectId(long noteId) {
    if (QTreeWidgetItem* row = RowOf(noteId)) setCurrentItem(row);
}

void CNoteListView::SetRowRead(long noteId, bool read) {
    QTreeWidgetItem* row = RowOf(noteId);
    if (!row) return;
    QFont font = row->font(0);
    font.setBold(!read);
    for (int c = 0; c < CNoteFolder::kColumns; ++c) row->setFont(c, font);
    row->setText(NoteItem::kRead, read ? QStringLiteral("1") : QStringLiteral("0"));
    row->setData(NoteItem::kRead, kSortKeyRole, read ? 1 : 0);
}

void CNoteListView::contextMenuEvent(QContextMenuEvent* event) {
    if (QTreeWidgetItem* row = itemAt(viewport()->mapFrom(this, event->pos()))) setCurrentItem(row);
    emit ContextMenuRequested(event->globalPos());
}
