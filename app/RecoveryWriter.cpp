#include "app/RecoveryWriter.h"

#include "platform/file_io.h"

TRecoveryWriter::TRecoveryWriter(document::RecoveryStore store, std::function<Job()> take, QObject* parent)
    : QObject(parent),
      store_(std::move(store)),
      take_(std::move(take)),
      writer_(document::TProcessIdentity::Current()),
      lock_(store_.Claim(writer_)),
      id_(lock_.Id())
{
    quiet_.setSingleShot(true);
    connect(&quiet_, &QTimer::timeout, this, &TRecoveryWriter::Due);
    worker_ = std::thread([this] { Work(); });
}

TRecoveryWriter::~TRecoveryWriter()
{
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

void TRecoveryWriter::Changed()
{
    if (!unsavedFor_.isValid())
        unsavedFor_.start();
    if (unsavedFor_.elapsed() >= longestWait.count()) {
        Due();
        return;
    }
    quiet_.start(quietTime);
}

void TRecoveryWriter::Due()
{
    quiet_.stop();
    unsavedFor_.invalidate();
    Job job = take_();
    {
        const std::lock_guard lock(mutex_);
        pending_ = std::move(job);  // an older one not yet written is overtaken
    }
    wake_.notify_all();
}

bool TRecoveryWriter::WriteNow()
{
    quiet_.stop();
    unsavedFor_.invalidate();
    Job job = take_();
    std::string failure;
    {
        std::unique_lock lock(mutex_);
        pending_.reset();
        wake_.wait(lock, [this] { return !busy_; });
        try {
            store_.Write(id_, job.snapshot, job.record);
            return true;
        } catch (const std::exception& error) {
            failure = error.what();
        }
    }
    // Outside the lock: the report may run a dialog, during which this may be called again.
    Report(failure);
    return false;
}

void TRecoveryWriter::TakeOver(const document::TRecoveryCopy& copy, const document::TRecoveryRecord& record)
{
    {
        std::unique_lock lock(mutex_);
        pending_.reset();
        wake_.wait(lock, [this] { return !busy_; });
        store_.Adopt(copy, id_, record);
    }
    Changed();  // a fresh copy of what the window now shows
}

void TRecoveryWriter::Discard()
{
    quiet_.stop();
    unsavedFor_.invalidate();
    std::unique_lock lock(mutex_);
    pending_.reset();
    wake_.wait(lock, [this] { return !busy_; });
    store_.Remove(id_);
}

void TRecoveryWriter::Work()
{
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stop_ || pending_; });
        if (stop_)
            return;
        Job job = std::move(*pending_);
        pending_.reset();
        busy_ = true;
        lock.unlock();
        std::string failure;
        try {
            store_.Write(id_, job.snapshot, job.record);
        } catch (const std::exception& error) {
            failure = error.what();
        }
        lock.lock();
        busy_ = false;
        wake_.notify_all();
        if (!failure.empty())
            QMetaObject::invokeMethod(this, [this, failure] { Report(failure); }, Qt::QueuedConnection);
    }
}

void TRecoveryWriter::Report(const std::string& message)
{
    if (reported_)
        return;
    reported_ = true;
    emit failed(QString::fromStdString(message));
}
