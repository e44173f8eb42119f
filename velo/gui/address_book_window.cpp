#include "address_book_window.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <numeric>

#include "address_dialog.h"
#include "app_caption.h"
#include "field_text.h"
#include "msgbox.h"
#include "sortable_row.h"

namespace {

constexpr int kEntryRole = Qt::UserRole;
constexpr int kAddressListColumns = static_cast<int>(kAddressColumnCount);

// A layout list with one integer per column; a short one is filled up from
// the defaults as the core does it.
std::vector<int> LayoutInts(const std::string& text, const std::string& defaults) {
    std::vector<int> values = ParseIntList(text);
    std::vector<int> fallback = ParseIntList(defaults);
    for (size_t i = values.size(); i < kAddressColumnCount; ++i) values.push_back(fallback[i]);
    values.resize(kAddressColumnCount);
    return values;
}

// The list shows a comment on one line; the book keeps its line breaks.
QString CellText(const Address& address, size_t column) {
    QString text = QString::fromStdString(ColumnText(address, column));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

}  // namespace

CAddressBookWnd::CAddressBookWnd(const std::string& path, Mode mode, QWidget* parent)
    : QDialog(parent), mode_(mode), path_(path), runDialog_([](QDialog& d) { return d.exec(); }) {
    readable_ = book_.LoadForWindow(path_);
    BuildUi();
    ShowLayout();
    Fill(book_.Addresses().empty() ? std::nullopt : std::optional<size_t>(0));
}

std::optional<Address> CAddressBookWnd::Pick(const std::string& path, QWidget* parent) {
    CAddressBookWnd wnd(path, Mode::Pick, parent);
    if (wnd.exec() != QDialog::Accepted) return std::nullopt;
    return wnd.Picked();
}

void CAddressBookWnd::BuildUi() {
    setWindowTitle(QStringLiteral("Adressbuch"));
    list_ = new QTreeWidget(this);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setColumnCount(kAddressListColumns);
    QStringList labels;
    for (const char* name : kAddressColumns) labels << QString::fromUtf8(name);
    list_->setHeaderLabels(labels);
    QHeaderView* header = list_->header();
    header->setSectionsMovable(true);
    header->setStretchLastSection(false);
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QHeaderView::customContextMenuRequested, this,
            &CAddressBookWnd::ChooseColumns);
    connect(header, &QHeaderView::sectionMoved, this, &CAddressBookWnd::KeepNickFirst);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (mode_ == Mode::Pick)
            accept();
        else
            EditAddress();
    });

    add_ = new QPushButton(QStringLiteral("&Neu..."), this);
    edit_ = new QPushButton(QStringLiteral("&Bearbeiten..."), this);
    delete_ = new QPushButton(QStringLiteral("&Löschen"), this);
    for (QPushButton* b : {add_, edit_, delete_}) {
        b->setAutoDefault(false);
        b->setEnabled(readable_);
    }
    connect(add_, &QPushButton::clicked, this, &CAddressBookWnd::AddAddress);
    connect(edit_, &QPushButton::clicked, this, &CAddressBookWnd::EditAddress);
    connect(delete_, &QPushButton::clicked, this, &CAddressBookWnd::DeleteAddress);
    auto* box =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Vertical, this);
    box->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    box->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    connect(box, &QDialogButtonBox::accepted, this, &CAddressBookWnd::accept);
    connect(box, &QDialogButtonBox::rejected, this, &CAddressBookWnd::reject);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(add_);
    buttons->addWidget(edit_);
    buttons->addWidget(delete_);
    buttons->addStretch(1);
    buttons->addWidget(box);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
    resize(780, 360);
}

void CAddressBookWnd::ShowLayout() {
    const AddressLayout& layout = book_.Layout();
    const AddressLayout defaults;
    AddressListView view = ListViewOf(layout);
    std::vector<int> order = LayoutInts(layout.colOrder, defaults.colOrder);
    std::vector<int> size = LayoutInts(layout.colSize, defaults.colSize);

    // The shown columns in the order the core gives; the others keep their
    // place by colOrder, so that showing one again puts it where it was.
    std::vector<int> sequence(kAddressListColumns);
    std::iota(sequence.begin(), sequence.end(), 0);
    std::stable_sort(sequence.begin() + 1, sequence.end(),
                     [&](int a, int b) { return order[a] < order[b]; });
    QHeaderView* header = list_->header();
    QSignalBlocker block(header);
    for (int position = 0; position < kAddressListColumns; ++position)
        header->moveSection(header->visualIndex(sequence[position]), position);
    for (int column = 0; column < kAddressListColumns; ++column) {
        header->setSectionHidden(column, true);
        header->resizeSection(column, size[column] > 10 ? size[column] : 50);
    }
    for (const AddressListView::Column& c : view.columns) {
        header->setSectionHidden(static_cast<int>(c.column), false);
        header->resizeSection(static_cast<int>(c.column), c.width);
    }

    // The core knows the nick and the name as sort columns; any other shown
    // column that the list was sorted by last time is taken as well.
    int sortColumn = static_cast<int>(view.sortColumn);
    char* end = nullptr;
    long saved = std::strtol(layout.sortCol.c_str(), &end, 10);
    if (end && *end == '\0' && saved > 1 && saved < kAddressListColumns &&
        !header->isSectionHidden(static_cast<int>(saved)))
        sortColumn = static_cast<int>(saved);
    list_->setSortingEnabled(true);
    list_->sortByColumn(sortColumn, view.sortDir ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void CAddressBookWnd::TakeLayout() {
    AddressLayout& layout = book_.Layout();
    const AddressLayout defaults;
    std::vector<int> size = LayoutInts(layout.colSize, defaults.colSize);
    std::vector<int> enable(kAddressColumnCount), order(kAddressColumnCount);
    const QHeaderView* header = list_->header();
    for (int column = 0; column < kAddressListColumns; ++column) {
        bool shown = !header->isSectionHidden(column);
        enable[column] = shown ? 1 : 0;
        order[column] = header->visualIndex(column);
        if (shown) size[column] = header->sectionSize(column);
    }
    layout.colEnable = FormatIntList(enable);
    layout.colOrder = FormatIntList(order);
    layout.colSize = FormatIntList(size);
    layout.sortCol = std::to_string(header->sortIndicatorSection());
    layout.sortDir = std::to_string(header->sortIndicatorOrder() == Qt::DescendingOrder ? 1 : 0);
}

void CAddressBookWnd::KeepNickFirst() {
    QHeaderView* header = list_->header();
    if (header->visualIndex(0) == 0) return;
    QSignalBlocker block(header);
    header->moveSection(header->visualIndex(0), 0);
}

void CAddressBookWnd::ChooseColumns(const QPoint& pos) {
    QHeaderView* header = list_->header();
    QMenu menu(this);
    for (int column = 1; column < kAddressListColumns; ++column) {
        QAction* action = menu.addAction(QString::fromUtf8(kAddressColumns[column]));
        action->setCheckable(true);
        action->setChecked(!header->isSectionHidden(column));
        connect(action, &QAction::toggled, header,
                [header, column](bool on) { header->setSectionHidden(column, !on); });
    }
    menu.exec(header->mapToGlobal(pos));
}

void CAddressBookWnd::Fill(std::optional<size_t> select) {
    list_->clear();
    const std::vector<Address>& addresses = book_.Addresses();
    for (size_t i = 0; i < addresses.size(); ++i) {
        auto* item = new SortableRow;
        for (size_t column = 0; column < kAddressColumnCount; ++column)
            item->setText(static_cast<int>(column), CellText(addresses[i], column));
        item->setData(0, kEntryRole, static_cast<qulonglong>(i));
        list_->addTopLevelItem(item);
    }
    if (select) SelectEntry(*select);
}

void CAddressBookWnd::SelectEntry(size_t index) {
    for (int row = 0; row < list_->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = list_->topLevelItem(row);
        if (item->data(0, kEntryRole).toULongLong() != index) continue;
        list_->setCurrentItem(item);
        list_->scrollToItem(item);
        return;
    }
}

std::optional<size_t> CAddressBookWnd::SelectedEntry() const {
    const QTreeWidgetItem* item = list_->currentItem();
    if (!item || !item->isSelected()) return std::nullopt;
    return static_cast<size_t>(item->data(0, kEntryRole).toULongLong());
}

void CAddressBookWnd::AddAddress() {
    if (!readable_) return;
    std::time_t now = std::time(nullptr);
    CAddressDlg dlg(Address::MadeAt(now), this);
    if (runDialog_(dlg) != QDialog::Accepted) return;
    book_.Add(dlg.Result(std::time(nullptr)));
    Fill(book_.Addresses().size() - 1);
}

void CAddressBookWnd::EditAddress() {
    if (!readable_) return;
    std::optional<size_t> index = SelectedEntry();
    Address* address = book_.SelectForEdit(index);
    if (!address) return;
    CAddressDlg dlg(*address, this);
    if (runDialog_(dlg) != QDialog::Accepted) return;
    *address = dlg.Result(std::time(nullptr));
    Fill(index);
}

void CAddressBookWnd::DeleteAddress() {
    if (!readable_) return;
    std::optional<size_t> index = SelectedEntry();
    if (!book_.AskAndRemove(index)) return;
    size_t left = book_.Addresses().size();
    Fill(left == 0 ? std::nullopt : std::optional<size_t>(std::min(*index, left - 1)));
}

void CAddressBookWnd::accept() {
    std::optional<size_t> index = SelectedEntry();
    if (mode_ == Mode::Pick && !index) {
        ShowMessageBox(address_msg::kNotSelected, kAppCaption, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (readable_) {
        TakeLayout();
        if (!book_.SaveForWindow(path_)) return;
    }
    if (mode_ == Mode::Pick) picked_ = book_.Addresses()[*index];
    QDialog::accept();
}
