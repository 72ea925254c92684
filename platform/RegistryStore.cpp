#include "platform/RegistryStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <vector>

#include "platform/FileWriting.h"
#include "platform/PlainText.h"
#include "platform/ProgramPaths.h"

namespace kalimo::platform {

namespace {

struct Value {
  std::string name;
  bool isDword = false;
  std::string text;
  std::uint32_t number = 0;
  bool damaged = false;  // a line that could not be read: `text` holds it as it was, for the next save
};

struct Key {
  std::string path;  // "HKEY_CLASSES_ROOT\..." as written
  std::vector<Value> values;
  bool damagedOnly = false;  // not a key: holds the damaged lines before the first key
};

using Store = std::vector<Key>;

// Damaged lines are reported once per process and line number, not at every read.
void ReportDamagedLine(const std::string& path, int lineNumber) {
  static std::mutex lock;
  static std::set<std::pair<std::string, int>> reported;
  std::lock_guard guard(lock);
  if (!reported.insert({path, lineNumber}).second) return;
  std::fprintf(stderr, "%s: line %d is damaged; it is skipped and kept as it is\n", path.c_str(), lineNumber);
}

// `key` equals `parent` or lies below it.
bool IsAtOrBelow(const std::string& key, const std::string& parent) {
  if (key.size() < parent.size()) return false;
  if (!EqualsIgnoringAsciiCase(key.substr(0, parent.size()), parent)) return false;
  return key.size() == parent.size() || key[parent.size()] == '\\';
}

std::string FullPath(RegistryRoot root, std::string key) {
  while (!key.empty() && key.front() == '\\') key.erase(key.begin());
  while (!key.empty() && key.back() == '\\') key.pop_back();
  const char* rootName = root == RegistryRoot::kClassesRoot ? "HKEY_CLASSES_ROOT" : "HKEY_CURRENT_USER";
  return key.empty() ? std::string(rootName) : std::string(rootName) + "\\" + key;
}

std::string Folder(RegistryLifetime lifetime) {
  return lifetime == RegistryLifetime::kVolatile ? KalimoRuntimeDirectory() : UserConfigDirectory() + "/kalimo";
}

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// Reads a quoted text starting at `pos`; on success `pos` is just past the closing quote.
bool Unquote(const std::string& line, std::size_t& pos, std::string& text) {
  if (pos >= line.size() || line[pos] != '"') return false;
  text.clear();
  for (++pos; pos < line.size(); ++pos) {
    const char c = line[pos];
    if (c == '"') {
      ++pos;
      return true;
    }
    if (c == '\\') {
      if (++pos >= line.size()) return false;
      const char escaped = line[pos];
      if (escaped == 'n') {
        text += '\n';
      } else if (escaped == 'r') {
        text += '\r';
      } else if (escaped == '\\' || escaped == '"') {
        text += escaped;
      } else {
        return false;
      }
    } else {
      text += c;
    }
  }
  return false;
}

bool ParseValue(const std::string& line, Value& value) {
  std::size_t pos = 0;
  if (line.compare(0, 2, "@=") == 0) {
    value.name.clear();
    pos = 1;
  } else {
    if (!Unquote(line, pos, value.name)) return false;
  }
  if (pos >= line.size() || line[pos] != '=') return false;
  ++pos;
  if (line.compare(pos, 6, "dword:") == 0) {
    const std::string digits = line.substr(pos + 6);
    if (digits.size() != 8 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
    value.isDword = true;
    value.number = static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16));
    return true;
  }
  if (!Unquote(line, pos, value.text)) return false;
  return pos == line.size();
}

// Reads the store file. A missing file is an empty store. A line that is not understood is
// reported with its number and skipped; it stays in the store as it was, so that a save writes it
// back unchanged and nothing the user wrote is lost.
bool Load(Store& store, RegistryLifetime lifetime, int& error) {
  store.clear();
  const std::string path = RegistryStore::FilePath(lifetime);
  if (access(path.c_str(), F_OK) != 0) {
    if (errno == ENOENT) return true;
    error = errno;
    return false;
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = EACCES;
    return false;
  }
  std::string line;
  int lineNumber = 0;
  while (std::getline(file, line)) {
    ++lineNumber;
    std::string text = line;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (text.empty() || text.front() == ';') continue;
    if (text.front() == '[' && text.size() >= 3 && text.back() == ']') {
      store.push_back(Key{text.substr(1, text.size() - 2), {}, false});
      continue;
    }
    Value value;
    if (store.empty() || store.back().damagedOnly || !ParseValue(text, value)) {
      ReportDamagedLine(path, lineNumber);
      value = Value{};
      value.damaged = true;
      value.text = line;
      if (store.empty()) store.push_back(Key{{}, {}, true});
    }
    store.back().values.push_back(std::move(value));
  }
  if (file.bad()) {
    error = EIO;
    return false;
  }
  return true;
}

bool Save(const Store& store, RegistryLifetime lifetime, int& error) {
  std::ostringstream text;
  text << "; Kalimo's per-user registry values. Written by the programs; edit with care.\n";
  for (const Key& key : store) {
    if (!key.damagedOnly) text << "\n[" << key.path << "]\n";
    for (const Value& value : key.values) {
      if (value.damaged) {
        text << value.text << '\n';
        continue;
      }
      text << (value.name.empty() ? std::string("@") : Quote(value.name)) << '=';
      if (value.isDword) {
        char digits[9];
        std::snprintf(digits, sizeof digits, "%08x", value.number);
        text << "dword:" << digits << '\n';
      } else {
        text << Quote(value.text) << '\n';
      }
    }
  }
  const std::string content = text.str();
  const std::string path = RegistryStore::FilePath(lifetime);
  const std::string temporary = path + ".tmp";
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) {
    error = errno;
    return false;
  }
  return WriteAndReplace(fd, temporary, path, content, error) == ReplaceResult::kReplaced;
}

// Holds the store's lock file for one read-modify-write.
class ExclusiveLock {
 public:
  ExclusiveLock(RegistryLifetime lifetime, int& error) {
    const std::string folder = Folder(lifetime);
    std::string partial;
    for (std::size_t pos = 1; pos <= folder.size(); ++pos) {
      if (pos == folder.size() || folder[pos] == '/') {
        partial = folder.substr(0, pos);
        if (mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
          error = errno;
          return;
        }
      }
    }
    fd_ = open((folder + "/registry.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) {
      error = errno;
      return;
    }
    while (flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        error = errno;
        close(fd_);
        fd_ = -1;
        return;
      }
    }
  }
  ~ExclusiveLock() {
    if (fd_ >= 0) close(fd_);
  }
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

Key* FindKey(Store& store, const std::string& path) {
  for (Key& key : store) {
    if (!key.damagedOnly && EqualsIgnoringAsciiCase(key.path, path)) return &key;
  }
  return nullptr;
}

Value* FindValue(Key& key, const std::string& name) {
  for (Value& value : key.values) {
    if (!value.damaged && EqualsIgnoringAsciiCase(value.name, name)) return &value;
  }
  return nullptr;
}

// Removes the keys at or below `path`; damaged lines among their values move to the key before them
// (or to the top of the file), since they are not known to belong to the key.
bool RemoveKeys(Store& store, const std::string& path) {
  bool removed = false;
  for (std::size_t index = 0; index < store.size();) {
    Key& key = store[index];
    if (key.damagedOnly || !IsAtOrBelow(key.path, path)) {
      ++index;
      continue;
    }
    std::vector<Value> kept;
    for (Value& value : key.values) {
      if (value.damaged) kept.push_back(std::move(value));
    }
    store.erase(store.begin() + static_cast<std::ptrdiff_t>(index));
    removed = true;
    if (kept.empty()) continue;
    if (index == 0) {
      store.insert(store.begin(), Key{{}, std::move(kept), true});
      ++index;
    } else {
      auto& target = store[index - 1].values;
      target.insert(target.end(), std::make_move_iterator(kept.begin()), std::make_move_iterator(kept.end()));
    }
  }
  return removed;
}

// Runs `change` on the loaded store and saves it when `change` asks for it.
template <typename Change>
bool Modify(RegistryLifetime lifetime, int& error, Change change) {
  ExclusiveLock lock(lifetime, error);
  if (!lock.Held()) return false;
  Store store;
  if (!Load(store, lifetime, error)) return false;
  bool save = false;
  if (!change(store, save, error)) return false;
  return !save || Save(store, lifetime, error);
}

std::optional<Value> Lookup(RegistryRoot root, const std::string& key, const std::string& name,
                            RegistryLifetime lifetime, int& error) {
  Store store;
  if (!Load(store, lifetime, error)) return std::nullopt;
  Key* found = FindKey(store, FullPath(root, key));
  if (!found) {
    error = ENOENT;
    return std::nullopt;
  }
  Value* value = FindValue(*found, name);
  if (!value) {
    error = ENOENT;
    return std::nullopt;
  }
  return *value;
}

bool WriteValue(RegistryRoot root, const std::string& key, Value value, RegistryLifetime lifetime, int& error) {
  return Modify(lifetime, error, [&](Store& store, bool& save, int& err) {
    Key* found = FindKey(store, FullPath(root, key));
    if (!found) {
      err = ENOENT;
      return false;
    }
    if (Value* existing = FindValue(*found, value.name)) {
      *existing = std::move(value);
    } else {
      found->values.push_back(std::move(value));
    }
    save = true;
    return true;
  });
}

}  // namespace

std::string RegistryStore::FilePath(Lifetime lifetime) { return Folder(lifetime) + "/registry.reg"; }

bool RegistryStore::KeyExists(RegistryRoot root, const std::string& key, int& error, Lifetime lifetime) {
  Store store;
  if (!Load(store, lifetime, error)) return false;
  return FindKey(store, FullPath(root, key)) != nullptr;
}

bool RegistryStore::CreateKey(RegistryRoot root, const std::string& key, int& error, Lifetime lifetime) {
  return Modify(lifetime, error, [&](Store& store, bool& save, int&) {
    const std::string path = FullPath(root, key);
    if (!FindKey(store, path)) {
      store.push_back(Key{path, {}});
      save = true;
    }
    return true;
  });
}

bool RegistryStore::DeleteKey(RegistryRoot root, const std::string& key, int& error, Lifetime lifetime) {
  return Modify(lifetime, error, [&](Store& store, bool& save, int&) {
    save = RemoveKeys(store, FullPath(root, key));
    return true;
  });
}

std::optional<std::string> RegistryStore::ReadString(RegistryRoot root, const std::string& key,
                                                     const std::string& name, int& error, Lifetime lifetime) {
  auto value = Lookup(root, key, name, lifetime, error);
  if (!value) return std::nullopt;
  if (value->isDword) {
    error = EINVAL;
    return std::nullopt;
  }
  return value->text;
}

bool RegistryStore::WriteString(RegistryRoot root, const std::string& key, const std::string& name,
                                const std::string& value, int& error, Lifetime lifetime) {
  return WriteValue(root, key, Value{name, false, value, 0}, lifetime, error);
}

std::optional<std::uint32_t> RegistryStore::ReadDword(RegistryRoot root, const std::string& key,
                                                      const std::string& name, int& error, Lifetime lifetime) {
  auto value = Lookup(root, key, name, lifetime, error);
  if (!value) return std::nullopt;
  if (!value->isDword) {
    error = EINVAL;
    return std::nullopt;
  }
  return value->number;
}

bool RegistryStore::WriteDword(RegistryRoot root, const std::string& key, const std::string& name,
                               std::uint32_t value, int& error, Lifetime lifetime) {
  return WriteValue(root, key, Value{name, true, {}, value}, lifetime, error);
}

}  // namespace kalimo::platform
