// The new-notes notice: a second icon in the tray, "Sie haben
// ISDN-Notizen erhalten", from the moment the notify thread brings an
// incoming note until the user comes back to the window. Tray icons belong
// to the GUI thread, so the notice is an object of that thread; where the
// desktop has no tray the window asks for attention instead.
#pragma once

#include <QObject>

class QSystemTrayIcon;
class QWidget;

class CSysTrayThread : public QObject {
    Q_OBJECT
public:
    explicit CSysTrayThread(QWidget* window);
    ~CSysTrayThread() override;

    // Starts the notice unless it runs.
    void Start();
    void Stop();
    bool IsRunning() const { return running_; }

signals:
    // A click on the notice's icon.
    void Clicked();

private:
    QWidget* window_;
    QSystemTrayIcon* icon_;
    bool running_ = false;
};
