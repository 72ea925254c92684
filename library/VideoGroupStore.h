#pragma once
// The user's video groups and their file "chapters.dat". Names and paths are UTF-8.
//
// Lines of the file, G a group name and P a video path:
//   G&mode&N     the group's play mode (written only when it is not PlayOnce)
//   G&prevent&P  the group's idle video for seamless play (written only when set)
//   G&P          one video of the group, one line per video in play order
//   G&           the group exists and has no videos
//   P            (no "&", or "&" first) a video of DefaultGroupName
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kalimo {

enum PlayMode : std::int32_t {
  PlayLoopGroup = 0,  // after the last video the first
  PlayRepeatOne = 1,  // the same video again
  PlayOnce = 2,       // stop at the end (default)
  PlaySeamless = 3,   // back to the group's seamlessVideo
};

inline constexpr const char* DefaultGroupName = "我的视频分组";
inline constexpr const char* kGroupListFileName = "chapters.dat";

struct VideoGroup {
  std::int32_t playMode = PlayOnce;
  std::string name;
  std::vector<std::string> videos;
  std::string seamlessVideo;

  bool operator==(const VideoGroup&) const = default;
};

class VideoGroupStore {
 public:
  const std::vector<VideoGroup>& Groups() const { return groups_; }

  // Groups are found by exact, case-sensitive name; the first match wins.
  VideoGroup* FindGroup(const std::string& name);
  const VideoGroup* FindGroup(const std::string& name) const;

  // These create a missing group at the end of the list (PlayOnce, no videos).
  void SetGroupMode(const std::string& name, std::int32_t mode);
  void SetGroupSeamless(const std::string& name, const std::string& path);
  void AddGroupVideo(const std::string& name, const std::string& path);  // an empty path adds none

  // Nothing happens when the group is missing or the index is out of range.
  void RemoveGroupVideoAt(const std::string& name, std::int32_t index);
  void ClearGroupVideos(const std::string& name);  // mode and idle video stay
  void RemoveGroup(const std::string& name);
  void RenameGroup(const std::string& oldName, const std::string& newName);

  std::int32_t GetGroupVideoCount(const std::string& name) const;
  // Any index past the last, including every negative one, gives the first video; empty text for
  // a missing or empty group.
  std::string GetGroupVideoAt(const std::string& name, std::int32_t index) const;
  // Position of the first video equal to `path`, -1 when none.
  std::int32_t IndexOfGroupVideo(const std::string& group, const std::string& path) const;

  // Adds what the lines describe to the model.
  void ParseGroupLines(const std::vector<std::string>& lines);
  // The model as file lines; groups with an empty name are left out.
  std::vector<std::string> SerializeGroups() const;

  // "chapters.dat" through the list files; the result is that of the list operation.
  bool LoadGroups();
  bool SaveGroups() const;

 private:
  VideoGroup& FindOrCreateGroup(const std::string& name);

  std::vector<VideoGroup> groups_;
};

// The text after the last "/"; empty when there is none.
std::string VideoFileName(const std::string& path);
// The text between the last two "/"; empty when the path has fewer than two.
std::string VideoFolderName(const std::string& path);

}  // namespace kalimo
