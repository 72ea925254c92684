#include "library/VideoGroupStore.h"

#include <algorithm>
#include <climits>
#include <filesystem>

#include "library/ListFile.h"

namespace kalimo {

namespace {

constexpr const char* kModeMarker = "&mode&";
constexpr const char* kSeamlessMarker = "&prevent&";

// Leading blanks and one sign allowed; digits up to the first other character; none gives 0.
std::int32_t ParseModeNumber(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min<long long>(value * 10 + (text[i] - '0'), static_cast<long long>(INT_MAX) + 1);
  }
  if (negative) value = -value;
  return static_cast<std::int32_t>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// Splits "name<marker>value" when the marker occurs and does not start the line.
bool SplitAtMarker(const std::string& line, const std::string& marker, std::string& name, std::string& value) {
  const std::size_t at = line.find(marker);
  if (at == std::string::npos || at == 0) return false;
  name = line.substr(0, at);
  value = line.substr(at + marker.size());
  return true;
}

// True on a first start (of this user, for a packaged program): no list at all (not even a broken
// link) and the sample video in its place in the program folder.
bool FirstStartWithSample() {
  const std::optional<std::string> list = ListFile::GetListFilePath(kGroupListFileName);
  const std::string sample = ListFile::GetSampleVideoPath();
  if (!list) return false;
  std::error_code error;
  // Anything but "not found" (an unreadable folder gives "none") is no first start.
  if (std::filesystem::symlink_status(*list, error).type() != std::filesystem::file_type::not_found) return false;
  return std::filesystem::is_regular_file(sample, error);
}

}  // namespace

VideoGroup* VideoGroupStore::FindGroup(const std::string& name) {
  auto found = std::find_if(groups_.begin(), groups_.end(), [&](const VideoGroup& g) { return g.name == name; });
  return found == groups_.end() ? nullptr : &*found;
}

const VideoGroup* VideoGroupStore::FindGroup(const std::string& name) const {
  return const_cast<VideoGroupStore*>(this)->FindGroup(name);
}

VideoGroup& VideoGroupStore::FindOrCreateGroup(const std::string& name) {
  if (VideoGroup* group = FindGroup(name)) return *group;
  VideoGroup group;
  group.name = name;
  groups_.push_back(std::move(group));
  return groups_.back();
}

void VideoGroupStore::SetGroupMode(const std::string& name, std::int32_t mode) { FindOrCreateGroup(name).playMode = mode; }

void VideoGroupStore::SetGroupSeamless(const std::string& name, const std::string& path) {
  FindOrCreateGroup(name).seamlessVideo = path;
}

void VideoGroupStore::AddGroupVideo(const std::string& name, const std::string& path) {
  VideoGroup& group = FindOrCreateGroup(name);
  if (!path.empty()) group.videos.push_back(path);
}

void VideoGroupStore::RemoveGroupVideoAt(const std::string& name, std::int32_t index) {
  VideoGroup* group = FindGroup(name);
  if (!group || index < 0 || static_cast<std::size_t>(index) >= group->videos.size()) return;
  group->videos.erase(group->videos.begin() + index);
}

void VideoGroupStore::ClearGroupVideos(const std::string& name) {
  if (VideoGroup* group = FindGroup(name)) group->videos.clear();
}

void VideoGroupStore::RemoveGroup(const std::string& name) {
  auto found = std::find_if(groups_.begin(), groups_.end(), [&](const VideoGroup& g) { return g.name == name; });
  if (found != groups_.end()) groups_.erase(found);
}

void VideoGroupStore::RenameGroup(const std::string& oldName, const std::string& newName) {
  if (VideoGroup* group = FindGroup(oldName)) group->name = newName;
}

std::int32_t VideoGroupStore::GetGroupVideoCount(const std::string& name) const {
  const VideoGroup* group = FindGroup(name);
  return group ? static_cast<std::int32_t>(group->videos.size()) : 0;
}

std::string VideoGroupStore::GetGroupVideoAt(const std::string& name, std::int32_t index) const {
  const VideoGroup* group = FindGroup(name);
  if (!group || group->videos.empty()) return {};
  // Compared as unsigned, a negative index lies past the last video as well.
  const auto position = static_cast<std::uint32_t>(index);
  return position < group->videos.size() ? group->videos[position] : group->videos.front();
}

std::int32_t VideoGroupStore::IndexOfGroupVideo(const std::string& group, const std::string& path) const {
  const VideoGroup* found = FindGroup(group);
  if (!found) return -1;
  const auto at = std::find(found->videos.begin(), found->videos.end(), path);
  return at == found->videos.end() ? -1 : static_cast<std::int32_t>(at - found->videos.begin());
}

void VideoGroupStore::ParseGroupLines(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    std::string name;
    std::string value;
    if (SplitAtMarker(line, kSeamlessMarker, name, value)) {
      SetGroupSeamless(name, value);
    } else if (SplitAtMarker(line, kModeMarker, name, value)) {
      SetGroupMode(name, ParseModeNumber(value));
    } else {
      // Further "&" belong to the path; a line without a name is a video of the default group.
      if (!SplitAtMarker(line, "&", name, value)) {
        name.clear();
        value = line;
      }
      AddGroupVideo(name.empty() ? DefaultGroupName : name, value);
    }
  }
}

std::vector<std::string> VideoGroupStore::SerializeGroups() const {
  std::vector<std::string> lines;
  for (const VideoGroup& group : groups_) {
    if (group.name.empty()) continue;
    if (group.playMode != PlayOnce) lines.push_back(group.name + kModeMarker + std::to_string(group.playMode));
    if (!group.seamlessVideo.empty()) lines.push_back(group.name + kSeamlessMarker + group.seamlessVideo);
    if (group.videos.empty()) lines.push_back(group.name + "&");
    for (const std::string& video : group.videos) lines.push_back(group.name + "&" + video);
  }
  return lines;
}

bool VideoGroupStore::LoadGroups() {
  // The program ships no list of its own: a first start writes the list that names the sample
  // video, in the relative form that reads as its full path wherever the program folder lies, so
  // the user sees the sample play at once. A list that exists, even empty or unreadable, stays.
  if (FirstStartWithSample()) ListFile::SaveList({ListFile::kSampleVideoEntry}, kGroupListFileName);
  std::vector<std::string> lines;
  const bool loaded = ListFile::LoadList(kGroupListFileName, lines);
  ParseGroupLines(lines);
  return loaded;
}

bool VideoGroupStore::SaveGroups() const { return ListFile::SaveList(SerializeGroups(), kGroupListFileName); }

std::string VideoFileName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(slash + 1);
}

std::string VideoFolderName(const std::string& path) {
  const std::size_t last = path.rfind('/');
  if (last == std::string::npos || last == 0) return {};
  const std::size_t before = path.rfind('/', last - 1);
  if (before == std::string::npos) return {};
  return path.substr(before + 1, last - before - 1);
}

}  // namespace kalimo
