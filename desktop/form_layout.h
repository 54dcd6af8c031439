#pragma once

#include <functional>
#include <string>
#include <vector>

#include "desktop/dialog_helpers.h"

// Where every control of a form dialog goes, in dialog units. Kept apart from
// the window code so the arithmetic can be checked without a window.

struct FormRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;

  int Right() const { return x + width; }
  int Bottom() const { return y + height; }
  bool operator==(const FormRect&) const = default;
};

struct FormRowLayout {
  FormRect label;  // the text line, or a field's label
  FormRect field;  // a field's edit box; empty for a text line
};

struct FormLayout {
  int width = 0;   // client area
  int height = 0;  // client area
  std::vector<FormRowLayout> rows;
  FormRect okButton;
  FormRect cancelButton;  // empty when the form has OK only
};

inline constexpr int kFormMargin = 7;
inline constexpr int kFormTextHeight = 8;
inline constexpr int kFormRowGap = kFormTextHeight / 2;  // half a character
inline constexpr int kFormFieldWidth = 128;
inline constexpr int kFormFieldHeight = 14;
inline constexpr int kFormFieldRowWidth = 192;
inline constexpr int kFormButtonWidth = 50;
inline constexpr int kFormButtonHeight = 14;
inline constexpr int kFormButtonGap = 6;

// `textWidth` gives a text's width in dialog units with the dialog's font.
FormLayout LayOutForm(const FormDescription& form,
                      const std::function<int(const std::string&)>& textWidth);

// A width for a text when no font is at hand: an average character is four
// dialog units wide; a little extra keeps wide letters from being clipped.
int EstimatedTextWidth(const std::string& text);
