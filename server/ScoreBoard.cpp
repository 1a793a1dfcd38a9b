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
// The ranking, read forwards for the top player and backwards for the
// lowest ones to let go: neither sorts the table.
constexpr const char* kIndex =
    "CREATE INDEX IF NOT EXISTS scores_by_rank ON scores (level DESC, won DESC, wager DESC, seq)";
constexpr const char* kCounts = "SELECT COUNT(*), IFNULL(MAX(seq), 0) FROM scores";

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

// Each statement is prepared once, when the board opens.
struct ScoreBoard::Statements {
    explicit Statements(const QSqlDatabase& db)
        : find(db), insert(db), update(db), trim(db), top(db), mark(db), keep(db), undo(db) {
        find.setForwardOnly(true);
        top.setForwardOnly(true);
    }
    bool Prepare() {
        // Best first; the same order reversed finds the lowest.
        return mark.prepare("SAVEPOINT score") && keep.prepare("RELEASE score") &&
               undo.prepare("ROLLBACK TO score") &&
               find.prepare("SELECT level, won, wager, seq FROM scores WHERE name = ?") &&
               insert.prepare("INSERT INTO scores (name, level, won, lost, wager, seq) VALUES (?, ?, ?, ?, ?, ?)") &&
               update.prepare("UPDATE scores SET level = ?, won = ?, lost = ?, wager = ?, seq = ? WHERE name = ?") &&
               trim.prepare("DELETE FROM scores WHERE name IN (SELECT name FROM scores"
                            " ORDER BY level ASC, won ASC, wager ASC, seq DESC LIMIT ?)") &&
               top.prepare("SELECT name, level, won, lost, wager FROM scores"
                           " ORDER BY level DESC, won DESC, wager DESC, seq ASC LIMIT 1");
    }
    const QSqlQuery* Failed() const {
        for (const QSqlQuery* q : {&find, &insert, &update, &trim, &top, &mark, &keep, &undo}) {
            if (q->lastError().isValid()) return q;
        }
        return nullptr;
    }

    QSqlQuery find;
    QSqlQuery insert;
    QSqlQuery update;
    QSqlQuery trim;
    QSqlQuery top;
    // Each score in the batch is a savepoint of its own: one that fails
    // is undone alone.
    QSqlQuery mark;
    QSqlQuery keep;
    QSqlQuery undo;
};

ScoreBoard::ScoreBoard(std::string connection, std::int64_t maxPlayers)
    : connection_(std::move(connection)), maxPlayers_(maxPlayers) {}

ScoreBoard::~ScoreBoard() {
    Commit();
    statements_.reset();  // before the connection goes
    // The last connection to close moves the journal into the file.
    checkpoints_.reset();
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
        // The journal is moved into the file by BoardCheckpoints, away from
        // the event loop, and kept to a moderate size once moved.
        {"PRAGMA wal_autocheckpoint = 0", " cannot be opened: "},
        {"PRAGMA journal_size_limit = 67108864", " cannot be opened: "},
        // A full board (100,000 players) is about 8 MB: kept in memory
        // whole, a score reads no page from the file.
        {"PRAGMA cache_size = -32768", " cannot be opened: "},
        {kTable, " cannot be opened: "},
        {kShape, " holds a table 'scores' that is no leader's board: "},
        {kIndex, " cannot be opened: "},
    };
    {
        QSqlQuery query(db);
        for (const auto& step : steps) {
            if (!query.exec(step.statement)) {
                error = where + step.failure + Text(query.lastError());
                return nullptr;
            }
        }
        // Counted once here; from now on the board keeps count itself.
        if (!query.exec(kCounts) || !query.next()) {
            error = where + " cannot be read: " + Text(query.lastError());
            return nullptr;
        }
        board->players_ = board->committedPlayers_ = query.value(0).toLongLong();
        board->nextSeq_ = board->committedNextSeq_ = query.value(1).toLongLong() + 1;
    }
    board->statements_ = std::make_unique<Statements>(db);
    board->checkpoints_ = std::make_unique<BoardCheckpoints>(file.string());
    if (!board->statements_->Prepare()) {
        const QSqlQuery* failed = board->statements_->Failed();
        error = where + " cannot be opened: " + (failed ? Text(failed->lastError()) : std::string("?"));
        return nullptr;
    }
    return board;
}

bool ScoreBoard::Begin() {
    if (open_) return true;
    QSqlDatabase db = Database(connection_);
    if (!db.transaction()) {
        lastError_ = Text(db.lastError());
        return false;
    }
    open_ = true;
    committedPlayers_ = players_;
    committedNextSeq_ = nextSeq_;
    return true;
}

void ScoreBoard::Abandon() {
    if (open_) Database(connection_).rollback();
    open_ = false;
    pending_ = 0;
    players_ = committedPlayers_;
    nextSeq_ = committedNextSeq_;
}

bool ScoreBoard::Record(const online::ScoreRecord& score) {
    if (!Begin()) return false;
    Statements& s = *statements_;
    if (!s.mark.exec()) return GiveUp(s.mark.lastError());
    const std::int64_t playersBefore = players_;
    const std::int64_t nextSeqBefore = nextSeq_;
    const auto undo = [&](const QSqlError& error) { return Undo(error, playersBefore, nextSeqBefore); };

    const QByteArray name = QByteArray::fromStdString(score.Name);
    s.find.bindValue(0, name);
    if (!s.find.exec()) return undo(s.find.lastError());
    const bool known = s.find.next();
    // A player who sends the same level, wins and wager again keeps the
    // place in arrival order that they had.
    const bool samePlace = known && s.find.value(0).toInt() == score.Level && s.find.value(1).toInt() == score.LANwon &&
                           s.find.value(2).toDouble() == score.LANwager;
    const qlonglong seq = samePlace ? s.find.value(3).toLongLong() : nextSeq_;
    s.find.finish();

    QSqlQuery& write = known ? s.update : s.insert;
    const QVariant values[] = {score.Level, score.LANwon, score.LANlost, score.LANwager, seq};
    int at = 0;
    if (!known) write.bindValue(at++, name);
    for (const QVariant& value : values) write.bindValue(at++, value);
    if (known) write.bindValue(at++, name);
    if (!write.exec()) return undo(write.lastError());
    if (!samePlace) ++nextSeq_;
    if (!known) ++players_;
    if (players_ > maxPlayers_) {
        QSqlQuery& trim = s.trim;
        trim.bindValue(0, static_cast<qlonglong>(players_ - maxPlayers_));
        if (!trim.exec()) return undo(trim.lastError());
        players_ -= trim.numRowsAffected();
    }
    if (!s.keep.exec()) return undo(s.keep.lastError());
    ++pending_;
    return true;
}

bool ScoreBoard::Undo(const QSqlError& error, std::int64_t players, std::int64_t nextSeq) {
    Statements& s = *statements_;
    s.find.finish();
    // Back to before this score: the others of the batch stay.
    if (s.undo.exec() && s.keep.exec()) {
        lastError_ = Text(error);
        players_ = players;
        nextSeq_ = nextSeq;
        return false;
    }
    // SQLite gave the whole transaction up (it may, on a full disk or a
    // failed write): the batch is lost with it.
    return GiveUp(error);
}

bool ScoreBoard::GiveUp(const QSqlError& error) {
    lastError_ = Text(error);
    if (pending_ > 0) {
        lastError_ += " (and the " + std::to_string(pending_) + " scores before it, not yet written, are lost)";
    }
    Abandon();
    return false;
}

bool ScoreBoard::Commit() {
    if (!open_) return true;
    QSqlDatabase db = Database(connection_);
    if (!db.commit()) {
        lastError_ = Text(db.lastError());
        Abandon();
        return false;
    }
    open_ = false;
    pending_ = 0;
    committedPlayers_ = players_;
    committedNextSeq_ = nextSeq_;
    if (checkpoints_) checkpoints_->Written();
    return true;
}

std::optional<online::ScoreRecord> ScoreBoard::Top() const {
    QSqlQuery& query = statements_->top;
    if (!query.exec()) {
        lastError_ = Text(query.lastError());
        return std::nullopt;
    }
    std::optional<online::ScoreRecord> top;
    if (query.next()) {
        top.emplace();
        top->Name = query.value(0).toByteArray().toStdString();
        top->Level = query.value(1).toInt();
        top->LANwon = query.value(2).toInt();
        top->LANlost = query.value(3).toInt();
        top->LANwager = query.value(4).toDouble();
    }
    query.finish();
    return top;
}

}  // namespace server
