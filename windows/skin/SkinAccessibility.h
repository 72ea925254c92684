#pragma once
// Assistive technology sees the parts we paint ourselves: the frame's caption buttons as push
// buttons named by their tooltips, and the tree's rows as tree items named by their text, each
// with a "Press" action (and a "ShowMenu" action on tree rows, standing for the right click).

namespace kalimo::skin {

// Registers the accessibility of the skinned window and the tree; safe to call more than once.
void InstallSkinAccessibility();

}  // namespace kalimo::skin
