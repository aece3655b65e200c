// Window identifiers of the settings dialogs' controls. The main window's
// command table routes their events by these.
#pragma once

enum settings_control_id : int {
  // Comment dialog
  ID_COMMENT = 6058,

  // Graphics and display dialog (Brightness is numbered with the Volume page)
  ID_BRIGHTNESS = 6095,
  ID_SHADER = 7382,
  ID_TRANSLUCENT_LAYERS = 7383,
  ID_LIGHTING_AMBIENT = 7384,
  ID_LIGHTING_FRONT_SIDE = 7385,
  ID_LIGHTING_LEFT_RIGHT = 7386,
  ID_LIGHTING_UP_DOWN = 7387,
  ID_OCCLUSION_RANGE = 7388,
  ID_RADIANT_SHADOWS = 7389,
  ID_FOCUS_RANGE = 7390,
  ID_FOCUS_DEPTH = 7391,
  ID_GRAPHICS_FONT = 7398,
  ID_ICON_SIZE = 7399,
  ID_BACKGROUND = 7400,
  ID_BACKGROUND_CONST = 7401,

  // Material dialog (OK and Cancel are the toolkit's own)
  ID_MATERIAL_CHOICE = 7392,
  ID_MATERIAL_SAVE = 7393,
  ID_MATERIAL_COLOUR = 7394,
  ID_MATERIAL_METALLIC = 7395,
  ID_MATERIAL_ANISOTROPY = 7396,
  ID_MATERIAL_ROUGHNESS = 7397,

  // Mouse and key presses dialog
  ID_MOUSE_MIDDLE_OVERRIDE = 7380,
  ID_MOUSE_RIGHT_OVERRIDE = 7381,
  ID_EXPERT_MODE = 7402,
  ID_USE_SCROLLBARS = 7403,
  ID_MOUSE_SENSITIVITY = 7404,
  ID_CURSOR_ROTATION = 7405,
  ID_CURSOR_MOVEMENT = 7406,
  ID_SCROLL_ZOOM = 7407,
};
