// The folder tree: the root "Hauptordner" and one item per folder of the
// store, each labelled with its display name and, while it holds unread
// items, their count in bold.
#pragma once

#include <QTreeWidget>

class CVeloDoc;

class CFolderView : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int kRoot = -1;

    CFolderView(CVeloDoc& doc, QWidget* parent = nullptr);

    // Labels every folder as the document holds it now.
    void UpdateLabels();
    void UpdateLabel(int folder);
    // The selected folder, or kRoot.
    int SelectedFolder() const;
    void SelectFolder(int folder);
    // What a folder's item shows, for tests and the status line.
    QString Label(int folder) const;
    bool IsBold(int folder) const;

signals:
    void FolderSelected(int folder);
    // After a label changed: the unread count of the folder.
    void UnreadCounted(int folder, int unread);

private:
    QTreeWidgetItem* ItemOf(int folder) const;

    CVeloDoc& doc_;
    QTreeWidgetItem* root_;
};
