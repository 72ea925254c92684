// The software updater that the program runs before anything else. A build without an update
// service ships this one: it never updates and always lets the program start.
#define KALIMO_EXPORT extern "C" __attribute__((visibility("default")))

// 0: the program goes on starting; anything else: the updater has taken over and the program ends.
KALIMO_EXPORT int UpdateSoftware(const char* productKey, const char* productName, const char* exeName) {
  (void)productKey;
  (void)productName;
  (void)exeName;
  return 0;
}

// Called before the program unloads the component.
KALIMO_EXPORT void ReleaseUpdater() {}
