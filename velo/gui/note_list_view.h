// The note list: one row per item of the selected folder, with the
// folder's columns as the notes data file sets them (shown or hidden,
// order, width, sort column and direction). Unread rows are bold. Changes
// the user makes to the columns go back into the folder's settings, which
// the document writes with the folder.
#pragma once

#include <QTreeWidget>
#include <optional>

class CVeloDoc;
class NoteItem;

class CNoteListView : public QTreeWidget {
    Q_OBJECT
public:
    explicit CNoteListView(CVeloDoc& doc, QWidget* parent = nullptr);

    // Fills the list with the folder's items (kRoot or another value: empty).
    void ShowFolder(int folder);
    // Refills the current folder, keeping the selection where it can.
    void Refresh();
    int Folder() const { return folder_; }
    std::optional<long> SelectedId() const;
    void SelectId(long noteId);
    // The row of an item, for tests.
    QTreeWidgetItem* RowOf(long noteId) const;
    // Shows a row as read or unread.
    void SetRowRead(long noteId, bool read);

signals:
    void ItemSelected(int folder, long noteId);
    void SelectionCleared();
    void ContextMenuRequested(const QPoint& globalPos);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void ApplyColumns();
    void StoreColumns();
    void Fill(const NoteItem& item, QTreeWidgetItem* row) const;

    CVeloDoc& doc_;
    int folder_ = -1;
    bool applying_ = false;
};
