#include "platform/SingleInstance.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <condition_variable>
#include <cstring>
#include <mutex>

#include "tests/support/SectionTestSupport.h"

namespace kalimo::platform {
namespace {

TEST(SingleInstance, OneServerAnswersProbesAndReceivesRequests) {
  test::UserFolders folders;
  EXPECT_EQ(SingleInstanceEndpointPath(), (folders.Dir() / "runtime" / "kalimo" / "instance.socket").string());
  EXPECT_FALSE(ProbeSingleInstance());
  EXPECT_FALSE(SendToSingleInstance("activate"));

  std::mutex lock;
  std::condition_variable arrived;
  std::vector<std::string> requests;
  SingleInstanceServer server;
  int error = 0;
  ASSERT_TRUE(server.Start(
      [&](const std::string& request) {
        std::lock_guard guard(lock);
        requests.push_back(request);
        arrived.notify_all();
      },
      error))
      << error;
  EXPECT_TRUE(ProbeSingleInstance());

  SingleInstanceServer second;
  EXPECT_FALSE(second.Start(nullptr, error));
  EXPECT_EQ(error, EADDRINUSE);

  EXPECT_TRUE(SendToSingleInstance("activate"));
  {
    std::unique_lock guard(lock);
    EXPECT_TRUE(arrived.wait_for(guard, std::chrono::seconds(5), [&] { return !requests.empty(); }));
    EXPECT_EQ(requests, std::vector<std::string>{"activate"});  // a bare probe is no request
  }
  server.Stop();
  EXPECT_FALSE(ProbeSingleInstance());
  EXPECT_FALSE(std::filesystem::exists(SingleInstanceEndpointPath()));
}

TEST(SingleInstance, AServerCanAnswerARequest) {
  test::UserFolders folders;
  EXPECT_FALSE(AskSingleInstance("activate"));  // nobody serves
  SingleInstanceServer server;
  int error = 0;
  ASSERT_TRUE(server.StartAnswering([](const std::string& request) { return request == "activate" ? "shown" : ""; },
                                    error));
  EXPECT_EQ(AskSingleInstance("activate"), std::optional<std::string>("shown"));
  EXPECT_EQ(AskSingleInstance("other"), std::optional<std::string>(""));  // served, no answer
  EXPECT_TRUE(SendToSingleInstance("activate"));  // a sender that does not wait is fine too
}

TEST(SingleInstance, ASocketLeftByACrashedServerIsNotTakenForARunningOne) {
  test::UserFolders folders;
  const std::filesystem::path folder = folders.Dir() / "runtime" / "kalimo";
  std::filesystem::create_directories(folder);
  std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
  // Bind and close without removing the file: what a killed server leaves behind.
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, SingleInstanceEndpointPath().c_str());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  close(fd);
  ASSERT_TRUE(std::filesystem::exists(SingleInstanceEndpointPath()));

  EXPECT_FALSE(ProbeSingleInstance());
  SingleInstanceServer server;
  int error = 0;
  EXPECT_TRUE(server.Start(nullptr, error)) << error;
  EXPECT_TRUE(ProbeSingleInstance());
}

TEST(SingleInstance, RefusesAnEndpointFolderOthersCanEnter) {
  test::UserFolders folders;
  const std::filesystem::path folder = folders.Dir() / "runtime" / "kalimo";
  std::filesystem::create_directories(folder);
  std::filesystem::permissions(folder, std::filesystem::perms::all);
  SingleInstanceServer server;
  int error = 0;
  EXPECT_FALSE(server.Start(nullptr, error));
  EXPECT_EQ(error, EACCES);
}

// Without XDG_RUNTIME_DIR the endpoint lives in the user's cache folder, never in a folder of a
// predictable name in /tmp; a folder there that another user owns is refused, and found by no probe.
TEST(SingleInstance, WithoutARuntimeFolderTheEndpointIsInAFolderOfTheUser) {
  test::UserFolders folders;
  unsetenv("XDG_RUNTIME_DIR");
  setenv("XDG_CACHE_HOME", (folders.Dir() / "cache").c_str(), 1);
  const std::filesystem::path folder = folders.Dir() / "cache" / "kalimo";
  EXPECT_EQ(SingleInstanceEndpointPath(), (folder / "instance.socket").string());
  {
    SingleInstanceServer server;
    int error = 0;
    ASSERT_TRUE(server.Start(nullptr, error)) << error;
    EXPECT_TRUE(ProbeSingleInstance());
    EXPECT_EQ(std::filesystem::status(folder).permissions() & std::filesystem::perms::all, std::filesystem::perms::owner_all);
    // The same folder handed to another user afterwards: its socket is nobody's of ours.
    if (chown(folder.c_str(), 65534, 65534) == 0) {
      EXPECT_FALSE(ProbeSingleInstance());
      SingleInstanceServer second;
      EXPECT_FALSE(second.Start(nullptr, error));
      EXPECT_EQ(error, EACCES);
      ASSERT_EQ(chown(folder.c_str(), getuid(), getgid()), 0);
    }
  }
  unsetenv("XDG_CACHE_HOME");
}

}  // namespace
}  // namespace kalimo::platform
