// Writes the recovery copy of the window's document while it has unsaved changes: about 5 s
// after the last change, and at least once a minute during continuous typing. The window
// hands over a snapshot (cheap: texts are shared); encoding and writing run on a worker
// thread, so typing never waits for the disk.
#pragma once

#include "document/RecoveryStore.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

class TRecoveryWriter : public QObject {
    Q_OBJECT
public:
    struct Job {
        document::DocumentSnapshot snapshot;
        document::TRecoveryRecord record;
    };
    // take is asked on this thread for the document as it is now.
    TRecoveryWriter(document::RecoveryStore store, std::function<Job()> take, QObject* parent = nullptr);
    ~TRecoveryWriter() override;

    const document::RecoveryStore& Store() const { return store_; }
    const std::string& Id() const { return id_; }
    const document::TProcessIdentity& Writer() const { return writer_; }

    // The document changed and is not saved.
    void Changed();
    // Writes the copy at once, on this thread (the program is being ended from outside).
    // False when it could not be written.
    bool WriteNow();
    // The changes were saved or discarded: no copy is due, and the copy goes.
    void Discard();
    // Makes a gone process's copy this window's (the window now shows its document).
    void TakeOver(const document::TRecoveryCopy& copy, const document::TRecoveryRecord& record);

    std::chrono::milliseconds quietTime{5000};
    std::chrono::milliseconds longestWait{60000};

signals:
    // A copy could not be written; sent once, however often it fails.
    void failed(const QString& message);

private:
    void Due();
    void Work();
    void Report(const std::string& message);

    document::RecoveryStore store_;
    std::function<Job()> take_;
    document::TProcessIdentity writer_;
    document::TRecoveryLock lock_;  // tells other windows this copy's process runs
    std::string id_;
    QTimer quiet_;
    QElapsedTimer unsavedFor_;  // since the first change not yet in a copy
    bool reported_ = false;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Job> pending_;
    bool busy_ = false;
    bool stop_ = false;
    std::thread worker_;
};
