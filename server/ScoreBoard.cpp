#include "server/ScoreBoard.h"

#include <QByteArray>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <atomic>

namespace server {

namespace {

// The board's layout: one row per player, `seq` counting arrivals so that
// the first of two equal records keeps the top.
constexpr const char* kTable =
    "CREATE TABLE IF NOT EXISTS scores ("
    " name BLOB PRIMARY KEY NOT NULL,"
    " level INTEGER NOT NULL, won INTEGER NOT NULL, lost INTEGER NOT NULL, wager REAL NOT NULL,"
    " seq INTEGER NOT NULL)";
constexpr const char* kShape = "SELECT name, level, won, lost, wager, seq FROM scores LIMIT 1";
constexpr const char* kIndex =
    "CREATE INDEX IF NOT EXISTS scores_by_rank ON scores (level DESC, won DESC, wager DESC, seq)";

// Best first. The same order, reversed, finds the lowest to let go.
constexpr const char* kRankOrder = "level DESC, won DESC, wager DESC, seq ASC";
constexpr const char* kReverseOrder = "level ASC, won ASC, wager ASC, seq DESC";

// SQLite's own words ("unable to open database file", "file is not a
// database") say it best; Qt's are the fallback.
std::string Text(const QSqlError& error) {
    const QString text = error.databaseText().isEmpty() ? error.driverText() : error.databaseText();
    return text.toStdString();
}

QSqlDatabase Database(const std::string& connection) {
    return QSqlDatabase::database(QString::fromStdString(connection), false);
}

}  // namespace

ScoreBoard::ScoreBoard(std::string connection, std::int64_t maxPlayers)
    : connection_(std::move(connection)), maxPlayers_(maxPlayers) {}

ScoreBoard::~ScoreBoard() {
    {
        QSqlDatabase db = Database(connection_);
        db.close();
    }
    QSqlDatabase::removeDatabase(QString::fromStdString(connection_));
}

std::unique_ptr<ScoreBoard> ScoreBoard::Open(const std::filesystem::path& file, std::string& error,
                                             std::int64_t maxPlayers) {
    if (!QSqlDatabase::isDriverAvailable("QSQLITE")) {
        error = "Qt's SQLite driver is missing (on Debian: apt-get install libqt6sql6-sqlite)";
        return nullptr;
    }
    static std::atomic<int> serial{0};
    const std::string connection = "trotwick-board-" + std::to_string(++serial);
    std::unique_ptr<ScoreBoard> board(new ScoreBoard(connection, maxPlayers));

    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", QString::fromStdString(connection));
    db.setDatabaseName(QFile::decodeName(QByteArray::fromStdString(file.string())));
    const std::string where = "the leader's board " + file.string();
    if (!db.open()) {
        error = where + " cannot be opened: " + Text(db.lastError());
        return nullptr;
    }
    // Writing the marker shows at once that the file is a database that
    // may be written, not only read. The shape is checked before the index
    // is made on its columns.
    const struct {
        const char* statement;
        const char* failure;
    } steps[] = {
        {"PRAGMA user_version = 1", " cannot be opened: "},
        {"PRAGMA journal_mode = WAL", " cannot be opened: "},
        {"PRAGMA synchronous = NORMAL", " cannot be opened: "},
        {kTable, " cannot be opened: "},
        {kShape, " holds a table 'scores' that is no leader's board: "},
        {kIndex, " cannot be opened: "},
    };
    QSqlQuery query(db);
    for (const auto& step : steps) {
        if (!query.exec(step.statement)) {
            error = where + step.failure + Text(query.lastError());
            return nullptr;
        }
    }
    return board;
}

bool ScoreBoard::Record(const online::ScoreRecord& score) {
    QSqlDatabase db = Database(connection_);
    if (!db.transaction()) {
        lastError_ = Text(db.lastError());
        return false;
    }
    QSqlQuery query(db);
    // A player who sends the same level, wins and wager again keeps the
    // place in arrival order that they had.
    query.prepare(
        "INSERT INTO scores (name, level, won, lost, wager, seq)"
        " VALUES (:name, :level, :won, :lost, :wager, (SELECT IFNULL(MAX(seq), 0) + 1 FROM scores))"
        " ON CONFLICT (name) DO UPDATE SET"
        " seq = CASE WHEN level = excluded.level AND won = excluded.won AND wager = excluded.wager"
        "       THEN seq ELSE excluded.seq END,"
        " level = excluded.level, won = excluded.won, lost = excluded.lost, wager = excluded.wager");
    query.bindValue(":name", QByteArray::fromStdString(score.Name));
    query.bindValue(":level", score.Level);
    query.bindValue(":won", score.LANwon);
    query.bindValue(":lost", score.LANlost);
    query.bindValue(":wager", score.LANwager);
    QSqlQuery trim(db);
    trim.prepare(QString("DELETE FROM scores WHERE name IN (SELECT name FROM scores ORDER BY %1"
                         " LIMIT MAX(0, (SELECT COUNT(*) FROM scores) - :max))")
                     .arg(kReverseOrder));
    trim.bindValue(":max", static_cast<qlonglong>(maxPlayers_));
    if (!query.exec() || !trim.exec()) {
        lastError_ = Text(query.lastError().isValid() ? query.lastError() : trim.lastError());
        db.rollback();
        return false;
    }
    if (!db.commit()) {
        lastError_ = Text(db.lastError());
        db.rollback();
        return false;
    }
    return true;
}

std::optional<online::ScoreRecord> ScoreBoard::Top() const {
    QSqlQuery query(Database(connection_));
    if (!query.exec(QString("SELECT name, level, won, lost, wager FROM scores ORDER BY %1 LIMIT 1").arg(kRankOrder))) {
        lastError_ = Text(query.lastError());
        return std::nullopt;
    }
    if (!query.next()) return std::nullopt;
    online::ScoreRecord top;
    top.Name = query.value(0).toByteArray().toStdString();
    top.Level = query.value(1).toInt();
    top.LANwon = query.value(2).toInt();
    top.LANlost = query.value(3).toInt();
    top.LANwager = query.value(4).toDouble();
    return top;
}

std::int64_t ScoreBoard::Players() const {
    QSqlQuery query(Database(connection_));
    if (!query.exec("SELECT COUNT(*) FROM scores") || !query.next()) return 0;
    return query.value(0).toLongLong();
}

}  // namespace server
