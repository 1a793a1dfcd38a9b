#include "server/OnlineServer.h"

#include <filesystem>
#include <system_error>

#include "server/ScoreBoard.h"

namespace server {

OnlineServer::OnlineServer(ServerOptions options, ServicePorts ports, ServerLog& log, QObject* parent)
    : QObject(parent), options_(std::move(options)), ports_(ports), log_(log) {}

OnlineServer::~OnlineServer() { Stop(); }

bool OnlineServer::Start(std::string& error) {
    std::error_code code;
    if (!std::filesystem::is_regular_file(options_.Patch, code)) {
        error = "the patch file " + options_.Patch.string() + " is missing or is no file";
        return false;
    }
    if (options_.MakeBoardFolder) std::filesystem::create_directories(options_.Board.parent_path(), code);
    board_ = ScoreBoard::Open(options_.Board, error);
    if (!board_) return false;
    log_.Write("trotwick-server: version " + std::to_string(options_.Version) + ", patch " + options_.Patch.string() +
               ", board " + options_.Board.string());
    return true;
}

void OnlineServer::Stop() { board_.reset(); }

}  // namespace server
