// The address book window: the list of addresses with the columns of the
// book's layout, where addresses are added, edited and deleted. OK saves
// the book with the list's column layout (order, widths, shown columns,
// sorting); Cancel writes nothing. In pick mode OK also hands the selected
// address to the caller (the note composer).
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "address_book.h"

class QPushButton;
class QTreeWidget;

class CAddressBookWnd : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Edit, Pick };

    // Reads the book at path (AddressBook::DefaultPath() in the program).
    CAddressBookWnd(const std::string& path, Mode mode = Mode::Edit, QWidget* parent = nullptr);

    // Runs the window in pick mode; the chosen address, or nullopt.
    static std::optional<Address> Pick(const std::string& path, QWidget* parent = nullptr);

    const AddressBook& Book() const { return book_; }
    // The address chosen in pick mode once OK was pressed.
    const std::optional<Address>& Picked() const { return picked_; }

    QTreeWidget* List() const { return list_; }
    QPushButton* AddButton() const { return add_; }
    QPushButton* EditButton() const { return edit_; }
    QPushButton* DeleteButton() const { return delete_; }
    // Selects the list row that shows the book's entry index.
    void SelectEntry(size_t index);
    // The book's entry behind the current row.
    std::optional<size_t> SelectedEntry() const;

    // The dialog that adds or edits is run through this, so that tests can
    // fill it in; by default it is exec().
    void SetDialogRunner(std::function<int(QDialog&)> runner) { runDialog_ = std::move(runner); }

    void AddAddress();
    void EditAddress();
    void DeleteAddress();

public slots:
    void accept() override;

private:
    void BuildUi();
    void ShowLayout();
    void TakeLayout();
    void Fill(std::optional<size_t> select);
    void ChooseColumns(const QPoint& pos);
    void KeepNickFirst();

    Mode mode_;
    std::string path_;
    AddressBook book_;
    std::optional<Address> picked_;
    // False when the file could not be read: the window then only shows and
    // never writes, so an unreadable book is not replaced by an empty one.
    bool readable_ = false;
    std::function<int(QDialog&)> runDialog_;

    QTreeWidget* list_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* edit_ = nullptr;
    QPushButton* delete_ = nullptr;
};
