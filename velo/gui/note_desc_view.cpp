#include "note_desc_view.h"

#include <unistd.h>

#include <QFormLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "note_folders.h"
#include "note_item.h"

CVeloDescView::CVeloDescView(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* header = new QFormLayout;
    header->setVerticalSpacing(1);
    header->setLabelAlignment(Qt::AlignLeft);
    const char* titles[kLines] = {"Typ:", "Datum/Uhrzeit:", "Von/An:", "Rufnummer:", "Betreff:"};
    for (int i = 0; i < kLines; ++i) {
        values_[i] = new QLabel(this);
        values_[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        values_[i]->setTextFormat(Qt::PlainText);
        auto* title = new QLabel(QString::fromUtf8(titles[i]), this);
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
        header->addRow(title, values_[i]);
    }
    layout->addLayout(header);
    text_ = new QPlainTextEdit(this);
    text_->setReadOnly(true);
    layout->addWidget(text_, 1);
}

void CVeloDescView::Clear() {
    for (QLabel* v : values_) v->clear();
    text_->clear();
}

void CVeloDescView::ShowItem(const NoteItem& item, const std::string& textPath) {
    Clear();
    int type = item.Type();
    if (type == static_cast<int>(NoteType::File)) {
        text_->setPlainText(QStringLiteral("Kein Textdokument"));
        return;
    }
    bool call = type == static_cast<int>(NoteType::Call);
    values_[kType]->setText(QString::fromUtf8(NoteItem::TypeName(type)));
    values_[kDate]->setText(
        QString::fromStdString(NoteItem::FormatDateTime(item.Number(NoteItem::kDateTime))));
    values_[kName]->setText(QString::fromStdString(item.Get(NoteItem::kName)));
    values_[kNumber]->setText(QString::fromStdString(item.Get(NoteItem::kNumber)));
    if (!call) values_[kSubject]->setText(QString::fromStdString(item.Get(NoteItem::kSubject)));
    if (!textPath.empty() && access(textPath.c_str(), F_OK) == 0) {
        text_->setPlainText(QString::fromStdString(ReadNoteText(textPath, kMaxShownChars)));
    } else if (!call) {
        text_->setPlainText(QStringLiteral("Datei nicht gefunden!!"));
    }
}

QString CVeloDescView::HeaderLine(int line) const {
    return values_[line]->text();
}

QString CVeloDescView::Text() const {
    return text_->toPlainText();
}
