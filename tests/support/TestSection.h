#pragma once
// Gives a test its own frame section name (through KALIMO_SECTION) and removes the object after.
#include <cstdint>
#include <string>
#include <vector>

#include "common/FrameSectionLayout.h"

namespace kalimo::test {

class TestSection {
 public:
  TestSection();
  ~TestSection();
  TestSection(const TestSection&) = delete;
  TestSection& operator=(const TestSection&) = delete;

  const std::string& Name() const { return name_; }
  bool Exists() const;
  // Reads the whole object as the virtual camera would see it (empty when it does not exist).
  std::vector<unsigned char> ReadAll() const;
  FrameSectionHeader Header() const;
  // Permission bits of the object (e.g. 0600), or -1 when it does not exist.
  int Mode() const;
  // Creates the object under this name as another user would have: owned by uid 65534 (nobody),
  // mode 0644, `size` bytes. False when this process may not give a file away (only root may).
  bool PlantAsOtherUser(std::size_t size) const;

 private:
  std::string name_;
  std::string previous_;
  bool hadPrevious_ = false;
};

}  // namespace kalimo::test
