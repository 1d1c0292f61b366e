// The editor's PNG images, embedded in the module at build time from
// editor/images/ (generated source: EditorImages.cpp in the build tree).
#pragma once

#include <cstddef>

#include "platform/Platform.h"

extern const VSTGUI::EmbeddedResource kEditorImages[];
extern const size_t kEditorImageCount;
