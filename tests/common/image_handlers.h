// The toolkit's image handlers by name, in their order: exports must choose
// their handler without changing the list every other reader and writer of
// the program uses.
#pragma once

#include <string>
#include <vector>

#include <wx/image.h>

inline std::vector<std::string> image_handler_names() {
  std::vector<std::string> names;
  for (wxList::compatibility_iterator node = wxImage::GetHandlers().GetFirst(); node; node = node->GetNext())
    names.push_back(static_cast<wxImageHandler*>(node->GetData())->GetName().ToStdString());
  return names;
}
