#pragma once
// The HTTP side: routes as thin handlers over the services, JSON errors,
// and connections that each request must finish within a deadline (a
// client sending a byte a second is cut off and its thread freed).

#include "server/Pages.h"
#include "server/Services.h"
#include "server/VerifyQueue.h"

#include <httplib.h>

namespace server {

struct HttpLimits {
    int readTimeoutSeconds = 5;    // the longest silence within a request
    int requestSeconds = 15;       // the longest a whole request may take to arrive
    int keepAliveSeconds = 5;
    int threads = 32;
    // Behind a reverse proxy on this machine, the client's address is the
    // last one the proxy put in X-Forwarded-For.
    bool trustProxy = false;
};

class HttpApi : public httplib::Server {
public:
    HttpApi(PlayerService& players, RunService& runs, BoardService& boards, const CourseService& courses,
            CourseUploadService& uploads, VerifyQueue& queue, const PathPictures& pictures, HttpLimits limits);

private:
    bool process_and_close_socket(socket_t sock) override;
    void Routes();

    PlayerService& players_;
    RunService& runs_;
    BoardService& boards_;
    const CourseService& courses_;
    CourseUploadService& uploads_;
    VerifyQueue& queue_;
    const PathPictures& pictures_;
    Pages pages_;
    HttpLimits limits_;
};

}  // namespace server
