#include "library/ImageList.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <utility>

#include "common/Logging.h"
#include "library/ListFile.h"
#include "platform/TextEncoding.h"

namespace kalimo {

namespace {

std::string Lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// A path the list file keeps as it is: refused here rather than lost at the next save.
bool FitsListFile(const std::string& path) {
  if (path.find_first_of("\r\n") != std::string::npos) return false;
  const std::optional<std::string> narrow = platform::Utf8ToGb18030(path);
  return narrow && narrow->size() <= ListFile::kMaxEntryBytes;
}

}  // namespace

bool ImageList::IsImageFile(const std::string& path) {
  const std::string lowered = Lowered(path);
  for (const char* extension : {".jpg", ".bmp", ".png"}) {
    if (lowered.find(extension) != std::string::npos) return true;
  }
  return false;
}

bool ImageList::Load() {
  imagePaths_.clear();
  selectedIndex_ = kNoSelection;
  return ListFile::LoadList(kImageListFileName, imagePaths_);
}

bool ImageList::Save() const { return ListFile::SaveList(imagePaths_, kImageListFileName); }

void ImageList::SaveChange() {
  lastSaveSucceeded_ = Save();
  if (!lastSaveSucceeded_) KALIMO_LOG_ERROR("The image list could not be saved to %s", kImageListFileName);
}

std::string ImageList::GetImageAt(std::int32_t& index) const {
  if (static_cast<std::uint32_t>(index) >= imagePaths_.size()) index = 0;
  return imagePaths_.empty() ? std::string() : imagePaths_[static_cast<std::size_t>(index)];
}

std::int32_t ImageList::AddImages(const std::vector<std::string>& paths) {
  std::int32_t added = 0;
  for (const std::string& path : paths) {
    if (path.empty() || !IsImageFile(path)) continue;
    if (!FitsListFile(path)) {
      KALIMO_LOG_ERROR("Image path too long for %s, not added: %s", kImageListFileName, path.c_str());
      continue;
    }
    imagePaths_.push_back(path);
    ++added;
  }
  if (added > 0) SaveChange();
  return added;
}

void ImageList::Select(std::int32_t index) {
  selectedIndex_ = (index >= 0 && index < Count()) ? index : kNoSelection;
}

bool ImageList::DeleteSelected() {
  if (!HasSelection()) return false;
  imagePaths_.erase(imagePaths_.begin() + selectedIndex_);
  selectedIndex_ = kNoSelection;
  SaveChange();
  return true;
}

void ImageList::Clear() {
  imagePaths_.clear();
  selectedIndex_ = kNoSelection;
  SaveChange();
}

bool ImageList::MoveSelectedUp() {
  if (selectedIndex_ <= 0) return false;
  std::swap(imagePaths_[static_cast<std::size_t>(selectedIndex_) - 1],
            imagePaths_[static_cast<std::size_t>(selectedIndex_)]);
  --selectedIndex_;
  SaveChange();
  return true;
}

bool ImageList::MoveSelectedDown() {
  if (!HasSelection() || selectedIndex_ >= Count() - 1) return false;
  std::swap(imagePaths_[static_cast<std::size_t>(selectedIndex_)],
            imagePaths_[static_cast<std::size_t>(selectedIndex_) + 1]);
  ++selectedIndex_;
  SaveChange();
  return true;
}

}  // namespace kalimo
