// The note view below the list: a header of five labelled lines and the
// item's text, read-only.
#pragma once

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class NoteItem;

class CVeloDescView : public QWidget {
    Q_OBJECT
public:
    static constexpr size_t kMaxShownChars = 2048;

    explicit CVeloDescView(QWidget* parent = nullptr);

    // Shows the item; textPath is its text file ("" when it has none).
    void ShowItem(const NoteItem& item, const std::string& textPath);
    void Clear();

    QString HeaderLine(int line) const;
    QString Text() const;

    enum Line { kType, kDate, kName, kNumber, kSubject, kLines };

private:
    QLabel* values_[kLines];
    QPlainTextEdit* text_;
};
