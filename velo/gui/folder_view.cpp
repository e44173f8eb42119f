#include "folder_view.h"

#include <QHeaderView>
#include <mutex>

#include "icons.h"
#include "note_folders.h"
#include "velo_doc.h"

CFolderView::CFolderView(CVeloDoc& doc, QWidget* parent) : QTreeWidget(parent), doc_(doc) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    root_ = new QTreeWidgetItem(this, QStringList{QStringLiteral("Hauptordner")});
    root_->setIcon(0, AppIcon());
    root_->setData(0, Qt::UserRole, kRoot);
    for (int f = 0; f < kFolderCount; ++f) {
        auto* item = new QTreeWidgetItem(root_);
        item->setIcon(0, FolderIcon(f));
        item->setData(0, Qt::UserRole, f);
    }
    root_->setExpanded(true);
    UpdateLabels();
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (current) emit FolderSelected(current->data(0, Qt::UserRole).toInt());
    });
}

QTreeWidgetItem* CFolderView::ItemOf(int folder) const {
    if (folder < 0 || folder >= kFolderCount) return root_;
    return root_->child(folder);
}

void CFolderView::UpdateLabels() {
    for (int f = 0; f < kFolderCount; ++f) UpdateLabel(f);
}

void CFolderView::UpdateLabel(int folder) {
    if (folder < 0 || folder >= kFolderCount) return;
    QString name;
    int unread = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(doc_.Lock());
        CNoteFolder& f = doc_.Folder(folder);
        name = QString::fromStdString(f.Name().empty() ? f.Section() : f.Name());
        unread = f.CountUnread();
    }
    QTreeWidgetItem* item = ItemOf(folder);
    item->setText(0, unread > 0 ? QStringLiteral("%1 (%2)").arg(name).arg(unread) : name);
    QFont font = item->font(0);
    font.setBold(unread > 0);
    item->setFont(0, font);
    emit UnreadCounted(folder, unread);
}

int CFolderView::SelectedFolder() const {
    QTreeWidgetItem* item = currentItem();
    return item ? item->data(0, Qt::UserRole).toInt() : kRoot;
}

void CFolderView::SelectFolder(int folder) {
    setCurrentItem(ItemOf(folder));
}

QString CFolderView::Label(int folder) const {
    return ItemOf(folder)->text(0);
}

bool CFolderView::IsBold(int folder) const {
    return ItemOf(folder)->font(0).bold();
}
