#pragma once
// The per-user single-instance endpoint: a Unix-domain socket that the running producer of frames
// (the main program, or kalimo-feed while it feeds) serves. A second start of the main program asks
// the running one to come to the front through it; the virtual camera only probes it, to know
// whether the main program must be started.
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace kalimo::platform {

// The socket's path: $XDG_RUNTIME_DIR/kalimo/instance.socket, or $XDG_CACHE_HOME/kalimo/instance.socket
// ($HOME/.cache/kalimo/...) when XDG_RUNTIME_DIR is not set. The folder is private to the user
// (0700): serving refuses (EACCES) and probing finds nobody in a folder that another user owns or
// that others may enter.
std::string SingleInstanceEndpointPath();

// True when a server accepts connections on the endpoint. Never blocks for long: a connection to
// a stale socket file is refused at once.
bool ProbeSingleInstance();

// Connects and sends one request line (e.g. "activate"). False when nobody serves the endpoint.
bool SendToSingleInstance(const std::string& request);

// Sends one request line and waits a moment for the server's one-line answer (without its line
// end; empty when the server gives none). Nothing when nobody serves the endpoint.
std::optional<std::string> AskSingleInstance(const std::string& request);

// Serves the endpoint on a thread of its own until Stop() or destruction. A lock file beside the
// socket makes serving exclusive: a second server fails with EADDRINUSE while the first lives, and
// a socket file left behind by a crashed server is replaced.
class SingleInstanceServer {
 public:
  // Called on the server's thread with each request line received (without its line end).
  using RequestHandler = std::function<void(const std::string& request)>;
  // Likewise, and its result (when not empty) goes back to the client as one line.
  using AnsweringHandler = std::function<std::string(const std::string& request)>;

  SingleInstanceServer() = default;
  ~SingleInstanceServer();
  SingleInstanceServer(const SingleInstanceServer&) = delete;
  SingleInstanceServer& operator=(const SingleInstanceServer&) = delete;

  bool Start(RequestHandler handler, int& error);
  bool StartAnswering(AnsweringHandler handler, int& error);
  void Stop();
  bool IsServing() const { return listenFd_ >= 0; }

 private:
  void Serve();

  int lockFd_ = -1;
  int listenFd_ = -1;
  int wakeFds_[2] = {-1, -1};  // a pipe that interrupts the accept loop on Stop()
  std::string path_;
  AnsweringHandler handler_;
  std::thread thread_;
};

}  // namespace kalimo::platform
