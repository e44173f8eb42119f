// One velo per user and installation: the first instance listens on a
// local socket named after its window class; a later start tells it
// "restore" (or "new" when started with -n, which only says that new
// items wait) and ends.
#pragma once

#include <QObject>
#include <string>

class QLocalServer;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // installDir separates stations that run side by side for one user.
    explicit SingleInstance(const std::string& installDir, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when another instance runs; it has been told what this start wanted.
    bool TellRunningInstance(bool newItemStart);
    // Becomes the instance that later starts talk to; false when the
    // socket cannot be made (velo then runs without the check).
    bool Listen();
    const QString& Name() const { return name_; }

signals:
    void RestoreRequested();
    void NewItemsAnnounced();

private:
    QString name_;
    QString lockPath_;
    int lockFd_ = -1;
    QLocalServer* server_ = nullptr;
};
