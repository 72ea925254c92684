#include "windows/camera/CameraControlNoticePoster.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <thread>

namespace kalimo {
namespace {

// Notices posted from a grabber thread (and even from the owner's own thread) arrive as signals
// on the owner's thread, once each, only when its event loop runs.
TEST(CameraControlNoticePoster, NoticesArriveOnTheOwnersThread) {
  int argc = 1;
  char name[] = "test";
  char* argv[] = {name};
  QCoreApplication application(argc, argv);
  CameraControlNoticePoster poster;
  int snapshots = 0;
  int failures = 0;
  bool allOnOwnerThread = true;
  QObject::connect(&poster, &CameraControlNoticePoster::snapshotFinished, [&] {
    ++snapshots;
    allOnOwnerThread &= QThread::currentThread() == application.thread();
  });
  QObject::connect(&poster, &CameraControlNoticePoster::recordedFrameFailed, [&] {
    ++failures;
    allOnOwnerThread &= QThread::currentThread() == application.thread();
  });

  std::thread grabber([&] {
    CameraControlNotices& notices = poster;
    notices.PostSnapshotFinished();
    notices.PostRecordedFrameFailed();
  });
  grabber.join();
  poster.PostSnapshotFinished();
  EXPECT_EQ(snapshots, 0);  // nothing runs inside the poster's call

  QDeadlineTimer deadline(10000);
  while ((snapshots < 2 || failures < 1) && !deadline.hasExpired()) QCoreApplication::processEvents();
  EXPECT_EQ(snapshots, 2);
  EXPECT_EQ(failures, 1);
  EXPECT_TRUE(allOnOwnerThread);
}

}  // namespace
}  // namespace kalimo
