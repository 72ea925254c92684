#pragma once
// The desktop's ScreenCast portal (org.freedesktop.portal.ScreenCast on the session bus), the only
// way a Wayland client may capture the screen: one session from CreateSession through the desktop's
// own sharing dialog to the PipeWire node of the stream the user chose and a connection to it.
// QtDBus delivers every reply and signal on the thread of this object (the program's QApplication
// thread), so the capture's controller needs no locking and no GLib main loop of its own.
#include <QDBusContext>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>

class QDBusPendingCall;

class ScreenCastPortal : public QObject, protected QDBusContext {
  Q_OBJECT

 public:
  // What the user may pick in the desktop's dialog.
  enum class Choice { kMonitor, kMonitorOrWindow };

  static constexpr uint kSourceMonitor = 1;
  static constexpr uint kSourceWindow = 2;
  static constexpr uint kCursorHidden = 1;
  static constexpr uint kCursorEmbedded = 2;

  explicit ScreenCastPortal(QObject* parent = nullptr);
  ~ScreenCastPortal() override;

  // Asks the portal for a stream; ends in exactly one of StreamReady and Failed unless closed first.
  void Open(Choice choice);
  // Ends the session, so the desktop's sharing indicator goes away. No signal comes after this.
  void Close();

 signals:
  // The stream runs: pipewiresrc connects to `nodeId` over `pipeWireFd`, which stays open until
  // Close (the element takes its own copy).
  void StreamReady(int pipeWireFd, quint32 nodeId);
  void Failed(const QString& why);
  // The desktop ended the session: the user stopped it at the desktop's sharing indicator.
  void Ended();

 private slots:
  void OnResponse(uint code, const QVariantMap& results);
  void OnSessionClosed(const QVariantMap& details);

 private:
  enum class Step { kIdle, kProperties, kCreateSession, kSelectSources, kStart, kOpenRemote, kRunning, kClosed };

  void OnProperties(const QVariantMap& properties);
  // Calls a portal method that answers through a Request object; its Response moves to the next step.
  void CallWithRequest(Step step, const QString& method, QList<QVariant> arguments, QVariantMap options);
  void WatchRequest(const QString& path);
  void Watch(const QDBusPendingCall& call, const std::function<void(const QDBusPendingCall&)>& done);
  void OnStarted(const QVariantMap& results);
  void Fail(const QString& why);
  void Forget();

  Choice choice_ = Choice::kMonitor;
  Step step_ = Step::kIdle;
  uint sourceTypes_ = 0;
  uint cursorMode_ = 0;
  QString requestPath_;
  QString sessionPath_;
  quint32 nodeId_ = 0;
  QDBusUnixFileDescriptor remote_;
};
