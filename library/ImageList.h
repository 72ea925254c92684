#pragma once
// The user's still images for the slideshow: an ordered list of picture paths (UTF-8), one
// selected entry, and the list file "images.dat". Every change is written to the file at once, so
// a program that is killed or crashes keeps what the user did; the owner saves once more when it
// goes away.
#include <cstdint>
#include <string>
#include <vector>

namespace kalimo {

inline constexpr const char* kImageListFileName = "images.dat";

class ImageList {
 public:
  static constexpr std::int32_t kNoSelection = -1;

  // Whether `path` names a picture the slideshow shows: ".jpg", ".bmp" or ".png" anywhere in it,
  // ignoring case ("a.PNG" and "x.bmp.old" pass, "a.gif" does not).
  static bool IsImageFile(const std::string& path);

  // Empties the list and reads "images.dat"; false (and an empty list) when it cannot be read.
  bool Load();
  // Replaces "images.dat" by the list; false when the file could not be replaced.
  bool Save() const;

  const std::vector<std::string>& Paths() const { return imagePaths_; }
  std::int32_t Count() const { return static_cast<std::int32_t>(imagePaths_.size()); }
  bool IsEmpty() const { return imagePaths_.empty(); }

  // The path at `index`. An index at or past the end (every negative one too, read as unsigned)
  // is first set back to 0 in the caller's variable. Empty text for an empty list.
  std::string GetImageAt(std::int32_t& index) const;

  // Appends, in order, the paths that are pictures and that the list file can hold (at most 259
  // bytes of GB18030, no line break); saves when anything was added. Returns how many were added.
  std::int32_t AddImages(const std::vector<std::string>& paths);

  std::int32_t SelectedIndex() const { return selectedIndex_; }
  bool HasSelection() const { return selectedIndex_ != kNoSelection; }
  // Selects `index`, or nothing when it is not a position of the list.
  void Select(std::int32_t index);

  // Removes the selected image and leaves no selection; false when nothing is selected.
  bool DeleteSelected();
  // Removes every image without asking; the selection goes too.
  void Clear();
  // Swaps the selected image with its neighbour, the selection moving with it; false (and no
  // change) for the first image upwards, the last downwards, or no selection.
  bool MoveSelectedUp();
  bool MoveSelectedDown();

  // Result of the last save (true before the first one).
  bool LastSaveSucceeded() const { return lastSaveSucceeded_; }

 private:
  void SaveChange();

  std::vector<std::string> imagePaths_;
  std::int32_t selectedIndex_ = kNoSelection;
  bool lastSaveSucceeded_ = true;
};

}  // namespace kalimo
