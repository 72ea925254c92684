#include "components/ScreenCastPortal.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QRandomGenerator>

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kScreenCast = QStringLiteral("org.freedesktop.portal.ScreenCast");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
const QString kSession = QStringLiteral("org.freedesktop.portal.Session");
const char* const kResponseSlot = SLOT(OnResponse(uint,QVariantMap));
const char* const kClosedSlot = SLOT(OnSessionClosed(QVariantMap));
const QString kWhatToInstall = QStringLiteral(
    "install xdg-desktop-portal and the portal of your desktop (xdg-desktop-portal-gnome, -kde or -wlr)");

// A fresh name for a request or a session handle: letters and digits only, as object paths need.
QString NewToken() { return QStringLiteral("kalimo%1").arg(QRandomGenerator::global()->generate()); }

QString ErrorText(const QDBusError& error) { return error.name() + QStringLiteral(": ") + error.message(); }

QDBusConnection Bus() { return QDBusConnection::sessionBus(); }

}  // namespace

ScreenCastPortal::ScreenCastPortal(QObject* parent) : QObject(parent) {}

ScreenCastPortal::~ScreenCastPortal() { Close(); }

void ScreenCastPortal::Open(Choice choice) {
  if (step_ != Step::kIdle) return;
  choice_ = choice;
  if (!Bus().isConnected())
    return Fail(QStringLiteral("there is no D-Bus session bus, so the desktop's ScreenCast portal cannot be asked (%1)")
                    .arg(Bus().lastError().message()));
  step_ = Step::kProperties;
  QDBusMessage get =
      QDBusMessage::createMethodCall(kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), "GetAll");
  get << kScreenCast;
  Watch(Bus().asyncCall(get), [this](const QDBusPendingCall& call) {
    const QDBusPendingReply<QVariantMap> reply = call;
    if (!reply.isError()) return OnProperties(reply.value());
    const QDBusError error = reply.error();
    if (error.type() == QDBusError::ServiceUnknown ||
        error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
      return Fail(
          QStringLiteral("the desktop's ScreenCast portal is missing: nothing provides %1 on the session bus; %2")
              .arg(kService, kWhatToInstall));
    Fail(QStringLiteral("the desktop portal has no ScreenCast interface (%1): %2; %3")
             .arg(kScreenCast, ErrorText(error), kWhatToInstall));
  });
}

void ScreenCastPortal::OnProperties(const QVariantMap& properties) {
  sourceTypes_ = properties.value(QStringLiteral("AvailableSourceTypes")).toUInt();
  const uint cursorModes = properties.value(QStringLiteral("AvailableCursorModes")).toUInt();
  if (!(sourceTypes_ & kSourceMonitor))
    return Fail(QStringLiteral("the desktop portal's ScreenCast interface (%1) offers no monitor to capture; %2")
                    .arg(kScreenCast, kWhatToInstall));
  if (choice_ == Choice::kMonitorOrWindow && !(sourceTypes_ & kSourceWindow))
    return Fail(QStringLiteral(
        "on Wayland the area is chosen in the desktop's sharing dialog, and this desktop's ScreenCast portal offers "
        "only whole monitors there; choose the whole screen instead"));
  // The pointer drawn into the picture, as the X11 capture shows it; otherwise the portal's default.
  cursorMode_ = (cursorModes & kCursorEmbedded) ? kCursorEmbedded : 0;
  CallWithRequest(Step::kCreateSession, QStringLiteral("CreateSession"), {},
                  {{QStringLiteral("session_handle_token"), NewToken()}});
}

void ScreenCastPortal::CallWithRequest(Step step, const QString& method, QList<QVariant> arguments,
                                       QVariantMap options) {
  const QString token = NewToken();
  options.insert(QStringLiteral("handle_token"), token);
  // Subscribed before the call, so that a Response sent at once is not missed.
  const QString sender = Bus().baseService().mid(1).replace('.', '_');
  WatchRequest(kPath + QStringLiteral("/request/") + sender + '/' + token);
  step_ = step;
  arguments.append(options);
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kScreenCast, method);
  call.setArguments(arguments);
  Watch(Bus().asyncCall(call), [this, method](const QDBusPendingCall& done) {
    const QDBusPendingReply<QDBusObjectPath> reply = done;
    if (reply.isError())
      return Fail(QStringLiteral("the ScreenCast portal's %1 failed: %2").arg(method, ErrorText(reply.error())));
    // Portals before version 0.9 chose their own request path.
    if (reply.value().path() != requestPath_) WatchRequest(reply.value().path());
  });
}

void ScreenCastPortal::WatchRequest(const QString& path) {
  if (!requestPath_.isEmpty()) Bus().disconnect(kService, requestPath_, kRequest, "Response", this, kResponseSlot);
  requestPath_ = path;
  Bus().connect(kService, path, kRequest, "Response", this, kResponseSlot);
}

void ScreenCastPortal::Watch(const QDBusPendingCall& call, const std::function<void(const QDBusPendingCall&)>& done) {
  // A child: destroyed with this object, so no reply reaches a closed or deleted portal.
  auto* watcher = new QDBusPendingCallWatcher(call, this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, done](QDBusPendingCallWatcher* finished) {
    finished->deleteLater();
    if (step_ != Step::kClosed) done(*finished);
  });
}

void ScreenCastPortal::OnResponse(uint code, const QVariantMap& results) {
  const bool waiting = step_ == Step::kCreateSession || step_ == Step::kSelectSources || step_ == Step::kStart;
  if (!waiting || (calledFromDBus() && message().path() != requestPath_)) return;
  const QString method = step_ == Step::kCreateSession   ? QStringLiteral("CreateSession")
                         : step_ == Step::kSelectSources ? QStringLiteral("SelectSources")
                                                         : QStringLiteral("Start");
  if (code == 1)
    return Fail(QStringLiteral("the screen capture was refused in the desktop's sharing dialog (the ScreenCast "
                               "portal's %1 was cancelled)").arg(method));
  if (code != 0)
    return Fail(QStringLiteral("the desktop's ScreenCast portal ended its %1 without a stream (response %2)")
                    .arg(method).arg(code));
  switch (step_) {
    case Step::kCreateSession: {
      // A string in the portal's documentation, an object path in some portals.
      const QVariant handle = results.value(QStringLiteral("session_handle"));
      sessionPath_ = handle.metaType() == QMetaType::fromType<QDBusObjectPath>()
                         ? handle.value<QDBusObjectPath>().path()
                         : handle.toString();
      if (sessionPath_.isEmpty()) return Fail(QStringLiteral("the ScreenCast portal's CreateSession gave no session"));
      Bus().connect(kService, sessionPath_, kSession, "Closed", this, kClosedSlot);
      QVariantMap options{{QStringLiteral("types"), choice_ == Choice::kMonitor ? kSourceMonitor
                                                                                 : kSourceMonitor | kSourceWindow},
                          {QStringLiteral("multiple"), false}};
      if (cursorMode_ != 0) options.insert(QStringLiteral("cursor_mode"), cursorMode_);
      return CallWithRequest(Step::kSelectSources, QStringLiteral("SelectSources"),
                             {QVariant::fromValue(QDBusObjectPath(sessionPath_))}, options);
    }
    case Step::kSelectSources:
      // No parent window: a Wayland client cannot name its window to the portal without an export.
      return CallWithRequest(Step::kStart, QStringLiteral("Start"),
                             {QVariant::fromValue(QDBusObjectPath(sessionPath_)), QString()}, {});
    case Step::kStart:
      return OnStarted(results);
    default:
      return;
  }
}

void ScreenCastPortal::OnStarted(const QVariantMap& results) {
  const QVariant streams = results.value(QStringLiteral("streams"));
  bool found = false;
  if (streams.metaType() == QMetaType::fromType<QDBusArgument>()) {
    // a(ua{sv}): each stream's PipeWire node and its properties; one was asked for.
    const QDBusArgument list = streams.value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
      uint node = 0;
      QVariantMap properties;
      list.beginStructure();
      list >> node >> properties;
      list.endStructure();
      if (!found) nodeId_ = node;
      found = true;
    }
    list.endArray();
  }
  if (!found) return Fail(QStringLiteral("the ScreenCast portal's Start gave no stream"));
  step_ = Step::kOpenRemote;
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kScreenCast, "OpenPipeWireRemote");
  call << QVariant::fromValue(QDBusObjectPath(sessionPath_)) << QVariantMap();
  Watch(Bus().asyncCall(call), [this](const QDBusPendingCall& done) {
    const QDBusPendingReply<QDBusUnixFileDescriptor> reply = done;
    if (reply.isError())
      return Fail(
          QStringLiteral("the ScreenCast portal's OpenPipeWireRemote failed: %1").arg(ErrorText(reply.error())));
    if (!reply.value().isValid())
      return Fail(QStringLiteral("the ScreenCast portal's OpenPipeWireRemote gave no PipeWire connection"));
    remote_ = reply.value();
    step_ = Step::kRunning;
    emit StreamReady(remote_.fileDescriptor(), nodeId_);
  });
}

void ScreenCastPortal::OnSessionClosed(const QVariantMap&) {
  if (step_ == Step::kClosed || step_ == Step::kIdle) return;
  Forget();
  emit Ended();
}

void ScreenCastPortal::Close() {
  if (step_ == Step::kClosed || step_ == Step::kIdle) {
    step_ = Step::kClosed;
    return;
  }
  // Neither call is waited for: the portal ends the dialog or the session on its own time.
  const bool dialogueOpen = step_ == Step::kCreateSession || step_ == Step::kSelectSources || step_ == Step::kStart;
  if (dialogueOpen && !requestPath_.isEmpty())
    Bus().send(QDBusMessage::createMethodCall(kService, requestPath_, kRequest, "Close"));
  if (!sessionPath_.isEmpty()) Bus().send(QDBusMessage::createMethodCall(kService, sessionPath_, kSession, "Close"));
  Forget();
}

void ScreenCastPortal::Fail(const QString& why) {
  Close();
  emit Failed(why);
}

void ScreenCastPortal::Forget() {
  step_ = Step::kClosed;
  if (!requestPath_.isEmpty()) Bus().disconnect(kService, requestPath_, kRequest, "Response", this, kResponseSlot);
  if (!sessionPath_.isEmpty()) Bus().disconnect(kService, sessionPath_, kSession, "Closed", this, kClosedSlot);
  requestPath_.clear();
  sessionPath_.clear();
  remote_ = QDBusUnixFileDescriptor();  // closes our copy of the connection
}
