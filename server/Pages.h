#pragma once
// The web pages: plain HTML readable without JavaScript, built from the
// services' answers with the escaping builder.

#include "server/PathPictures.h"
#include "server/Services.h"

#include <optional>
#include <string>

namespace server {

class Pages {
public:
    Pages(PlayerService& players, RunService& runs, BoardService& boards, const CourseService& courses,
          const PathPictures& pictures)
        : players_(players), runs_(runs), boards_(boards), courses_(courses), pictures_(pictures) {}
    std::string Home();
    // nullopt when there is no such course, player or run.
    std::optional<std::string> Course(const std::string& id);
    std::optional<std::string> PlayerPage(const std::string& name);
    std::optional<std::string> RunPage(int64_t id);
    static std::string NotFound(const std::string& what);

private:
    PlayerService& players_;
    RunService& runs_;
    BoardService& boards_;
    const CourseService& courses_;
    const PathPictures& pictures_;
};

}  // namespace server
