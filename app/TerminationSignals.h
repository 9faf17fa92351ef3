// SIGTERM, SIGHUP and SIGINT, which would end the program at once, become a Qt signal on the
// main thread, so that the window can keep the user's work before the program exits.
#pragma once

#include <QObject>

class QSocketNotifier;

class TTerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TTerminationSignals(QObject* parent = nullptr);
    ~TTerminationSignals() override;

signals:
    void received(int signal);

private:
    QSocketNotifier* notifier_ = nullptr;
};
