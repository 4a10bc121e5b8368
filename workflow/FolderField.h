// The output-folder field of the window: the export reads it, the folder chooser sets it. The
// window stores every change of its text.
#pragma once

#include <string>

class FolderField {
 public:
  virtual ~FolderField() = default;

  // The field's text exactly as it stands.
  virtual std::string Text() const = 0;
  // Replaces the field's text; the window stores the new text at once.
  virtual void SetText(const std::string& text) = 0;
};
