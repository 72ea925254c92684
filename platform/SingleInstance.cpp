#include "platform/SingleInstance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/ProgramPaths.h"

namespace kalimo::platform {

namespace {
constexpr int kRequestTimeoutMs = 500;

std::string EndpointFolder() { return KalimoRuntimeDirectory(); }

// True when the folder is a real folder of this user that nobody else may enter.
bool FolderIsPrivate(const std::string& folder, int& error) {
  struct stat info {};
  if (lstat(folder.c_str(), &info) != 0) {
    error = errno;
    return false;
  }
  if (!S_ISDIR(info.st_mode) || info.st_uid != geteuid() || (info.st_mode & 0077) != 0) {
    error = EACCES;
    return false;
  }
  return true;
}

// Creates the folder 0700 if needed (its parent too) and refuses one that another account owns or
// others may enter.
bool PrepareFolder(const std::string& folder, int& error) {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(folder).parent_path(), ignored);
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    error = errno;
    return false;
  }
  return FolderIsPrivate(folder, error);
}

bool FillAddress(const std::string& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

int Connect() {
  // A socket in a folder that is not ours could be anybody's: it is no running program of this user.
  int error = 0;
  if (!FolderIsPrivate(EndpointFolder(), error)) return -1;
  sockaddr_un address;
  if (!FillAddress(SingleInstanceEndpointPath(), address)) return -1;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<std::size_t>(written);
  }
  return true;
}

// Reads one line, waiting at most kRequestTimeoutMs so a silent peer (a probe) cannot hold the
// reader up.
std::string ReadLine(int fd) {
  std::string line;
  char buffer[256];
  while (line.size() < 4096) {
    pollfd entry{fd, POLLIN, 0};
    if (poll(&entry, 1, kRequestTimeoutMs) <= 0) break;
    const ssize_t received = recv(fd, buffer, sizeof buffer, 0);
    if (received < 0 && errno == EINTR) continue;
    if (received <= 0) break;
    line.append(buffer, static_cast<std::size_t>(received));
    if (const auto end = line.find('\n'); end != std::string::npos) {
      line.resize(end);
      break;
    }
  }
  return line;
}
}  // namespace

std::string SingleInstanceEndpointPath() { return EndpointFolder() + "/instance.socket"; }

bool ProbeSingleInstance() {
  const int fd = Connect();
  if (fd < 0) return false;
  close(fd);
  return true;
}

bool SendToSingleInstance(const std::string& request) {
  const int fd = Connect();
  if (fd < 0) return false;
  const bool sent = WriteAll(fd, request + "\n");
  close(fd);
  return sent;
}

std::optional<std::string> AskSingleInstance(const std::string& request) {
  const int fd = Connect();
  if (fd < 0) return std::nullopt;
  std::optional<std::string> answer;
  if (WriteAll(fd, request + "\n")) answer = ReadLine(fd);
  close(fd);
  return answer;
}

SingleInstanceServer::~SingleInstanceServer() { Stop(); }

bool SingleInstanceServer::Start(RequestHandler handler, int& error) {
  if (!handler) return StartAnswering(nullptr, error);
  return StartAnswering(
      [handler = std::move(handler)](const std::string& request) {
        handler(request);
        return std::string();
      },
      error);
}

bool SingleInstanceServer::StartAnswering(AnsweringHandler handler, int& error) {
  if (IsServing()) return true;
  const std::string folder = EndpointFolder();
  if (!PrepareFolder(folder, error)) return false;
  path_ = folder + "/instance.socket";
  sockaddr_un address;
  if (!FillAddress(path_, address)) {
    error = ENAMETOOLONG;
    return false;
  }

  lockFd_ = open((folder + "/instance.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lockFd_ < 0) {
    error = errno;
    return false;
  }
  if (flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
    error = errno == EWOULDBLOCK ? EADDRINUSE : errno;
    close(lockFd_);
    lockFd_ = -1;
    return false;
  }
  // Holding the lock, any socket file is a leftover of a server that died.
  unlink(path_.c_str());

  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd, 16) != 0 || pipe2(wakeFds_, O_CLOEXEC) != 0) {
    error = errno;
    if (fd >= 0) close(fd);
    unlink(path_.c_str());
    close(lockFd_);
    lockFd_ = -1;
    return false;
  }
  listenFd_ = fd;
  handler_ = std::move(handler);
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void SingleInstanceServer::Stop() {
  if (!IsServing()) return;
  const char wake = 'x';
  [[maybe_unused]] const ssize_t ignored = write(wakeFds_[1], &wake, 1);
  if (thread_.joinable()) thread_.join();
  unlink(path_.c_str());
  close(listenFd_);
  listenFd_ = -1;
  close(wakeFds_[0]);
  close(wakeFds_[1]);
  wakeFds_[0] = wakeFds_[1] = -1;
  close(lockFd_);  // releases the lock
  lockFd_ = -1;
}

void SingleInstanceServer::Serve() {
  for (;;) {
    pollfd entries[2] = {{listenFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
    if (poll(entries, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (entries[1].revents != 0) return;
    if ((entries[0].revents & POLLIN) == 0) continue;
    const int client = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    const std::string request = ReadLine(client);
    if (!request.empty() && handler_) {
      const std::string answer = handler_(request);
      if (!answer.empty()) WriteAll(client, answer + "\n");
    }
    close(client);
  }
}

}  // namespace kalimo::platform
