#include "desktop/form_layout.h"

#include <algorithm>

int EstimatedTextWidth(const std::string& text) {
  return static_cast<int>(text.size()) * 5 + 2;
}

FormLayout LayOutForm(const FormDescription& form,
                      const std::function<int(const std::string&)>& textWidth) {
  FormLayout layout;
  const bool withCancel = form.buttons == FormDescription::Buttons::OkCancel;
  const int buttonsWidth = withCancel ? 2 * kFormButtonWidth + kFormButtonGap : kFormButtonWidth;

  // Every field's edit box starts at one column, right of the widest label,
  // and a field row is never narrower than the fixed field row width.
  int labelColumn = kFormFieldRowWidth - kFormFieldWidth - kFormButtonGap;
  for (const FormRow& row : form.rows) {
    if (row.kind == FormRow::Kind::Field) labelColumn = std::max(labelColumn, textWidth(row.label));
  }
  const int fieldRowWidth = labelColumn + kFormButtonGap + kFormFieldWidth;

  int contentWidth = buttonsWidth;
  for (const FormRow& row : form.rows) {
    const int rowWidth = row.kind == FormRow::Kind::Field ? fieldRowWidth : textWidth(row.label);
    contentWidth = std::max(contentWidth, rowWidth);
  }
  layout.width = contentWidth + 2 * kFormMargin;

  int y = kFormMargin;
  for (const FormRow& row : form.rows) {
    FormRowLayout placed;
    if (row.kind == FormRow::Kind::Field) {
      placed.label = {kFormMargin, y + (kFormFieldHeight - kFormTextHeight) / 2, labelColumn,
                      kFormTextHeight};
      placed.field = {kFormMargin + labelColumn + kFormButtonGap, y, kFormFieldWidth,
                      kFormFieldHeight};
      y += kFormFieldHeight;
    } else {
      const int width = std::min(textWidth(row.label), contentWidth);
      placed.label = {(layout.width - width) / 2, y, width, kFormTextHeight};
      y += kFormTextHeight;
    }
    layout.rows.push_back(placed);
    y += kFormRowGap;
  }

  // The buttons sit one margin below the last row, centred as a group.
  y += kFormMargin - kFormRowGap;
  const int buttonsX = (layout.width - buttonsWidth) / 2;
  layout.okButton = {buttonsX, y, kFormButtonWidth, kFormButtonHeight};
  if (withCancel) {
    layout.cancelButton = {buttonsX + kFormButtonWidth + kFormButtonGap, y, kFormButtonWidth,
                           kFormButtonHeight};
  }
  layout.height = y + kFormButtonHeight + kFormMargin;
  return layout;
}
