#include "sys_tray_notice.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QWidget>

#include "icons.h"

CSysTrayThread::CSysTrayThread(QWidget* window)
    : QObject(window), window_(window), icon_(new QSystemTrayIcon(NewNotesIcon(), this)) {
    icon_->setToolTip(QStringLiteral("Sie haben ISDN-Notizen erhalten"));
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger || r == QSystemTrayIcon::DoubleClick) emit Clicked();
    });
}

CSysTrayThread::~CSysTrayThread() {
    Stop();
}

void CSysTrayThread::Start() {
    if (running_) return;
    running_ = true;
    icon_->show();
    if (!QSystemTrayIcon::isSystemTrayAvailable()) QApplication::alert(window_);
}

void CSysTrayThread::Stop() {
    if (!running_) return;
    running_ = false;
    icon_->hide();
}
