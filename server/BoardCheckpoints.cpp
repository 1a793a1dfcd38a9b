#include "server/BoardCheckpoints.h"

#include <QByteArray>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <atomic>
#include <optional>

namespace server {

BoardCheckpoints::BoardCheckpoints(std::string file, std::chrono::milliseconds every)
    : file_(std::move(file)), every_(every), thread_([this] { Run(); }) {}

BoardCheckpoints::~BoardCheckpoints() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void BoardCheckpoints::Written() {
    {
        const std::lock_guard lock(mutex_);
        if (due_) return;
        due_ = true;
    }
    wake_.notify_one();
}

int BoardCheckpoints::Done() const {
    const std::lock_guard lock(mutex_);
    return done_;
}

void BoardCheckpoints::Run() {
    static std::atomic<int> serial{0};
    const QString name = QString("trotwick-board-checkpoints-%1").arg(++serial);
    {
        // Opened at the first move: a board nobody writes to costs nothing.
        std::optional<QSqlDatabase> db;
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return due_ || stop_; });
            if (stop_) break;
            due_ = false;
            lock.unlock();
            if (!db) {
                db = QSqlDatabase::addDatabase("QSQLITE", name);
                db->setDatabaseName(QFile::decodeName(QByteArray::fromStdString(file_)));
                db->open();
            }
            // Passive: it moves what no write is using, and waits for none.
            if (db->isOpen()) QSqlQuery(*db).exec("PRAGMA wal_checkpoint(PASSIVE)");
            lock.lock();
            ++done_;
            // At most one move each `every`, however often scores come.
            wake_.wait_for(lock, every_, [this] { return stop_; });
            if (stop_) break;
        }
        lock.unlock();
        if (db) db->close();
    }
    QSqlDatabase::removeDatabase(name);
}

}  // namespace server
