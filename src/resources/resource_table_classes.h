// Class-flag combinations and markers used by the files that build the
// resource table. Private to those files.
#pragma once

#include "registry/hm_resource.h"

namespace resource_classes {

constexpr int32_t kRunTime = 0;
constexpr int32_t kHeader = RES_CLASS_DATA_HEADER;
constexpr int32_t kBody = RES_CLASS_DATA_BODY;
constexpr int32_t kConfig = RES_CLASS_CONFIG;
constexpr int32_t kSettings = RES_CLASS_SETTINGS;
constexpr int32_t kMaterial = RES_CLASS_MATERIAL;
constexpr int32_t kBodySettings = RES_CLASS_DATA_BODY | RES_CLASS_SETTINGS;
constexpr int32_t kBodyConfigSettings = RES_CLASS_DATA_BODY | RES_CLASS_CONFIG | RES_CLASS_SETTINGS;
constexpr int32_t kBodySettingsVolume =
    RES_CLASS_DATA_BODY | RES_CLASS_SETTINGS | RES_CLASS_VOLUME_PROPERTIES;

// The program's marker for a density or width not yet measured.
constexpr double kNoValue = 1e10;

}  // namespace resource_classes
