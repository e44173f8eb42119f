#include "qt_message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QThread>

#include "msgbox.h"

namespace {

constexpr unsigned kButtonMask = 0xF;
constexpr unsigned kIconMask = 0xF0;

QMessageBox::Icon IconOf(unsigned type) {
    switch (type & kIconMask) {
        case MB_ICONSTOP:
            return QMessageBox::Critical;
        case MB_ICONQUESTION:
            return QMessageBox::Question;
        case MB_ICONEXCLAMATION:
            return QMessageBox::Warning;
        case MB_ICONINFORMATION:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

}  // namespace

int QtMessageBox(QWidget* parent, const std::string& text, const std::string& caption,
                 unsigned type) {
    QMessageBox box(IconOf(type), QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::NoButton, parent);
    QPushButton* first = nullptr;
    QPushButton* second = nullptr;
    switch (type & kButtonMask) {
        case MB_YESNO:
            first = box.addButton(QStringLiteral("&Ja"), QMessageBox::YesRole);
            second = box.addButton(QStringLiteral("&Nein"), QMessageBox::NoRole);
            break;
        case MB_OKCANCEL:
            first = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
            second = box.addButton(QStringLiteral("Abbrechen"), QMessageBox::RejectRole);
            break;
        default:
            first = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
            break;
    }
    box.setDefaultButton((type & MB_DEFBUTTON2) && second ? second : first);
    box.setEscapeButton(second ? second : first);
    box.exec();
    bool yesNo = (type & kButtonMask) == MB_YESNO;
    if (second && box.clickedButton() == static_cast<QAbstractButton*>(second))
        return yesNo ? IDNO : IDCANCEL;
    if (yesNo) return IDYES;
    return IDOK;
}

void InstallQtMessageBoxHandler() {
    SetMessageBoxHandler([](const std::string& text, const std::string& caption,
                            unsigned type) -> int {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) return ConsoleMessageBox(text, caption, type);
        if (QThread::currentThread() == app->thread()) {
            return QtMessageBox(QApplication::activeWindow(), text, caption, type);
        }
        if (QCoreApplication::closingDown()) return DefaultMessageBoxAnswer(type);
        // A box with only OK tells something: the GUI thread shows it when
        // it can, and the asking thread goes on. It must not wait, for the
        // GUI thread may be waiting for it (for the document's lock, or to
        // join it at the end).
        if ((type & kButtonMask) == MB_OK) {
            QMetaObject::invokeMethod(
                app,
                [text, caption, type] {
                    QtMessageBox(QApplication::activeWindow(), text, caption, type);
                },
                Qt::QueuedConnection);
            return IDOK;
        }
        // A question waits for the GUI thread's answer.
        int answer = DefaultMessageBoxAnswer(type);
        QMetaObject::invokeMethod(
            app, [&] { answer = QtMessageBox(QApplication::activeWindow(), text, caption, type); },
            Qt::BlockingQueuedConnection);
        return answer;
    });
}
